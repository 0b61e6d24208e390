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

    // The meter has been busy since its last idle notification: set by the busy event and by
    // refreshes that find a linked meter doing anything but waiting; cleared only by the idle event.
    bool MeterBusy() const { return m_meterBusy; }
    void SetMeterBusy(bool busy) { m_meterBusy = busy; }
    // A meter is linked and not switched off; recomputed by every refresh.
    bool MeterOn() const { return m_meterOn; }

    void ShowMeterStatus();
    void ShowReadingMessage(const MeterReading& CurrentReading);
    // Panel 5 emptied.
    void ClearReadingMessage();
    // Stops the nine-second timer that empties panel 5 (the timer is found as "Timer1").
    void StopReadingMessageTimer() { Timer1.stop(); }

private:
    void SetPanel(int panel, const QString& text);

    bool m_meterBusy = false;
    bool m_meterOn = false;
    // One-shot, 9000 ms: empties panel 5.
    QTimer Timer1;
    VantrelCntl& m_vc;
    std::function<void()> m_updateCommands;
    std::array<QLabel*, 5> m_panels{};
};
