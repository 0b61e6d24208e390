#pragma once
// The error notice: an exclamation icon, the message and one OK button. It sounds the warning
// beep when it is created.
#include <QDialog>

class QLabel;
class QPushButton;

class dlgError : public QDialog {
    Q_OBJECT
public:
    explicit dlgError(QWidget* parent = nullptr);

    QLabel* Picture1;
    QLabel* ErrMsg;
    QPushButton* OKButton;
};

// The calling sequence every caller uses: title, message, shown modally, then discarded.
void ShowErrorDialog(QWidget* parent, const QString& title, const QString& message);
