#pragma once
// The haze meter on the far end of a serial line: a pseudo-terminal whose other end a meter
// control opens as its port, answered in the serial command set by the simulated instrument
// itself (its optics, store and state machine), with faults to inject for testing the link.
#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QTemporaryDir>
#include <memory>

#include "metercontrols/serial/SerialProtocol.h"

class SimulatedMeter;

struct EmulatorOptions {
    QString storePath;  // the instrument's store; default: a fresh one for this run
    quint32 seed = 0;  // a fixed seed (0: the store's, or a random one)
    QString serialNumber;  // replaces the stored serial number
    bool instant = false;  // operations finish at once instead of taking their real time
    QString linkPath;  // a symbolic link to the terminal, kept pointing at it across replugs
    qint32 baudRate = 0;  // what is sent goes at this many bits a second (0: as fast as it can)
    int protocol = serialmeter::kProtocolVersion;  // the version of the command set it speaks
    // Faults.
    int delayMs = 0;  // every line sent this much later
    int dropEvery = 0;  // every Nth line sent is lost
    int garbleEvery = 0;  // one byte of every Nth line sent is changed
    int silentAfter = 0;  // after N commands nothing more is sent
    int unplugAfter = 0;  // after N commands the terminal is closed ("cable pulled")
    QByteArray unplugOn;  // ... or when this command word comes (without its '?')
    int replugMs = -1;  // ... and opened again this much later (-1: never)
    bool strayEvents = false;  // an unknown event line after every reply
    QByteArray refuse;  // this command word is always refused (ERR 3)
};

class MeterEmulator : public QObject {
    Q_OBJECT
public:
    explicit MeterEmulator(const EmulatorOptions& options, QObject* parent = nullptr);
    ~MeterEmulator() override;

    // Opens the terminal; false with the reason in ErrorText().
    [[nodiscard]] bool Start();
    // The path a meter control opens: the link when there is one, else the terminal itself.
    QString PortPath() const;
    QString ErrorText() const { return m_error; }

    // Operator actions on the instrument, read one a line from standard input:
    // "button", "power", "sample N", "battery N".
    void Act(const QByteArray& line);

signals:
    // The terminal was opened again after a pull; its path (printed by the program).
    void Replugged(const QString& path);

private:
    [[nodiscard]] bool openTerminal();
    void closeTerminal();
    void readTerminal();
    void flushOutput();
    void pull();
    void answer(const QByteArray& line);
    QByteArray reply(const serialmeter::CommandLine& command);
    void onMeterEvent(int code);
    void send(const QByteArray& text);
    void write(const QByteArray& bytes);
    serialmeter::Status status() const;

    EmulatorOptions m_options;
    std::unique_ptr<QTemporaryDir> m_tempDir;
    std::unique_ptr<SimulatedMeter> m_meter;
    int m_master = -1;
    int m_slave = -1;  // held open so that the terminal stays up between hosts
    QString m_terminal;
    std::unique_ptr<QSocketNotifier> m_readNotifier, m_writeNotifier;
    QByteArray m_input, m_output;
    QString m_error;
    int m_commands = 0;
    int m_linesSent = 0;
    bool m_buttonPressed = false;
    quint32 m_garbleState = 1;
    qint64 m_eventNumber = 0;  // events sent since the start
    qint64 m_readingNumber = 0;  // readings taken since the start
    // Pacing at the baud rate: the bytes the line may take now, and since when.
    QElapsedTimer m_paceClock;
    qint64 m_pacedAt = 0;
    double m_credit = 0;
    QTimer m_paceTimer;
};
