#pragma once
// The meter's optical settings and serial number. The caller fills the m-fields from the meter
// control, shows the dialog modally and writes the fields back only when DoChange is true (Ok).
// Ok takes each typed value that lies inside its accepted range and silently keeps the old value
// of any field that does not.
#include <QDialog>
#include <QString>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

class dlgMeterProperties : public QDialog {
    Q_OBJECT
public:
    explicit dlgMeterProperties(QWidget* parent = nullptr);

    bool DoChange = false;
    int16_t mRefCenter = 0;
    int16_t mCenter = 0;
    int16_t mIntensity = 0;
    QString mSerialNumber;
    int16_t mRefDutyCycle = 0;
    double mDOIDistortion = 0.0;
    double mDeg2Distortion = 0.0;
    int32_t mBlackLevel = 0;
    // The meter's authority; above 1 enables ForceDefaults.
    int16_t mAuthority = 0;

    QLabel* lblCenter;
    QLineEdit* edCenter;
    QLabel* lblRefCenter;
    QLineEdit* edRefCenter;
    QLabel* lblIntensity;
    QLineEdit* edIntensity;
    QLabel* lblRefDutyCycle;
    QLineEdit* edRefDutyCycle;
    QLabel* lblDeg2Distortion;
    QLineEdit* edDeg2Distortion;
    QLabel* lblDOIDistortion;
    QLineEdit* edDOIDistortion;
    QLabel* lblSerialNumber;
    QLineEdit* edSerialNumber;
    QLabel* lblBlackLevel;
    QLineEdit* edBlackLevel;
    QPushButton* ForceDefaults;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    // The boxes take the fields' values when the dialog appears.
    void showEvent(QShowEvent* event) override;

private:
    void FillBoxes();
    void SetDefaults();
    void Accept();

    bool m_loaded = false;
};
