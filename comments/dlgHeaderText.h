#pragma once
// "Data Header Text": edits the seven comment column header texts.
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

class dlgHeaderText : public QDialog {
    Q_OBJECT
public:
    explicit dlgHeaderText(QWidget* parent = nullptr);

    // Header texts 1 to 7, set by the caller before showing and read back afterwards.
    QString CCHdr1, CCHdr2, CCHdr3, CCHdr4, CCHdr5, CCHdr6, CCHdr7;
    // True when the operator pressed OK.
    bool Changed = false;

    QLabel* Label8;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLineEdit* HdrTxt1TxtBx;
    QLineEdit* HdrTxt2TxtBx;
    QLineEdit* HdrTxt3TxtBx;
    QLineEdit* HdrTxt4TxtBx;
    QLineEdit* HdrTxt5TxtBx;
    QLineEdit* HdrTxt6TxtBx;
    QLineEdit* HdrTxt7TxtBx;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    // Fills the boxes from CCHdr1 to CCHdr7 and shows the dialog modally.
    int exec() override;

    // Field k (1 to 7) of CCHdr1 to CCHdr7.
    QString& CCHdr(int k);

private:
    QLineEdit* Box(int k) const;
    void Load();
};
