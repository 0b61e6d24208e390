#pragma once
// The simulated DOI/haze meter: a battery instrument on a cable, with a link handshake, busy and
// idle events around every measurement, readings and scans computed from the reflection profile
// of the sample under the head, four calibration standards, battery, auto power-off, and its
// own settings file. Everything runs on timers of the UI thread; nothing blocks.
//
// Event codes raised (besides 9 busy, 10 idle, 12 reading ready, 21 scan ready, 6 battery low):
//   1 the meter's state changed (getting parameters, woke up)
//   2 the link changed (linked, lost, not found)
//   3 the meter switched itself off (host command, power button, auto power-off, empty battery)
//
// Authority: 1 while locked; a correct Unlock raises it to the level stored under
// [Instrument] Authority (2 unless changed); a wrong code locks again; closing the link locks.
#include <QDateTime>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <random>

#include "vantrel/VantrelCntl.h"

class QWidget;
class MeterFrontPanel;

struct SimulatedMeterOptions {
    QString storePath;          // its own INI file; default: $XDG_CONFIG_HOME/Glimora/SimulatedMeter.ini
    bool deterministic = false; // zero delays (timers of 0 ms) and a fixed random seed
    quint32 seed = 12345;
    bool showPanel = true;      // create and show the front panel (visibility remembered in the store)
};

class SimulatedMeter : public VantrelCntl {
    Q_OBJECT
public:
    explicit SimulatedMeter(const SimulatedMeterOptions& options = {}, QObject* parent = nullptr);
    ~SimulatedMeter() override;

    static QString DefaultStorePath();
    QString StorePath() const { return m_storePath; }

    // The front panel window, created on first use.
    QWidget* FrontPanel();
    // Whether the front panel was left open at the end of the last run (shown by default).
    bool PanelRemembered() const;

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
    int Sample() const { return m_sample; }
    bool EnableButton() const { return m_enableButton; }
    bool ConstDC() const { return m_constDC; }
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
    int16_t CalIndex() const override { return m_calIndex; }
    void SetCalIndex(int16_t value) override;
    bool KeepAlive() const override { return m_keepAlive; }
    void SetKeepAlive(bool value) override;
    void SetEnableButton(bool value) override;
    void SetConstDC(bool value) override;
    int16_t Center() const override { return m_center; }
    void SetCenter(int16_t value) override;
    int16_t DutyCycle() const override { return m_dutyCycle; }
    void SetDutyCycle(int16_t value) override;
    int16_t RefCenter() const override { return m_refCenter; }
    void SetRefCenter(int16_t value) override;
    int16_t RefDutyCycle() const override { return m_refDutyCycle; }
    void SetRefDutyCycle(int16_t value) override;
    int16_t Intensity() const override { return m_intensity; }
    void SetIntensity(int16_t value) override;
    int32_t BlackLevel() const override { return m_blackLevel; }
    void SetBlackLevel(int32_t value) override;
    double Deg2Distortion() const override { return m_deg2Distortion; }
    void SetDeg2Distortion(double value) override;
    double DOIDistortion() const override { return m_doiDistortion; }
    void SetDOIDistortion(double value) override;
    int16_t Authority() const override { return m_authority; }

signals:
    // Anything the front panel shows has changed (raised whether or not a host is linked).
    void PanelChanged();

private:
    enum class Link { Closed, Handshake, Linked, Lost };
    enum class Operation { None, Parameters, Reading, Scan, Calibration, Correction, Normalizing };

    struct Standard {
        QString name;
        QDateTime calibrated;
        bool cleared = false;
    };
    // One measurement as the instrument took it, before a calibration standard is applied.
    struct Measurement {
        bool taken = false;
        QDateTime when;
        double specular = 0, specularTotal = 0, doi = 0, deg2 = 0, deg15 = 0;
        QString error;    // a reason that makes the reading invalid
        QString notice;   // a message that goes with a valid reading
    };

    void loadStore();
    void saveValue(const QString& key, const QVariant& value);
    void saveStandard(int index);

    bool reachable() const;      // present, plugged, switched on
    bool readyForCommand() const; // linked, on and idle
    int delay(int ms) const;
    void report(int code);
    void startHandshake();
    void finishHandshake();
    void loseLink();
    void beginOperation(Operation op, int32_t state, int ms, std::function<void()> finish);
    void abortOperation();
    void finishToIdle();
    void powerOn();
    void powerOff();
    void wakeUp();
    void touch();
    void autoOff();
    void batteryTick();
    void drain(double percent);
    void setBattery(double percent);
    void checkLowBattery();

    Measurement measure();
    void takeMeasurement();
    void fillScan();

    SimulatedMeterOptions m_options;
    QString m_storePath;
    std::unique_ptr<QSettings> m_store;

    // Start-up switches and the instrument's own state.
    bool m_present = true, m_plugged = true, m_poweredOn = true;
    double m_battery = 100;
    int m_autoOffSeconds = 300;
    int m_handshakeMs = 600;    // how long the link handshake takes; always ends, linked or not
    int16_t m_unlockedAuthority = 2;
    QString m_serial, m_version;
    int m_sample = 0;

    // Settings.
    int16_t m_center = 110, m_refCenter = 146, m_intensity = 45, m_dutyCycle = 37, m_refDutyCycle = 85;
    int32_t m_blackLevel = 32767;
    double m_deg2Distortion = 1.0, m_doiDistortion = 1.0;
    int16_t m_calIndex = 0;
    bool m_keepAlive = false, m_enableButton = true, m_constDC = false;
    std::array<Standard, 4> m_standards;

    // Run-time state.
    Link m_link = Link::Closed;
    bool m_linkWanted = false;
    bool m_everLinked = false;
    int32_t m_state = 1;
    Operation m_op = Operation::None;
    int16_t m_authority = 1;
    bool m_lowWarned = false;
    int m_readingsSinceCorrection = 0;
    Measurement m_last;
    Measurement m_shown;   // what the display shows (also readings taken without a link)
    ScanData m_scan;
    QString m_flash;       // a short message on the display

    QTimer m_linkTimer, m_opTimer, m_autoOffTimer, m_batteryTimer, m_flashTimer;
    std::function<void()> m_opFinish;
    std::mt19937 m_random;
    std::mt19937 m_timing;  // delays only, so that delays never disturb the readings' noise

    std::unique_ptr<MeterFrontPanel> m_panel;
};
