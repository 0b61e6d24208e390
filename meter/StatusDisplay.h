#pragma once
// The status bar's five panels: serial number, firmware version, battery, activity, and the
// message of the latest reading (emptied nine seconds after it).
#include <QObject>
#include <QTimer>
#include <array>
#include <functional>

class QLabel;
class QStatusBar;
class VantrelCntl;
class MeterReading;

class StatusDisplay : public QObject {
    Q_OBJECT
public:
    // updateCommands runs at the end of every ShowMeterStatus.
    StatusDisplay(QStatusBar* SB, VantrelCntl& VC, std::function<void()> updateCommands, QObject* parent = nullptr);

    // The meter has been busy since its last idle notification (set by code 9 and by refreshes
    // that find a linked meter in a state other than 1; cleared only by code 10).
    bool MeterBusy = false;
    // A meter is linked and not switched off; recomputed by every refresh.
    bool MeterOn = false;
    // One-shot, 9000 ms: empties panel 5.
    QTimer Timer1;

    void ShowMeterStatus();
    void ShowReadingMessage(const MeterReading& CurrentReading);
    // Panel 5 := "".
    void ClearReadingMessage();

    // Panel texts, 1 to 5.
    QString PanelText(int panel) const;
    QLabel* Panel(int panel) const { return m_panels[static_cast<std::size_t>(panel - 1)]; }

private:
    void SetPanel(int panel, const QString& text);

    VantrelCntl& m_vc;
    std::function<void()> m_updateCommands;
    std::array<QLabel*, 5> m_panels{};
};
