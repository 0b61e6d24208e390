#pragma once
// The meter configuration commands. Each starts with AuthorizeCommand; a refused password ends
// the command before any question is asked or the meter control is touched.
#include <QWidget>

#include "settings/Preferences.h"
#include "vantrel/VantrelCntl.h"

// Calibration > Calibrate: VC.Calibrate(); a False result sounds the warning beep (always, not
// tied to SoundOn).
void CalibrateCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent);
// Calibration > Advanced > Correction: VC.AdvancedCorrection(), refusal beeps as above.
void CorrectionCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent);
// Calibration > Advanced > Clear Configurations: asks "Delete Calibration Standards"; Yes calls
// VC.ClearCalibration(), No touches nothing.
void ClearConfigurationsCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent);

// Calibration > Advanced > Change Meter Settings: asks "Change Meter Settings"; on Yes keeps the
// meter alive, edits its settings in dlgMeterProperties, writes them back on Ok, and restores
// KeepAlive from the preference afterwards (Ok or Cancel).
void ChangeMeterSettingsCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent);
// Data > Set Parameters...: edits Center and DutyCycle in dlgSettings, KeepAlive as above.
void SetParametersCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent);
// Meter > Update Information: VC.UpdateInfo().
void UpdateInformationCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent);
