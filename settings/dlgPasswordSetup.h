#pragma once
// Sets, changes or removes the operator password. The new-password section opens only once the
// current password has been typed exactly (or at once when none is set); Ok saves the new
// password into the record and switches protection on, or off when it is empty.
#include <QDialog>

#include "settings/Preferences.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class dlgPasswordSetup : public QDialog {
    Q_OBJECT
public:
    explicit dlgPasswordSetup(Preferences& prefs, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* txtCurrentPW;
    QGroupBox* Frame1;
    QLabel* Label2;
    QLineEdit* txtNewPW1;
    QLabel* Label3;
    QLineEdit* txtNewPW2;
    QPushButton* Ok;
    QPushButton* Cancel;

protected:
    // Esc closes nothing here.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetNewSectionEnabled(bool enabled);
    void CurrentChanged();
    void NewChanged();
    void Save();

    Preferences& m_prefs;
};

// File > Password: shows a fresh dlgPasswordSetup over parent.
void PasswordCommand(Preferences& prefs, QWidget* parent);
