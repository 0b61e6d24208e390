#pragma once
// Asks for the operator password before a guarded command. There is no Cancel button: closing
// the window any other way than with Ok leaves mPW empty.
#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

class dlgPassword : public QDialog {
    Q_OBJECT
public:
    explicit dlgPassword(QWidget* parent = nullptr);

    // The entered password; set by Ok only.
    QString mPW;

    QLineEdit* edPassword;
    QPushButton* Ok;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Esc closes nothing: there is no Cancel button (in the password box it is a refused key).
    void keyPressEvent(QKeyEvent* event) override;
};
