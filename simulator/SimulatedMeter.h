#pragma once
// The simulated DOI/haze meter: a battery instrument on a cable, with a link handshake, busy and
// idle events around every measurement, readings and scans computed from the sample under the
// head (Optics.h), four calibration standards, battery, auto power-off, and its own store
// (InstrumentStore.h). Everything runs on timers of the UI thread; nothing blocks.
//
// Event codes raised (besides 9 busy, 10 idle, 12 reading ready, 21 scan ready, 6 battery low):
//   1 the meter's state changed (getting parameters, woke up)
//   2 the link changed (linked, lost, not found)
//   3 the meter switched itself off (host command, power button, auto power-off, empty battery)
//
// The handshake always ends: ConnectState stays 1 only until the link timer runs out, then the
// meter is linked or reported not found.
//
// Authority: 1 while locked; a correct Unlock raises it to the level stored under
// [Instrument] Authority (2 unless changed); a wrong code locks again; closing the link locks.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "simulator/InstrumentStore.h"
#include "simulator/Optics.h"
#include "vantrel/VantrelCntl.h"

class QWidget;
class MeterFrontPanel;

struct SimulatedMeterOptions {
    QString storePath;  // its own INI file; default: InstrumentStore::DefaultPath()
    bool zeroDelays = false;  // every operation finishes on the next turn of the event loop
    bool showPanel = true;  // create and show the front panel (visibility remembered in the store)
};

class SimulatedMeter : public VantrelCntl {
    Q_OBJECT
public:
    explicit SimulatedMeter(const SimulatedMeterOptions& options = {}, QObject* parent = nullptr);
    ~SimulatedMeter() override;

    // The front panel window, created on first use.
    QWidget* FrontPanel();
    // Whether the front panel was left open at the end of the last run (shown by default).
    bool PanelRemembered() const;
    // Whether the front panel has a place of its own, kept from an earlier run.
    bool PanelPlaced() const { return !m_store.PanelGeometry().isEmpty(); }

    // Operator actions on the instrument itself.
    void PressMeasureButton();
    void PressPowerButton();
    void SetCablePlugged(bool plugged);
    void SetSample(int index);
    static QStringList Samples();
    int BatteryPercent() const;
    void SetBatteryPercent(int percent);

    // What the front panel shows.
    bool Present() const { return m_present; }
    bool PoweredOn() const { return m_poweredOn; }
    bool CablePlugged() const { return m_plugged; }
    int Sample() const { return int(m_store.Int(simulator::Key::Sample)); }
    // An operation (reading, scan, calibration...) is in progress.
    bool Busy() const { return m_op != Operation::None; }
    // The text of the instrument's display: empty while it is switched off.
    QString DisplayText() const;

