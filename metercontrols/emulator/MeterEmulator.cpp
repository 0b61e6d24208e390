#include "metercontrols/emulator/MeterEmulator.h"

#include <QFile>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "simulator/SimulatedMeter.h"

using namespace serialmeter;

namespace {

constexpr int kMaxInput = 16384;

QByteArray Flag(bool value)
{
    return value ? "1" : "0";
}

}  // namespace

MeterEmulator::MeterEmulator(const EmulatorOptions& options, QObject* parent)
    : QObject(parent)
    , m_options(options)
{
    m_paceTimer.setSingleShot(true);
    connect(&m_paceTimer, &QTimer::timeout, this, &MeterEmulator::flushOutput);
    m_paceClock.start();
}

MeterEmulator::~MeterEmulator()
{
    closeTerminal();
    if (!m_options.linkPath.isEmpty()) QFile::remove(m_options.linkPath);
}

bool MeterEmulator::Start()
{
    QString store = m_options.storePath;
    if (store.isEmpty()) {
        m_tempDir = std::make_unique<QTemporaryDir>();
        if (!m_tempDir->isValid()) {
            m_error = QStringLiteral("cannot create a folder for the instrument's store");
            return false;
        }
        store = m_tempDir->filePath(QStringLiteral("meter.ini"));
    }
    {
        QSettings preset(store, QSettings::IniFormat);
        if (m_options.seed != 0) preset.setValue(QStringLiteral("Instrument/Seed"), m_options.seed);
        if (!m_options.serialNumber.isEmpty())
            preset.setValue(QStringLiteral("Instrument/SerialNumber"), m_options.serialNumber);
        preset.sync();
        if (preset.status() != QSettings::NoError) {
            m_error = QStringLiteral("cannot write the instrument's store %1").arg(store);
            return false;
        }
    }
    SimulatedMeterOptions meterOptions;
    meterOptions.storePath = store;
    meterOptions.zeroDelays = m_options.instant;
    meterOptions.showPanel = false;
    m_meter = std::make_unique<SimulatedMeter>(meterOptions);
    connect(m_meter.get(), &VantrelCntl::MeterEvent, this, &MeterEmulator::onMeterEvent);
    // The serial line is the instrument's cable: it is linked for as long as the emulator runs.
    m_meter->SetConnected(true);
    return openTerminal();
}

QString MeterEmulator::PortPath() const
{
    return m_options.linkPath.isEmpty() ? m_terminal : m_options.linkPath;
}

bool MeterEmulator::openTerminal()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        m_error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        closeTerminal();
        return false;
    }
    char name[128];
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = QStringLiteral("cannot name the pseudo-terminal");
        closeTerminal();
        return false;
    }
    m_terminal = QString::fromLocal8Bit(name);
    // Raw bytes, no echo, until the host sets its own mode.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave >= 0) {
        termios mode{};
        if (tcgetattr(m_slave, &mode) == 0) {
            cfmakeraw(&mode);
            cfsetspeed(&mode, B115200);
            tcsetattr(m_slave, TCSANOW, &mode);
        }
    }
    if (!m_options.linkPath.isEmpty()) {
        QFile::remove(m_options.linkPath);
        if (!QFile::link(m_terminal, m_options.linkPath)) {
            m_error = QStringLiteral("cannot create the link %1").arg(m_options.linkPath);
            closeTerminal();
            return false;
        }
    }
    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &MeterEmulator::readTerminal);
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Write);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, &MeterEmulator::flushOutput);
    return true;
}

void MeterEmulator::closeTerminal()
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
    m_slave = m_master = -1;
    m_input.clear();
    m_output.clear();
}

void MeterEmulator::readTerminal()
{
    char buffer[4096];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        m_input.append(buffer, n);
        qsizetype end;
        while (m_master >= 0 && (end = m_input.indexOf('\n')) >= 0) {
            const QByteArray line = m_input.left(end + 1);
            m_input.remove(0, end + 1);
            answer(line);
        }
        if (m_input.size() > kMaxInput) m_input.clear();  // no line end in sight: noise
    }
}

