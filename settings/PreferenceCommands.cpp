#include "settings/PreferenceCommands.h"

#include "dialogs/dlgYesNo.h"
#include "settings/PasswordProtection.h"
#include "settings/dlgAppProperties.h"

void PropertiesCommand(VantrelCntl& VC, Preferences& prefs, QWidget* parent, std::function<void()> SetNumberFormat,
                       std::function<void()> UpdateCommands)
{
    if (!AuthorizeCommand(VC, prefs, parent)) return;
    {
        dlgAppProperties dialog(parent);
        dialog.mKeepAlive = prefs.KeepAlive;
        dialog.mNoFile = prefs.NoFile;
        dialog.mAverage = prefs.PixelAvg;
        dialog.mConstDC = prefs.CalConst;
        dialog.mSounds = prefs.SoundOn;
        dialog.mDigits = prefs.Digits;
        dialog.mEnableButton = prefs.EnableButton;
        dialog.exec();
        if (dialog.DoChange) {
            prefs.KeepAlive = dialog.mKeepAlive;
            prefs.NoFile = dialog.mNoFile;
            prefs.PixelAvg = dialog.mAverage;
            prefs.SoundOn = dialog.mSounds;
            prefs.Digits = dialog.mDigits;
            prefs.EnableButton = dialog.mEnableButton;
            prefs.CalConst = dialog.mConstDC;
            if (SetNumberFormat) SetNumberFormat();
            VC.SetKeepAlive(prefs.KeepAlive);
            VC.SetEnableButton(prefs.EnableButton);
            VC.SetConstDC(prefs.CalConst);
        }
    }
    if (UpdateCommands) UpdateCommands();
}

void RestoreDefaultsCommand(VantrelCntl& VC, Preferences& prefs, QWidget* parent, std::function<void()> SetDefaults)
{
    if (!AuthorizeCommand(VC, prefs, parent)) return;
    const int16_t answer =
        AskYesNo(parent, QStringLiteral("Restore Settings"),
                 QStringLiteral("This operation will restore all the settings, including fonts and tabs, ")
                     + QStringLiteral("to the default values.  Are you sure you want to restore these settings?"),
                 true);
    if (answer == dlgYesNo::Yes && SetDefaults) SetDefaults();
}
