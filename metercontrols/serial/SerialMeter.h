#pragma once
// The meter control of a haze meter on a serial line (docs/serial-protocol.md): the VantrelCntl
// face over the port (LinePort), the command channel (CommandChannel) and the table of settings
// (SerialSettings). All I/O runs on the event loop of the thread that owns it. The control keeps
// what the meter last reported, so every property read and GetReading/GetScanData answer at
// once; readings and scans are fetched before their event is raised.
//
// Event codes raised, as the simulated instrument raises them: 2 the link changed (linked, lost,
// not found), 1 the meter's state changed, 3 switched off, 6 battery low or an operation the
// meter refused, 9 busy (also right after a link to a meter at work), 10 idle, 12 reading ready
// (also for a reading lost on the line, as an invalid reading that says so), 21 scan ready.
#include <QDateTime>
#include <QString>
#include <deque>

#include "metercontrols/serial/CommandChannel.h"
#include "metercontrols/serial/LinePort.h"
#include "metercontrols/serial/SerialSettings.h"
#include "vantrel/VantrelCntl.h"

struct SerialMeterOptions {
    QString port;  // device path or name ("/dev/ttyUSB0", "ttyUSB0")
    qint32 baudRate = 115200;
    int replyTimeoutMs = 1000;  // what the meter may take to answer, besides the time on the line
    int pollMs = 1000;  // status query while nothing else is in flight
    int retryMs = 1000;  // reopening a lost port
};

class SerialMeter : public VantrelCntl {
    Q_OBJECT
    // Why the latest handshake did not link (no answer, a port that does not open, a meter that
    // speaks another version of the command set); empty once linked.
    Q_PROPERTY(QString linkProblem READ LinkProblem)
public:
    explicit SerialMeter(const SerialMeterOptions& options, QObject* parent = nullptr);
    ~SerialMeter() override;

    QString LinkProblem() const { return m_problem; }

    bool Connected() const override { return m_link == Link::Linked; }
    void SetConnected(bool value) override;
    int32_t ConnectState() override;
    int32_t MeterState() const override { return m_status.state; }
    int32_t BatteryState() const override { return Connected() ? m_status.battery : 0; }
    QString Version() const override { return m_version; }
    QString SerialNumber() const override { return m_values.serialNumber; }
    void SetSerialNumber(const QString& value) override
    {
        set(&serialmeter::SettingValues::serialNumber, serialmeter::Command::SerialNumber, value);
    }
    bool TakeReading() override;
    bool Scan(bool start) override;
    void GetReading(MeterReading& reading, int16_t calIndex) override;
    void GetScanData(ScanData& scan) override { scan = m_scan; }
    void Cancel() override;
    void TurnOff() override;
    void UpdateInfo() override;
    void ClearCalibration() override;
    bool Calibrate() override;
    bool AdvancedCorrection() override;
    bool Normalize() override;
    bool Unlock(double accessCode) override;
    int16_t CalIndex() const override { return m_values.calIndex; }
    void SetCalIndex(int16_t value) override
    {
        set(&serialmeter::SettingValues::calIndex, serialmeter::Command::CalIndex, value);
    }
    bool KeepAlive() const override { return m_values.keepAlive; }
    void SetKeepAlive(bool value) override
    {
        set(&serialmeter::SettingValues::keepAlive, serialmeter::Command::KeepAlive, value);
    }
    void SetEnableButton(bool value) override
    {
        set(&serialmeter::SettingValues::enableButton, serialmeter::Command::EnableButton, value);
    }
    void SetConstDC(bool value) override
    {
        set(&serialmeter::SettingValues::constDC, serialmeter::Command::ConstDC, value);
    }
    int16_t Center() const override { return m_values.center; }
    void SetCenter(int16_t value) override
    {
        set(&serialmeter::SettingValues::center, serialmeter::Command::Center, value);
    }
    int16_t DutyCycle() const override { return m_values.dutyCycle; }
    void SetDutyCycle(int16_t value) override
    {
        set(&serialmeter::SettingValues::dutyCycle, serialmeter::Command::DutyCycle, value);
    }
    int16_t RefCenter() const override { return m_values.refCenter; }
    void SetRefCenter(int16_t value) override
    {
        set(&serialmeter::SettingValues::refCenter, serialmeter::Command::RefCenter, value);
    }
    int16_t RefDutyCycle() const override { return m_values.refDutyCycle; }
    void SetRefDutyCycle(int16_t value) override
    {
        set(&serialmeter::SettingValues::refDutyCycle, serialmeter::Command::RefDutyCycle, value);
    }
    int16_t Intensity() const override { return m_values.intensity; }
    void SetIntensity(int16_t value) override
    {
        set(&serialmeter::SettingValues::intensity, serialmeter::Command::Intensity, value);
    }
    int32_t BlackLevel() const override { return m_values.blackLevel; }
    void SetBlackLevel(int32_t value) override
    {
        set(&serialmeter::SettingValues::blackLevel, serialmeter::Command::BlackLevel, value);
    }
    double Deg2Distortion() const override { return m_values.deg2Distortion; }
    void SetDeg2Distortion(double value) override
    {
        set(&serialmeter::SettingValues::deg2Distortion, serialmeter::Command::Deg2Distortion, value);
    }
    double DOIDistortion() const override { return m_values.doiDistortion; }
    void SetDOIDistortion(double value) override
    {
        set(&serialmeter::SettingValues::doiDistortion, serialmeter::Command::DOIDistortion, value);
    }
    int16_t Authority() const override { return m_authority; }

private:
    enum class Link { Closed, Handshake, Linked, Lost };