    // VantrelCntl
    bool Connected() const override;
    void SetConnected(bool value) override;
    int32_t ConnectState() override;
    int32_t MeterState() const override;
    int32_t BatteryState() const override;
    QString Version() const override;
    QString SerialNumber() const override;
    void SetSerialNumber(const QString& value) override;
    bool TakeReading() override;
    bool Scan(bool start) override;
    void GetReading(MeterReading& reading, int16_t calIndex) override;
    void GetScanData(ScanData& scan) override;
    void Cancel() override;
    void TurnOff() override;
    void UpdateInfo() override;
    void ClearCalibration() override;
    bool Calibrate() override;
    bool AdvancedCorrection() override;
    bool Normalize() override;
    bool Unlock(double accessCode) override;
    int16_t CalIndex() const override { return int16_t(m_store.Int(simulator::Key::CalIndex)); }
    void SetCalIndex(int16_t value) override;
    bool KeepAlive() const override { return m_store.Bool(simulator::Key::KeepAlive); }
    void SetKeepAlive(bool value) override;
    void SetEnableButton(bool value) override;
    void SetConstDC(bool value) override;
    int16_t Center() const override { return int16_t(m_store.Int(simulator::Key::Center)); }
    void SetCenter(int16_t value) override { m_store.Set(simulator::Key::Center, value); }
    int16_t DutyCycle() const override { return int16_t(m_store.Int(simulator::Key::DutyCycle)); }
    void SetDutyCycle(int16_t value) override { m_store.Set(simulator::Key::DutyCycle, value); }
    int16_t RefCenter() const override { return int16_t(m_store.Int(simulator::Key::RefCenter)); }
    void SetRefCenter(int16_t value) override { m_store.Set(simulator::Key::RefCenter, value); }
    int16_t RefDutyCycle() const override { return int16_t(m_store.Int(simulator::Key::RefDutyCycle)); }
    void SetRefDutyCycle(int16_t value) override { m_store.Set(simulator::Key::RefDutyCycle, value); }
    int16_t Intensity() const override { return int16_t(m_store.Int(simulator::Key::Intensity)); }
    void SetIntensity(int16_t value) override { m_store.Set(simulator::Key::Intensity, value); }
    int32_t BlackLevel() const override { return int32_t(m_store.Int(simulator::Key::BlackLevel)); }
    void SetBlackLevel(int32_t value) override { m_store.Set(simulator::Key::BlackLevel, value); }
    double Deg2Distortion() const override { return m_store.Real(simulator::Key::Deg2Distortion); }
    void SetDeg2Distortion(double value) override { m_store.Set(simulator::Key::Deg2Distortion, value); }
    double DOIDistortion() const override { return m_store.Real(simulator::Key::DOIDistortion); }
    void SetDOIDistortion(double value) override { m_store.Set(simulator::Key::DOIDistortion, value); }
    int16_t Authority() const override { return m_authority; }

signals:
    // Anything the front panel shows has changed (raised whether or not a host is linked).
    void PanelChanged();

private:
    enum class Link { Closed, Handshake, Linked, Lost };
    enum class Operation { None, Parameters, Reading, Scan, Calibration, Correction, Normalizing };

    // One measurement as the instrument took it, with when and what goes with it.
    struct Taken {
        bool taken = false;
        QDateTime when;
        simulator::Measurement values;
        QString notice;  // a message that goes with a valid reading
    };

    bool reachable() const;  // present, plugged, switched on
    bool readyForCommand() const;  // linked, on and idle
    int delay(int ms) const;
    int measuringDelay();
    void report(int code);
    void setPoweredOn(bool on);
    void startHandshake();
    void finishHandshake();
    void loseLink();
    bool startOperation(Operation op, int32_t state, int ms, std::function<void()> finish);
    void beginOperation(Operation op, int32_t state, int ms, std::function<void()> finish);
    void abortOperation();
    void finishToIdle();
    void powerOn();
    void powerOff();
    void wakeUp();
    void touch();
    void autoOff();
    void setBattery(double percent);
    void checkLowBattery();
    void flash(const QString& text);

    simulator::OpticalSettings opticalSettings() const;
    const simulator::Sample& sample() const;
    void takeMeasurement();

    SimulatedMeterOptions m_options;
    simulator::InstrumentStore m_store;

    // The instrument's condition (kept in the store as it changes).
    bool m_present = true, m_plugged = true, m_poweredOn = true;
    double m_battery = 100;

    // Run-time state.
    Link m_link = Link::Closed;
    bool m_linkWanted = false;
    bool m_everLinked = false;
    int32_t m_state = State::Waiting;
    Operation m_op = Operation::None;
    int16_t m_authority = 1;
    bool m_lowWarned = false;
    int m_readingsSinceCorrection = 0;
    Taken m_last;
    Taken m_shown;  // what the display shows (also readings taken without a link)
    ScanData m_scan;
    QString m_flash;  // a short message on the display

    QTimer m_linkTimer, m_opTimer, m_autoOffTimer, m_batteryTimer, m_flashTimer;
    std::function<void()> m_opFinish;
    simulator::Random m_random;
    simulator::Random m_timing;  // delays only, so that delays never disturb the readings' noise

    std::unique_ptr<MeterFrontPanel> m_panel;
};
