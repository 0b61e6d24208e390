#include "metercontrols/serial/SerialMeter.h"

#include <limits>

#include "vantrel/AccessCode.h"

using namespace serialmeter;

namespace {

constexpr qsizetype kMaxReceived = 16384;
constexpr int kFailuresToLoseLink = 3;
constexpr int kIdentifyTries = 3;

template <typename T>
bool TakeWhole(const QString& field, T& into)
{
    const auto v = WholeField(field);
    if (!v || *v < std::numeric_limits<T>::min() || *v > std::numeric_limits<T>::max()) return false;
    into = T(*v);
    return true;
}

bool TakeReal(const QString& field, double& into)
{
    const auto v = RealField(field);
    if (!v) return false;
    into = *v;
    return true;
}

bool Answered(const MeterLine& line)
{
    return line.kind == MeterLine::Ok || line.kind == MeterLine::Error;
}

}  // namespace

SerialMeter::SerialMeter(const SerialMeterOptions& options, QObject* parent)
    : VantrelCntl(parent)
    , m_options(options)
{
    m_replyTimer.setSingleShot(true);
    m_retryTimer.setSingleShot(true);
    m_pollTimer.setInterval(m_options.pollMs);
    connect(&m_replyTimer, &QTimer::timeout, this, &SerialMeter::onTimeout);
    connect(&m_pollTimer, &QTimer::timeout, this, &SerialMeter::poll);
    connect(&m_retryTimer, &QTimer::timeout, this, &SerialMeter::retry);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialMeter::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialMeter::onPortError);
}

SerialMeter::~SerialMeter()
{
    // No event leaves a control that is going away.
    blockSignals(true);
    m_port.close();
}

// ---------------------------------------------------------------------------------------------
// Commands: one in flight, each with its time limit

void SerialMeter::queue(Command command, bool query, const QByteArray& arguments, Reply onReply,
                        std::function<void()> onFail, int tries, bool first)
{
    Pending p;
    p.text = Frame(CommandText(command, query, arguments));
    p.command = command;
    p.query = query;
    p.triesLeft = tries > 0 ? tries : query ? 2 : 1;   // a query is asked again once; an action never twice
    p.onReply = std::move(onReply);
    p.onFail = std::move(onFail);
    if (first) m_queue.push_front(std::move(p));
    else m_queue.push_back(std::move(p));
    sendNext();
}

void SerialMeter::sendNext()
{
    if (m_inFlight || m_queue.empty() || !m_port.isOpen()) return;
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
    m_inFlight = true;
    m_replyTimer.start(m_options.replyTimeoutMs);
    if (m_port.write(m_current.text) != m_current.text.size()) {
        // The port refused the bytes: the error handler or the time limit takes it from here.
        return;
    }
}

void SerialMeter::onReadyRead()
{
    m_received += m_port.readAll();
    qsizetype end;
    while ((end = m_received.indexOf('\n')) >= 0) {
        const QByteArray line = m_received.left(end + 1);
        m_received.remove(0, end + 1);
        onLine(line);
        if (!m_port.isOpen()) return;
    }
    if (m_received.size() > kMaxReceived) m_received.clear();   // noise without a line end
}

void SerialMeter::onLine(const QByteArray& received)
{
    // A damaged line is dropped; the time limit of the command in flight covers a lost reply.
    const auto text = Unframe(received);
    if (!text) return;
    const auto line = ParseMeterLine(*text);
    if (!line) return;   // an event of an unknown kind, or a reply to no command of the set
    if (line->kind == MeterLine::Event) {
        takeEvent(*line);
        return;
    }
    // A reply to an earlier command that came after its time limit is not this command's.
    if (!m_inFlight || line->command != m_current.command || line->query != m_current.query) return;
    m_replyTimer.stop();
    m_inFlight = false;
    Pending p = std::move(m_current);
    if (!p.onReply || p.onReply(*line)) {
        m_failuresInARow = 0;
        sendNext();
        return;
    }
    m_current = std::move(p);
    failCurrent();
}

void SerialMeter::onTimeout()
{
    if (m_inFlight) failCurrent();
}