    // What the meter sent with its latest reading, against the standard asked for.
    struct Fetched {
        bool have = false;
        int16_t calIndex = 0;
        bool valid = false;
        QDateTime taken, calibrated;
        QString standard, serialNumber, message;
        double specularByArea = 0, specularByEnergy = 0, doi = 0, deg2 = 0, deg15 = 0;
    };
    // What waits to be handed on, in order: an event from the line; a look for a reading whose
    // event was lost; a status the poll found changed.
    struct Pending {
        enum Kind { Event, LookForReading, PolledStatus } kind = Event;
        serialmeter::MeterLine line;
        serialmeter::Status status;
    };

    void startHandshake();
    void handshakeFailed(const QString& problem);
    void loseLink();
    void poll();
    void retry();

    void takeEvent(const serialmeter::MeterLine& line);
    void runEvents();
    void fetchReading(bool announced);
    bool takeReading(const serialmeter::MeterLine& line);
    void readingLost();
    void raise(int code);

    bool readyForOperation() const;
    bool startOperation(serialmeter::Command command);
    void sendSetting(serialmeter::Command command);
    template <typename T, typename V>
    void set(T serialmeter::SettingValues::*member, serialmeter::Command command, V value)
    {
        m_values.*member = T(value);
        sendSetting(command);
    }

    SerialMeterOptions m_options;
    LinePort m_port;
    CommandChannel m_channel;
    QTimer m_pollTimer;

    Link m_link = Link::Closed;
    bool m_wanted = false;
    bool m_retrying = false;  // reopening a lost link: only success is reported
    bool m_operationSent = false;  // an operation command awaits its answer
    QString m_problem;

    std::deque<Pending> m_events;
    bool m_eventWaits = false;  // the head event waits for its reading or scan
    qint64 m_lastEvent = 0;  // number of the latest event the meter sent
    qint64 m_lastReading = 0;  // number of the latest reading handed on (or the meter's at the link)

    // What the meter last reported.
    serialmeter::Status m_status;
    QString m_version;
    int16_t m_authority = 1;
    serialmeter::SettingValues m_values;
    Fetched m_reading;
    ScanData m_scan;
};