void MeterEmulator::answer(const QByteArray& line)
{
    ++m_commands;
    if (m_options.unplugAfter > 0 && m_commands > m_options.unplugAfter) {
        m_options.unplugAfter = 0;
        pull();
        return;
    }
    // A meter that is absent, unplugged inside or switched off before the link was made does
    // not answer at all; a damaged command (or one framed for another version) is not answered either.
    if (!m_meter->Connected()) return;
    const auto text = Unframe(line, m_options.protocol);
    if (!text) return;
    auto command = ParseCommand(*text);
    if (command && command->command == Command::Protocol && m_options.protocol == 1)
        command.reset();  // unknown to version 1
    if (command && !m_options.unplugOn.isEmpty() && m_options.unplugOn == WordOf(command->command).word) {
        m_options.unplugOn.clear();
        pull();
        return;
    }
    if (!command) {
        const qsizetype blank = text->indexOf(' ');
        const QByteArray word = (blank < 0 ? *text : text->left(blank)).toUpper();
        send(word + " ERR " + QByteArray::number(ErrorUnknownCommand) + ",\"unknown command\"");
        return;
    }
    const bool refused = !m_options.refuse.isEmpty() && m_options.refuse == WordOf(command->command).word;
    const QByteArray body = refused ? "ERR " + QByteArray::number(ErrorRefused) + ",\"refused\"" : reply(*command);
    send(ReplyText(command->command, command->query, body));
    if (m_options.strayEvents) send("!SNEEZE " + StatusFields(status(), m_options.protocol));
}

// The cable pulled: the terminal closes, and opens again after the replug time, if there is one.
void MeterEmulator::pull()
{
    closeTerminal();
    if (m_options.replugMs >= 0) {
        QTimer::singleShot(m_options.replugMs, this, [this] {
            if (openTerminal()) emit Replugged(PortPath());
        });
    }
}

Status MeterEmulator::status() const
{
    return Status{m_eventNumber, m_meter->MeterState(), m_meter->Busy(), m_meter->BatteryState()};
}