// The command in m_current went unanswered or was answered with nonsense.
void SerialMeter::failCurrent()
{
    m_inFlight = false;
    Pending p = std::move(m_current);
    if (--p.triesLeft > 0) {
        m_queue.push_front(std::move(p));
        sendNext();
        return;
    }
    ++m_failuresInARow;
    if (p.onFail) p.onFail();
    if (m_link == Link::Linked && m_failuresInARow >= kFailuresToLoseLink) {
        loseLink();
        return;
    }
    sendNext();
}

void SerialMeter::onPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || error == QSerialPort::NotOpenError) return;
    if (m_opening) return;   // a port that does not open ends the handshake on its own
    // A pulled cable, a port that disappeared, a read or write that failed: the link is gone.
    if (m_link == Link::Handshake) handshakeFailed();
    else if (m_link == Link::Linked) loseLink();
}

// ---------------------------------------------------------------------------------------------
// Link

void SerialMeter::SetConnected(bool value)
{
    if (value) {
        m_wanted = true;
        if (m_link == Link::Linked || m_link == Link::Handshake) return;
        m_retryTimer.stop();
        m_retrying = false;
        startHandshake();
        return;
    }
    m_wanted = false;
    m_retryTimer.stop();
    m_pollTimer.stop();
    m_replyTimer.stop();
    m_queue.clear();
    m_inFlight = false;
    m_events.clear();
    m_eventWaits = false;
    m_operationSent = false;
    m_authority = 1;
    m_link = Link::Closed;
    m_port.close();
}

int32_t SerialMeter::ConnectState()
{
    switch (m_link) {
    case Link::Handshake: return 1;
    case Link::Linked: return 2;
    default: return 0;
    }
}

void SerialMeter::startHandshake()
{
    m_link = Link::Handshake;
    m_queue.clear();
    m_inFlight = false;
    m_replyTimer.stop();
    m_events.clear();
    m_eventWaits = false;
    m_operationSent = false;
    m_failuresInARow = 0;
    m_received.clear();
    if (!m_port.isOpen()) {
        m_port.setPortName(m_options.port);
        m_port.setBaudRate(m_options.baudRate);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        m_opening = true;
        const bool opened = !m_options.port.isEmpty() && m_port.open(QIODevice::ReadWrite);
        m_opening = false;
        if (!opened) {
            // Ends on the next turn of the event loop, as a meter that does not answer would.
            QTimer::singleShot(0, this, &SerialMeter::handshakeFailed);
            return;
        }
        m_port.clear();
    }
    const auto onFail = [this] { handshakeFailed(); };
    queue(Command::Identify, true, {}, [this](const MeterLine& line) {
        if (line.kind != MeterLine::Values || line.fields.size() < 4) return false;
        m_serialNumber = line.fields.at(2);
        m_version = line.fields.at(3);
        return true;
    }, onFail, kIdentifyTries);
    queue(Command::Status, true, {}, [this](const MeterLine& line) {
        const auto status = line.kind == MeterLine::Values ? ParseStatus(line.fields) : std::nullopt;
        if (status) m_status = *status;
        return status.has_value();
    }, onFail);
    queue(Command::Authority, true, {}, [this](const MeterLine& line) {
        return line.kind == MeterLine::Values && TakeWhole(line.fields.value(0), m_authority);
    }, onFail);
    queueSettingsQueries(onFail);
    queue(Command::Status, true, {}, [this](const MeterLine& line) {
        const auto status = line.kind == MeterLine::Values ? ParseStatus(line.fields) : std::nullopt;
        if (!status) return false;
        m_status = *status;
        m_link = Link::Linked;
        m_retrying = false;
        m_failuresInARow = 0;
        m_retryTimer.stop();
        m_pollTimer.start();
        raise(Event::LinkChanged);
        return true;
    }, onFail);
}

