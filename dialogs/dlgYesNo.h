#pragma once
// The yes/no question: Yes, Cancel and No buttons (Cancel may be hidden). UserSelection answers
// 6 (Yes), 7 (No) or 2 (Cancel, also the answer of the close box).
#include <QDialog>
#include <cstdint>

class QLabel;
class QPushButton;

class dlgYesNo : public QDialog {
    Q_OBJECT
public:
    enum Answer : int16_t { Yes = 6, No = 7, Cancel = 2 };

    explicit dlgYesNo(QWidget* parent = nullptr);

    // Set before the dialog is shown: True shows only Yes and No.
    bool HideCancel = false;
    int16_t UserSelection = Cancel;

    QLabel* Picture1;
    QLabel* MsgLbl;
    QPushButton* YesButton;
    QPushButton* CancelButton;
    QPushButton* NoButton;

    int exec() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Places the buttons by HideCancel and sets the answer to Cancel.
    void Load();
    void Answer(int16_t value);
};

// The calling sequence every caller uses; returns UserSelection.
int16_t AskYesNo(QWidget* parent, const QString& title, const QString& question, bool hideCancel);
