#pragma once
// The front panel of the simulated haze meter: the instrument's display, its measure and power
// buttons and battery gauge, and on the bench beside it the sample under the head, the cable and
// the battery charge. Every control acts on the instrument through SimulatedMeter's operator
// actions and shows what the instrument reports.
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class SimulatedMeter;

class MeterFrontPanel : public QWidget {
    Q_OBJECT
public:
    explicit MeterFrontPanel(SimulatedMeter* meter, QWidget* parent = nullptr);

    // Shows the instrument's state again.
    void Refresh();

signals:
    // The operator opened (true) or closed (false) the panel window.
    void VisibilityChosen(bool visible);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    SimulatedMeter* m_meter;
    QLabel* m_display = nullptr;
    int m_displayWidth = 0;  // the text's room on the glass
    QLabel* m_lamp = nullptr;
    QProgressBar* m_battery = nullptr;
    QPushButton* m_measure = nullptr;
    QPushButton* m_power = nullptr;
    QComboBox* m_sample = nullptr;
    QCheckBox* m_cable = nullptr;
    QSpinBox* m_charge = nullptr;
};