// Asks the meter for every setting it keeps; the answers replace what the control holds.
void SerialMeter::queueSettingsQueries(std::function<void()> onFail)
{
    const auto whole16 = [this](Command c, int16_t* into) {
        return std::make_pair(c, std::function<bool(const QString&)>([into](const QString& f) { return TakeWhole(f, *into); }));
    };
    const std::pair<Command, std::function<bool(const QString&)>> settings[] = {
        whole16(Command::Center, &m_center),
        whole16(Command::DutyCycle, &m_dutyCycle),
        whole16(Command::RefCenter, &m_refCenter),
        whole16(Command::RefDutyCycle, &m_refDutyCycle),
        whole16(Command::Intensity, &m_intensity),
        whole16(Command::CalIndex, &m_calIndex),
        {Command::BlackLevel, [this](const QString& f) { return TakeWhole(f, m_blackLevel); }},
        {Command::Deg2Distortion, [this](const QString& f) { return TakeReal(f, m_deg2Distortion); }},
        {Command::DOIDistortion, [this](const QString& f) { return TakeReal(f, m_doiDistortion); }},
        {Command::KeepAlive, [this](const QString& f) {
             int16_t v = 0;
             if (!TakeWhole(f, v) || v < 0 || v > 1) return false;
             m_keepAlive = v == 1;
             return true;
         }},
        {Command::SerialNumber, [this](const QString& f) { m_serialNumber = f; return true; }},
    };
    for (const auto& [command, take] : settings) {
        queue(command, true, {}, [take](const MeterLine& line) {
            return line.kind == MeterLine::Values && line.fields.size() == 1 && take(line.fields.first());
        }, onFail);
    }
}

void SerialMeter::handshakeFailed()
{
    if (m_link != Link::Handshake) return;
    m_link = Link::Lost;
    m_queue.clear();
    m_inFlight = false;
    m_replyTimer.stop();
    m_port.close();
    if (!m_retrying) emit MeterEvent(Event::LinkChanged);   // not found
    if (m_wanted) m_retryTimer.start(m_options.retryMs);
}

void SerialMeter::loseLink()
{
    const bool wasLinked = m_link == Link::Linked;
    m_link = Link::Lost;
    m_pollTimer.stop();
    m_replyTimer.stop();
    m_queue.clear();
    m_inFlight = false;
    m_events.clear();
    m_eventWaits = false;
    m_operationSent = false;
    m_authority = 1;
    m_port.close();
    if (wasLinked) emit MeterEvent(Event::LinkChanged);
    if (m_wanted) m_retryTimer.start(m_options.retryMs);
}

// Reopens the port and asks again, quietly: only a link that comes back is reported.
void SerialMeter::retry()
{
    if (!m_wanted || m_link == Link::Linked || m_link == Link::Handshake) return;
    m_retrying = true;
    startHandshake();
}

void SerialMeter::poll()
{
    if (m_link != Link::Linked || m_inFlight || !m_queue.empty() || !m_events.empty() || m_eventWaits) return;
    queue(Command::Status, true, {}, [this](const MeterLine& line) {
        const auto status = line.kind == MeterLine::Values ? ParseStatus(line.fields) : std::nullopt;
        if (!status) return false;
        // Events that came meanwhile are newer than this answer.
        if (!m_events.empty() || m_eventWaits) return true;
        const Status before = m_status;
        m_status = *status;
        if (before.busy && !status->busy) raise(Event::Idle);   // its idle event was lost on the line
        else if (before.state != status->state || before.battery != status->battery || before.busy != status->busy) raise(Event::StateChanged);
        return true;
    }, {}, 1);
}

void SerialMeter::raise(int code)
{
    if (m_link == Link::Linked) emit MeterEvent(code);
}

// ---------------------------------------------------------------------------------------------
// Events, handed on in the order they came

void SerialMeter::takeEvent(const MeterLine& line)
{
    if (m_link != Link::Linked) return;
    m_events.push_back(line);
    runEvents();
}

