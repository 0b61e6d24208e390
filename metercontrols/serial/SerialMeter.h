#pragma once
// The meter control of a haze meter on a serial line (docs/serial-protocol.md). All I/O runs on
// the event loop of the thread that owns it: one command in flight, every reply matched to its
// command by its word, a time limit on each. The control keeps what the meter last reported, so
// every property read and GetReading/GetScanData answer at once; readings and scans are fetched
// before their event is raised.
//
// Event codes raised, as the simulated instrument raises them: 2 the link changed (linked, lost,
// not found), 1 the meter's state changed, 3 switched off, 6 battery low, 9 busy, 10 idle,
// 12 reading ready, 21 scan ready.
#include <QByteArray>
#include <QDateTime>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>

#include "metercontrols/serial/SerialProtocol.h"
#include "vantrel/VantrelCntl.h"

struct SerialMeterOptions {
    QString port;              // device path or name ("/dev/ttyUSB0", "ttyUSB0")
    qint32 baudRate = 115200;
    int replyTimeoutMs = 1000; // time limit of each command
    int pollMs = 1000;         // status query while nothing else is in flight
    int retryMs = 1000;        // reopening a lost port
};

class SerialMeter : public VantrelCntl {
    Q_OBJECT
public:
    explicit SerialMeter(const SerialMeterOptions& options, QObject* parent = nullptr);
    ~SerialMeter() override;

    bool Connected() const override { return m_link == Link::Linked; }
    void SetConnected(bool value) override;
    int32_t ConnectState() override;
    int32_t MeterState() const override { return m_status.state; }
    int32_t BatteryState() const override { return Connected() ? m_status.battery : 0; }
    QString Version() const override { return m_version; }
    QString SerialNumber() const override { return m_serialNumber; }
    void SetSerialNumber(const QString& value) override;
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

private:
    enum class Link { Closed, Handshake, Linked, Lost };

    using Reply = std::function<bool(const serialmeter::MeterLine&)>;   // false: not a usable answer
    struct Pending {
        QByteArray text;
        serialmeter::Command command;
        bool query = false;
        int triesLeft = 1;
        Reply onReply;
        std::function<void()> onFail;
    };

    // What the meter sent with its latest reading, against the standard asked for.
    struct Fetched {
        bool have = false;
        int16_t calIndex = 0;
        bool valid = false;
        QDateTime taken, calibrated;
        QString standard, serialNumber, message;
        double specularByArea = 0, specularByEnergy = 0, doi = 0, deg2 = 0, deg15 = 0;
    };

    // tries 0: a query is asked twice, an action once; first: ahead of everything queued.
    void queue(serialmeter::Command command, bool query, const QByteArray& arguments, Reply onReply,
               std::function<void()> onFail = {}, int tries = 0, bool first = false);
    void sendNext();
    void onReadyRead();
    void onLine(const QByteArray& received);
    void onTimeout();
    void failCurrent();
    void onPortError(QSerialPort::SerialPortError error);

    void startHandshake();
    void queueSettingsQueries(std::function<void()> then);
    void handshakeFailed();
    void loseLink();
    void poll();
    void retry();

    void takeEvent(const serialmeter::MeterLine& line);
    void runEvents();
    void raise(int code);

    bool readyForOperation() const;
    bool startOperation(serialmeter::Command command);
    void write(serialmeter::Command command, const QByteArray& value);

    SerialMeterOptions m_options;
    QSerialPort m_port;
    QByteArray m_received;
    std::deque<Pending> m_queue;
    Pending m_current;
    bool m_inFlight = false;
    int m_failuresInARow = 0;
    QTimer m_replyTimer, m_pollTimer, m_retryTimer;

    Link m_link = Link::Closed;
    bool m_wanted = false;
    bool m_retrying = false;
    bool m_opening = false;        // reopening a lost link: only success is reported
    bool m_operationSent = false;   // an operation command awaits its answer

    std::deque<serialmeter::MeterLine> m_events;
    bool m_eventWaits = false;      // the head event waits for its reading or scan

    // What the meter last reported.
    serialmeter::Status m_status{1, false, 0};
    QString m_version, m_serialNumber;
    int16_t m_authority = 1;
    int16_t m_calIndex = 0;
    bool m_keepAlive = false;
    int16_t m_center = 0, m_dutyCycle = 0, m_refCenter = 0, m_refDutyCycle = 0, m_intensity = 0;
    int32_t m_blackLevel = 0;
    double m_deg2Distortion = 0, m_doiDistortion = 0;
    Fetched m_reading;
    ScanData m_scan;
};
