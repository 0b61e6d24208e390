#pragma once
// File > Properties > Properties... and File > Properties > Restore Defaults. Both are guarded
// by AuthorizeCommand and change only the record in memory; the store is written at shutdown.
#include <QWidget>
#include <functional>

#include "settings/Preferences.h"
#include "vantrel/VantrelCntl.h"

// Shows dlgAppProperties. On Ok the record takes the dialog's values, SetNumberFormat runs, and
// the meter control receives KeepAlive, EnableButton and ConstDC in that order. UpdateCommands
// runs after the dialog has closed, Ok or Cancel (not when the password is refused).
void PropertiesCommand(VantrelCntl& VC, Preferences& prefs, QWidget* parent, std::function<void()> SetNumberFormat,
                       std::function<void()> UpdateCommands);

// Asks "Restore Settings"; on Yes runs SetDefaults (the main window's: preferences, number
// format, print fonts and tab stops). Writes neither the meter control nor the store, and does
// not refresh the commands.
void RestoreDefaultsCommand(VantrelCntl& VC, Preferences& prefs, QWidget* parent, std::function<void()> SetDefaults);