QByteArray MeterEmulator::reply(const CommandLine& c)
{
    SimulatedMeter& m = *m_meter;
    const QByteArray ok = "OK";
    const QByteArray refused = "ERR " + QByteArray::number(ErrorRefused) + ",\"refused\"";
    const QByteArray badArgument = "ERR " + QByteArray::number(ErrorBadArgument) + ",\"bad argument\"";
    const auto result = [&](bool done) { return done ? ok : refused; };
    const auto whole = [&]() -> std::optional<qint64> {
        return c.arguments.size() == 1 ? WholeField(c.arguments.first()) : std::nullopt;
    };
    const auto real = [&]() -> std::optional<double> {
        return c.arguments.size() == 1 ? RealField(c.arguments.first()) : std::nullopt;
    };
    // A setting: the value for a query; a write is taken when the meter keeps it.
    const auto wholeSetting = [&](auto get, auto set) -> QByteArray {
        if (c.query) return QByteArray::number(qint64((m.*get)()));
        using Value = decltype((m.*get)());
        const auto v = whole();
        if (!v || *v < std::numeric_limits<Value>::min() || *v > std::numeric_limits<Value>::max()) return badArgument;
        (m.*set)(Value(*v));
        return qint64((m.*get)()) == *v ? ok : badArgument;
    };
    const auto realSetting = [&](auto get, auto set) -> QByteArray {
        if (c.query) return Number((m.*get)());
        const auto v = real();
        if (!v) return badArgument;
        (m.*set)(*v);
        return (m.*get)() == *v ? ok : badArgument;
    };
    const auto flagSetting = [&](auto set) -> QByteArray {
        const auto v = whole();
        if (c.query || !v || (*v != 0 && *v != 1)) return badArgument;
        (m.*set)(*v == 1);
        return ok;
    };

    switch (c.command) {
    case Command::Protocol: return QByteArray::number(m_options.protocol);
    case Command::Identify:
        return "\"GLIMORA\",\"HAZE METER EMULATOR\"," + Quote(m.SerialNumber()) + ',' + Quote(m.Version());
    case Command::Reset:
        if (m.Busy()) m.Cancel();
        return ok;
    case Command::Status: return StatusFields(status(), m_options.protocol);
    case Command::Version: return Quote(m.Version());
    case Command::SerialNumber:
        if (c.query) return Quote(m.SerialNumber());
        if (c.arguments.size() != 1) return badArgument;
        m.SetSerialNumber(c.arguments.first());
        return ok;
    case Command::Authority: return QByteArray::number(m.Authority());
    case Command::Unlock: {
        const auto code = real();
        if (!code) return badArgument;
        m.Unlock(*code);
        return QByteArray::number(m.Authority());
    }
    case Command::Read: return result(m.TakeReading());
    case Command::FetchReading: {
        const auto index = whole();
        if (!index || *index < -32768 || *index > 32767) return badArgument;
        MeterReading byArea, byEnergy;
        byEnergy.PixelAvg = false;
        m.GetReading(byArea, int16_t(*index));
        m.GetReading(byEnergy, int16_t(*index));
        const QByteArray number = m_options.protocol == 1 ? QByteArray() : QByteArray::number(m_readingNumber) + ',';
        return number + Flag(byArea.Valid) + ',' + Stamp(byArea.TimeStamp, m_options.protocol) + ','
            + Quote(byArea.CalStd()) + ',' + Stamp(byArea.CalTimeStamp, m_options.protocol) + ','
            + Number(byArea.Specular()) + ',' + Number(byEnergy.Specular()) + ',' + Number(byArea.DOI()) + ','
            + Number(byArea.Deg2()) + ',' + Number(byArea.Deg15()) + ',' + Quote(byArea.SerialNo) + ','
            + Quote(byArea.Message());
    }
    case Command::Scan: return result(m.Scan(true));
    case Command::StopScan: return result(m.Scan(false));
    case Command::FetchScan: {
        ScanData scan;
        m.GetScanData(scan);
        QByteArray values = Flag(scan.HasData);
        for (int i = 0; i < ScanData::PointCount; ++i) values += ',' + Number(scan.Point(i));
        return values;
    }
    case Command::Standard: {
        const auto index = whole();
        if (!index || *index < 0 || *index > 3) return badArgument;
        MeterReading standard;
        m.GetReading(standard, int16_t(*index));
        return Quote(standard.CalStd()) + ',' + Stamp(standard.CalTimeStamp, m_options.protocol);
    }
    case Command::Calibrate: return result(m.Calibrate());
    case Command::Correct: return result(m.AdvancedCorrection());
    case Command::Normalize: return result(m.Normalize());
    case Command::ClearCalibration: m.ClearCalibration(); return ok;
    case Command::Cancel: m.Cancel(); return ok;
    case Command::TurnOff: m.TurnOff(); return ok;
    case Command::UpdateInfo: m.UpdateInfo(); return ok;
    case Command::Center: return wholeSetting(&SimulatedMeter::Center, &SimulatedMeter::SetCenter);
    case Command::DutyCycle: return wholeSetting(&SimulatedMeter::DutyCycle, &SimulatedMeter::SetDutyCycle);
    case Command::RefCenter: return wholeSetting(&SimulatedMeter::RefCenter, &SimulatedMeter::SetRefCenter);
    case Command::RefDutyCycle: return wholeSetting(&SimulatedMeter::RefDutyCycle, &SimulatedMeter::SetRefDutyCycle);
    case Command::Intensity: return wholeSetting(&SimulatedMeter::Intensity, &SimulatedMeter::SetIntensity);
    case Command::BlackLevel: return wholeSetting(&SimulatedMeter::BlackLevel, &SimulatedMeter::SetBlackLevel);
    case Command::CalIndex: return wholeSetting(&SimulatedMeter::CalIndex, &SimulatedMeter::SetCalIndex);
    case Command::Deg2Distortion:
        return realSetting(&SimulatedMeter::Deg2Distortion, &SimulatedMeter::SetDeg2Distortion);
    case Command::DOIDistortion: return realSetting(&SimulatedMeter::DOIDistortion, &SimulatedMeter::SetDOIDistortion);
    case Command::KeepAlive:
        if (c.query) return Flag(m.KeepAlive());
        return flagSetting(&SimulatedMeter::SetKeepAlive);
    case Command::EnableButton: return flagSetting(&SimulatedMeter::SetEnableButton);
    case Command::ConstDC: return flagSetting(&SimulatedMeter::SetConstDC);
    }
    return badArgument;
}

