#include "calibration/CalibrationCommands.h"

#include "calibration/dlgMeterProperties.h"
#include "calibration/dlgSettings.h"
#include "dialogs/dlgYesNo.h"
#include "settings/PasswordProtection.h"
#include "support/Sounds.h"

namespace {
const QString kContinue = QStringLiteral(" Do you wish to continue?");
}

void CalibrateCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent)
{
    if (!AuthorizeCommand(VC, prefs, parent)) return;
    if (!VC.Calibrate()) support::Sounds().MessageBeep(support::MessageSound::Warning);
}

void CorrectionCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent)
{
    if (!AuthorizeCommand(VC, prefs, parent)) return;
    if (!VC.AdvancedCorrection()) support::Sounds().MessageBeep(support::MessageSound::Warning);
}

void ClearConfigurationsCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent)
{
    if (!AuthorizeCommand(VC, prefs, parent)) return;
    const int16_t answer = AskYesNo(
        parent, QStringLiteral("Delete Calibration Standards"),
        QStringLiteral("Warning! This operation will delete all the calibration data stored in the Haze Meter.")
            + kContinue,
        true);
    if (answer == dlgYesNo::Yes) VC.ClearCalibration();
}

void ChangeMeterSettingsCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent)
{
    if (!AuthorizeCommand(VC, prefs, parent)) return;
    const int16_t answer =
        AskYesNo(parent, QStringLiteral("Change Meter Settings"),
                 QStringLiteral("Warning! This operation can result in loss of calibration.") + kContinue, true);
    if (answer != dlgYesNo::Yes) return;

    VC.SetKeepAlive(true);
    {
        dlgMeterProperties dialog(parent);
        dialog.mCenter = VC.Center();
        dialog.mIntensity = VC.Intensity();
        dialog.mRefCenter = VC.RefCenter();
        dialog.mRefDutyCycle = VC.RefDutyCycle();
        dialog.mSerialNumber = VC.SerialNumber();
        dialog.mDeg2Distortion = VC.Deg2Distortion();
        dialog.mDOIDistortion = VC.DOIDistortion();
        dialog.mBlackLevel = VC.BlackLevel();
        dialog.mAuthority = VC.Authority();
        dialog.exec();
        if (dialog.DoChange) {
            VC.SetSerialNumber(dialog.mSerialNumber);
            VC.SetRefDutyCycle(dialog.mRefDutyCycle);
            VC.SetRefCenter(dialog.mRefCenter);
            VC.SetIntensity(dialog.mIntensity);
            VC.SetCenter(dialog.mCenter);
            VC.SetDeg2Distortion(dialog.mDeg2Distortion);
            VC.SetDOIDistortion(dialog.mDOIDistortion);
            VC.SetBlackLevel(dialog.mBlackLevel);
        }
    }
    VC.SetKeepAlive(prefs.KeepAlive);
}

void SetParametersCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent)
{
    if (!AuthorizeCommand(VC, prefs, parent)) return;
    VC.SetKeepAlive(true);
    {
        dlgSettings dialog(parent);
        dialog.mCenter = VC.Center();
        dialog.mDutyCycle = VC.DutyCycle();
        dialog.exec();
        if (dialog.DoChange) {
            VC.SetCenter(dialog.mCenter);
            VC.SetDutyCycle(dialog.mDutyCycle);
        }
    }
    VC.SetKeepAlive(prefs.KeepAlive);
}

void UpdateInformationCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent)
{
    if (!AuthorizeCommand(VC, prefs, parent)) return;
    VC.UpdateInfo();
}
