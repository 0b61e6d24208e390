#pragma once
// "Additional Comment Fields": edits comment texts 2 to 7 and shows header texts 2 to 7,
// which "Change Headers" lets the operator change through dlgHeaderText.
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

class dlgAdditionalComments : public QDialog {
    Q_OBJECT
public:
    explicit dlgAdditionalComments(QWidget* parent = nullptr);

    // Comment texts 2 to 7, in and out.
    QString CCol2Text, CCol3Text, CCol4Text, CCol5Text, CCol6Text, CCol7Text;
    // Header texts 1 to 7, in and out (1 is carried through but not shown).
    QString CHdr1Text, CHdr2Text, CHdr3Text, CHdr4Text, CHdr5Text, CHdr6Text, CHdr7Text;
    // True when the operator pressed OK.
    bool UseTheData = false;
    // True when the header texts were changed through dlgHeaderText during this showing.
    bool HeadersChanged = false;

    QLabel* Label7;  // "Header Text:"
    QLabel* Label8;  // "Record Data Text:"
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* Hdr2Txt;
    QLineEdit* Hdr3Txt;
    QLineEdit* Hdr4Txt;
    QLineEdit* Hdr5Txt;
    QLineEdit* Hdr6Txt;
    QLineEdit* Hdr7Txt;
    QLineEdit* Data2Txt;
    QLineEdit* Data3Txt;
    QLineEdit* Data4Txt;
    QLineEdit* Data5Txt;
    QLineEdit* Data6Txt;
    QLineEdit* Data7Txt;
    QPushButton* HeaderBtn;
    QPushButton* OKButton;
    QPushButton* CancelButton;

    // Fills the boxes from the fields, clears UseTheData and HeadersChanged, arms the header
    // warning for this showing, and shows the dialog modally.
    int exec() override;

    // Field k of CCol2Text..CCol7Text (k 2 to 7) and of CHdr1Text..CHdr7Text (k 1 to 7).
    QString& CColText(int k);
    QString& CHdrText(int k);

private:
    QLineEdit* HdrBox(int k) const;
    QLineEdit* DataBox(int k) const;
    void Load();
    void RefreshHeaders();
    void ChangeHeaders();

    bool m_warningPending = true;
};