void MeterEmulator::onMeterEvent(int code)
{
    for (const EventWord& e : Events()) {
        if (e.code != code) continue;
        if (e.event == Event::Button && !m_buttonPressed) continue;
        if (e.event == Event::Busy && m_buttonPressed) continue;
        if (code == VantrelCntl::Event::Busy) m_buttonPressed = false;
        if (e.event == Event::ReadingReady) ++m_readingNumber;
        ++m_eventNumber;
        send(EventText(e.event, StatusFields(status(), m_options.protocol)));
        return;
    }
    // Code 2 (the instrument's own link) has no line: the serial line is the link.
}

void MeterEmulator::Act(const QByteArray& line)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    const QByteArray action = words.value(0).toLower();
    const int value = words.value(1).toInt();
    if (action == "button") {
        m_buttonPressed = true;
        m_meter->PressMeasureButton();
        m_buttonPressed = false;
    } else if (action == "power") {
        m_meter->PressPowerButton();
    } else if (action == "sample") {
        m_meter->SetSample(value);
    } else if (action == "battery") {
        m_meter->SetBatteryPercent(value);
    }
}

void MeterEmulator::send(const QByteArray& text)
{
    if (m_options.silentAfter > 0 && m_commands > m_options.silentAfter) return;
    ++m_linesSent;
    if (m_options.dropEvery > 0 && m_linesSent % m_options.dropEvery == 0) return;
    QByteArray bytes = Frame(text, m_options.protocol);
    if (m_options.garbleEvery > 0 && m_linesSent % m_options.garbleEvery == 0) {
        m_garbleState = m_garbleState * 1103515245u + 12345u;  // repeatable from run to run
        const qsizetype at = qsizetype((m_garbleState >> 8) % quint32(bytes.size() - 1));
        bytes[at] = char(bytes.at(at) ^ 0x15);
    }
    if (m_options.delayMs > 0) QTimer::singleShot(m_options.delayMs, this, [this, bytes] { write(bytes); });
    else write(bytes);
}

void MeterEmulator::write(const QByteArray& bytes)
{
    if (m_master < 0) return;
    m_output += bytes;
    flushOutput();
}

void MeterEmulator::flushOutput()
{
    bool waitForLine = false;  // paced: the line takes more only later
    while (m_master >= 0 && !m_output.isEmpty()) {
        qsizetype chunk = m_output.size();
        if (m_options.baudRate > 0) {
            // Ten bits a byte; after a quiet spell no more than a few milliseconds' worth at once.
            const qint64 now = m_paceClock.nsecsElapsed();
            const double most = std::max(16.0, m_options.baudRate / 1000.0);
            m_credit = std::min(most, m_credit + double(now - m_pacedAt) * m_options.baudRate / 10.0 / 1e9);
            m_pacedAt = now;
            chunk = std::min(chunk, qsizetype(m_credit));
            if (chunk <= 0) {
                waitForLine = true;
                break;
            }
        }
        const ssize_t n = ::write(m_master, m_output.constData(), size_t(chunk));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        m_output.remove(0, n);
        m_credit -= double(n);
    }
    if (waitForLine) m_paceTimer.start(4);
    if (m_writeNotifier) m_writeNotifier->setEnabled(!m_output.isEmpty() && !waitForLine);
}
