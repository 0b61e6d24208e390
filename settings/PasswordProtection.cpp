#include "settings/PasswordProtection.h"

#include "dialogs/dlgError.h"
#include "settings/dlgPassword.h"
#include "vantrel/AccessCode.h"

bool AuthorizeCommand(VantrelCntl& VC, const Preferences& prefs, QWidget* parent)
{
    QString entered;
    if (prefs.PasswordProtection) {
        dlgPassword dialog(parent);
        dialog.exec();
        entered = dialog.mPW;
    } else {
        entered = prefs.Password;
    }

    const bool unlocked = VC.Unlock(GlimoraAccessCode());
    if (!unlocked || entered != prefs.Password) {
        ShowErrorDialog(parent, QStringLiteral("Password Failure"), QStringLiteral("Invalid Password!"));
        return false;
    }
    return true;
}