void SerialMeter::runEvents()
{
    while (!m_eventWaits && !m_events.empty() && m_link == Link::Linked) {
        const MeterLine event = m_events.front();
        m_events.pop_front();
        if (const auto status = ParseStatus(event.fields)) m_status = *status;
        const auto resume = [this] {
            m_eventWaits = false;
            runEvents();
        };
        switch (event.event) {
        case serialmeter::Event::ReadingReady: {
            m_eventWaits = true;
            const int16_t index = m_calIndex;
            queue(Command::FetchReading, true, QByteArray::number(index), [this, index](const MeterLine& line) {
                const QStringList& f = line.fields;
                Fetched r;
                r.calIndex = index;
                const auto valid = WholeField(f.value(0));
                const auto taken = StampField(f.value(1));
                const auto calibrated = StampField(f.value(3));
                if (line.kind != MeterLine::Values || f.size() != 11 || !valid || *valid < 0 || *valid > 1 || !taken ||
                    !calibrated || !TakeReal(f.at(4), r.specularByArea) || !TakeReal(f.at(5), r.specularByEnergy) ||
                    !TakeReal(f.at(6), r.doi) || !TakeReal(f.at(7), r.deg2) || !TakeReal(f.at(8), r.deg15))
                    return false;
                r.have = true;
                r.valid = *valid == 1;
                r.taken = *taken;
                r.calibrated = *calibrated;
                r.standard = f.at(2);
                r.serialNumber = f.at(9);
                r.message = f.at(10);
                m_reading = r;
                m_eventWaits = false;
                raise(Event::ReadingReady);
                runEvents();
                return true;
            }, resume, 0, true);
            return;
        }
        case serialmeter::Event::ScanReady: {
            m_eventWaits = true;
            queue(Command::FetchScan, true, {}, [this](const MeterLine& line) {
                if (line.kind != MeterLine::Values || line.fields.size() != 1 + ScanData::PointCount) return false;
                ScanData scan;
                const auto has = WholeField(line.fields.first());
                if (!has || *has < 0 || *has > 1) return false;
                scan.HasData = *has == 1;
                for (int i = 0; i < ScanData::PointCount; ++i) {
                    double v = 0;
                    if (!TakeReal(line.fields.at(i + 1), v)) return false;
                    scan.SetPoint(i, v);
                }
                m_scan = scan;
                m_eventWaits = false;
                raise(Event::ScanReady);
                runEvents();
                return true;
            }, resume, 0, true);
            return;
        }
        default:
            raise(WordOf(event.event).code);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Operations

bool SerialMeter::readyForOperation() const
{
    return m_link == Link::Linked && m_status.state != State::Off && !m_status.busy && !m_operationSent && m_events.empty() &&
           !m_eventWaits;
}

bool SerialMeter::startOperation(Command command)
{
    if (!readyForOperation()) return false;
    m_operationSent = true;
    // A refusal sends no events: the meter stays as it was.
    queue(command, false, {}, [this](const MeterLine& line) {
        m_operationSent = false;
        return Answered(line);
    }, [this] { m_operationSent = false; });
    return true;
}

bool SerialMeter::TakeReading() { return startOperation(Command::Read); }
bool SerialMeter::Calibrate() { return startOperation(Command::Calibrate); }
bool SerialMeter::AdvancedCorrection() { return startOperation(Command::Correct); }
bool SerialMeter::Normalize() { return startOperation(Command::Normalize); }

bool SerialMeter::Scan(bool start)
{
    if (start) return startOperation(Command::Scan);
    if (m_link != Link::Linked || m_status.state != State::Scanning || !m_status.busy) return false;
    queue(Command::StopScan, false, {}, Answered);
    return true;
}

void SerialMeter::Cancel()
{
    if (m_link == Link::Linked) {
        queue(Command::Cancel, false, {}, Answered);
    } else if (m_wanted && m_link == Link::Lost) {
        m_retryTimer.stop();
        retry();
    }
}

void SerialMeter::TurnOff()
{
    if (m_link == Link::Linked && m_status.state != State::Off) queue(Command::TurnOff, false, {}, Answered);
}

void SerialMeter::UpdateInfo()
{
    if (m_link == Link::Linked) queue(Command::UpdateInfo, false, {}, Answered);
}

void SerialMeter::ClearCalibration()
{
    if (m_link == Link::Linked) queue(Command::ClearCalibration, false, {}, Answered);
}

bool SerialMeter::Unlock(double accessCode)
{
    // The access code is part of the meter control's contract: the control knows it as the
    // application does, and the meter tells the level it grants.
    const bool accepted = accessCode == GlimoraAccessCode() && m_link == Link::Linked;
    if (!accepted) m_authority = 1;
    if (m_link == Link::Linked) {
        queue(Command::Unlock, false, Number(accessCode), [this](const MeterLine& line) {
            return line.kind == MeterLine::Values && TakeWhole(line.fields.value(0), m_authority);
        });
    }
    return accepted;
}

void SerialMeter::GetReading(MeterReading& reading, int16_t calIndex)
{
    const Fetched& r = m_reading;
    reading.SerialNo = r.have ? r.serialNumber : m_serialNumber;
    reading.TimeStamp = r.have ? r.taken : QDateTime::currentDateTime();
    if (!r.have || r.calIndex != calIndex) {
        reading.Valid = false;
        reading.CalTimeStamp = QDateTime();
        reading.SetCalStd(QString());
        reading.SetValues(0, 0, 0, 0);
        reading.SetMessage(r.have ? QStringLiteral("No reading against this calibration standard")
                                  : QStringLiteral("No reading taken"));
        return;
    }
    reading.Valid = r.valid;
    reading.CalTimeStamp = r.calibrated;
    reading.SetCalStd(r.standard);
    reading.SetValues(reading.PixelAvg ? r.specularByArea : r.specularByEnergy, r.doi, r.deg2, r.deg15);
    reading.SetMessage(r.message);
}

// ---------------------------------------------------------------------------------------------
// Settings: kept at once, written to the meter, and read back from it (the meter may refuse or
// cut a value).

void SerialMeter::write(Command command, const QByteArray& value)
{
    if (m_link != Link::Linked) return;
    queue(command, false, value, Answered);
    if (WordOf(command).form == Form::Setting && command != Command::EnableButton && command != Command::ConstDC) {
        queue(command, true, {}, [this, command](const MeterLine& line) {
            if (line.kind != MeterLine::Values || line.fields.size() != 1) return false;
            const QString& f = line.fields.first();
            switch (command) {
            case Command::Center: return TakeWhole(f, m_center);
            case Command::DutyCycle: return TakeWhole(f, m_dutyCycle);
            case Command::RefCenter: return TakeWhole(f, m_refCenter);
            case Command::RefDutyCycle: return TakeWhole(f, m_refDutyCycle);
            case Command::Intensity: return TakeWhole(f, m_intensity);
            case Command::CalIndex: return TakeWhole(f, m_calIndex);
            case Command::BlackLevel: return TakeWhole(f, m_blackLevel);
            case Command::Deg2Distortion: return TakeReal(f, m_deg2Distortion);
            case Command::DOIDistortion: return TakeReal(f, m_doiDistortion);
            case Command::SerialNumber: m_serialNumber = f; return true;
            case Command::KeepAlive: m_keepAlive = f == QLatin1String("1"); return true;
            default: return true;
            }
        });
    }
}

void SerialMeter::SetSerialNumber(const QString& value)
{
    m_serialNumber = value;
    write(Command::SerialNumber, Quote(value));
}

void SerialMeter::SetCalIndex(int16_t value)
{
    m_calIndex = value;
    write(Command::CalIndex, QByteArray::number(value));
}

void SerialMeter::SetKeepAlive(bool value)
{
    m_keepAlive = value;
    write(Command::KeepAlive, value ? "1" : "0");
}

void SerialMeter::SetEnableButton(bool value) { write(Command::EnableButton, value ? "1" : "0"); }
void SerialMeter::SetConstDC(bool value) { write(Command::ConstDC, value ? "1" : "0"); }

void SerialMeter::SetCenter(int16_t value)
{
    m_center = value;
    write(Command::Center, QByteArray::number(value));
}

void SerialMeter::SetDutyCycle(int16_t value)
{
    m_dutyCycle = value;
    write(Command::DutyCycle, QByteArray::number(value));
}

void SerialMeter::SetRefCenter(int16_t value)
{
    m_refCenter = value;
    write(Command::RefCenter, QByteArray::number(value));
}

void SerialMeter::SetRefDutyCycle(int16_t value)
{
    m_refDutyCycle = value;
    write(Command::RefDutyCycle, QByteArray::number(value));
}

void SerialMeter::SetIntensity(int16_t value)
{
    m_intensity = value;
    write(Command::Intensity, QByteArray::number(value));
}

void SerialMeter::SetBlackLevel(int32_t value)
{
    m_blackLevel = value;
    write(Command::BlackLevel, QByteArray::number(value));
}

void SerialMeter::SetDeg2Distortion(double value)
{
    m_deg2Distortion = value;
    write(Command::Deg2Distortion, Number(value));
}

void SerialMeter::SetDOIDistortion(double value)
{
    m_doiDistortion = value;
    write(Command::DOIDistortion, Number(value));
}
