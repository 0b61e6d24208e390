#pragma once
// The two measurement parameters: array centre and duty cycle. The caller fills the m-fields
// from the meter control and writes them back only when DoChange is true (Ok).
#include <QDialog>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

class dlgSettings : public QDialog {
    Q_OBJECT
public:
    explicit dlgSettings(QWidget* parent = nullptr);

    bool DoChange = false;
    int16_t mCenter = 0;
    int16_t mDutyCycle = 0;

    QLabel* lblCenter;
    QLineEdit* edCenter;
    QLabel* lblDutyCycle;
    QLineEdit* edDutyCycle;
    QPushButton* btnOK;
    QPushButton* btnCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Accept();

    bool m_loaded = false;
};
