#pragma once
// The check every guarded command runs first: the password (when one is set) and the meter
// control's unlock with the access code.
#include <QWidget>

#include "settings/Preferences.h"
#include "vantrel/VantrelCntl.h"

// Asks for the password when protection is on, then always calls VC.Unlock with the access code.
// A wrong password or a refused unlock shows "Password Failure" / "Invalid Password!" and gives
// false; true lets the command go on.
bool AuthorizeCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent);
