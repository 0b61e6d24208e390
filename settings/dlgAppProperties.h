#pragma once
// The preferences dialog. The caller fills the m-fields, shows it modally and takes the fields
// back only when DoChange is true (Ok).
#include <QDialog>
#include <cstdint>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

class dlgAppProperties : public QDialog {
    Q_OBJECT
public:
    explicit dlgAppProperties(QWidget* parent = nullptr);

    bool DoChange = false;
    bool mKeepAlive = false;
    bool mNoFile = false;
    bool mAverage = false;
    bool mConstDC = false;
    bool mSounds = false;
    // 0..3 selects an option; any other value selects none.
    int16_t mDigits = 0;
    bool mEnableButton = false;

    QCheckBox* chkKeepAlive;
    QCheckBox* chkNoFile;
    QCheckBox* chkSounds;
    QCheckBox* chkButtonEnable;
    QGroupBox* Frame1;
    QRadioButton* rad0Digit;
    QRadioButton* rad1Digit;
    QRadioButton* rad2Digit;
    QRadioButton* rad3Digit;
    QCheckBox* chkAverage;
    QCheckBox* chkConstDC;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    // The controls take the fields' values when the dialog appears.
    void showEvent(QShowEvent* event) override;

private:
    void Load();
    void Accept();

    bool m_loaded = false;
};
