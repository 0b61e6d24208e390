#include "metercontrols/serial/SerialMeter.h"

#include <limits>

#include "vantrel/AccessCode.h"

using namespace serialmeter;

namespace {

constexpr int kProtocolTries = 3;

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

std::optional<Status> StatusOf(const MeterLine& line)
{
    return line.kind == MeterLine::Values ? ParseStatus(line.fields) : std::nullopt;
}

}  // namespace

SerialMeter::SerialMeter(const SerialMeterOptions& options, QObject* parent)
    : VantrelCntl(parent)
    , m_options(options)
    , m_port(options.port, options.baudRate, options.retryMs)
    , m_channel(m_port, options.replyTimeoutMs)
{
    m_pollTimer.setInterval(m_options.pollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &SerialMeter::poll);
    connect(&m_port, &LinePort::RetryDue, this, &SerialMeter::retry);
    connect(&m_port, &LinePort::Lost, this, [this] {
        if (m_link == Link::Handshake)
            handshakeFailed(QStringLiteral("The meter on %1 went away.").arg(m_options.port));
        else if (m_link == Link::Linked) loseLink();
    });
    connect(&m_channel, &CommandChannel::EventReceived, this, &SerialMeter::takeEvent);
    connect(&m_channel, &CommandChannel::Failing, this, [this] {
        if (m_link == Link::Linked) loseLink();
    });
}

SerialMeter::~SerialMeter()
{
    // No event leaves a control that is going away.
    blockSignals(true);
    m_port.Close();
}

// ---------------------------------------------------------------------------------------------
// Link

void SerialMeter::SetConnected(bool value)
{
    if (value) {
        m_wanted = true;
        if (m_link == Link::Linked || m_link == Link::Handshake) return;
        m_port.StopRetrying();
        m_retrying = false;
        startHandshake();
        return;
    }
    m_wanted = false;
    m_port.StopRetrying();
    m_pollTimer.stop();
    m_channel.Clear();
    m_events.clear();
    m_eventWaits = false;
    m_operationSent = false;
    m_authority = 1;
    m_link = Link::Closed;
    m_port.Close();
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
    m_channel.Clear();
    m_events.clear();
    m_eventWaits = false;
    m_operationSent = false;
    if (!m_port.Open()) {
        // Ends on the next turn of the event loop, as a meter that does not answer would.
        QTimer::singleShot(0, this, [this, problem = m_port.Problem()] { handshakeFailed(problem); });
        return;
    }
    const auto noAnswer = [this] { handshakeFailed(QStringLiteral("No meter answers on %1.").arg(m_options.port)); };
    // First the version of the command set: a meter that speaks another is not linked.
    m_channel.Queue(
        Command::Protocol, true, {},
        [this](const MeterLine& line) {
            const auto version = line.kind == MeterLine::Values ? WholeField(line.fields.value(0)) : std::nullopt;
            if (!version) return false;
            if (*version != kProtocolVersion)
                handshakeFailed(
                    QStringLiteral(
                        "The meter on %1 speaks version %2 of the serial command set; this program speaks version %3.")
                        .arg(m_options.port)
                        .arg(*version)
                        .arg(kProtocolVersion));
            return true;
        },
        noAnswer, kProtocolTries);
    m_channel.Queue(
        Command::Identify, true, {},
        [this](const MeterLine& line) {
            if (line.kind != MeterLine::Values || line.fields.size() < 4) return false;
            m_values.serialNumber = line.fields.at(2);
            m_version = line.fields.at(3);
            return true;
        },
        noAnswer);
    m_channel.Queue(
        Command::Status, true, {},
        [this](const MeterLine& line) {
            const auto status = StatusOf(line);
            if (status) m_status = *status;
            return status.has_value();
        },
        noAnswer);
    m_channel.Queue(
        Command::Authority, true, {},
        [this](const MeterLine& line) {
            return line.kind == MeterLine::Values && TakeWhole(line.fields.value(0), m_authority);
        },
        noAnswer);
    for (const Setting& s : Settings()) {
        if (!s.readBack) continue;
        m_channel.Queue(
            s.command, true, {},
            [this, &s](const MeterLine& line) {
                return line.kind == MeterLine::Values && line.fields.size() == 1
                    && TakeSetting(m_values, s, line.fields.first());
            },
            noAnswer);
    }
    // The number of the meter's latest reading: a reading taken before this link is not handed on.
    m_channel.Queue(
        Command::FetchReading, true, "0",
        [this](const MeterLine& line) {
            return line.kind == MeterLine::Values && TakeWhole(line.fields.value(0), m_lastReading);
        },
        noAnswer);
    m_channel.Queue(
        Command::Status, true, {},
        [this](const MeterLine& line) {
            const auto status = StatusOf(line);
            if (!status) return false;
            m_status = *status;
            m_lastEvent = status->event;
            m_link = Link::Linked;
            m_retrying = false;
            m_problem.clear();
            m_port.StopRetrying();
            m_pollTimer.start();
            raise(Event::LinkChanged);
            // A meter found at work: whoever listens learns it, as from the start of the work.
            if (m_status.busy) raise(Event::Busy);
            return true;
        },
        noAnswer);
}

void SerialMeter::handshakeFailed(const QString& problem)
{
    if (m_link != Link::Handshake) return;
    m_problem = problem;
    m_link = Link::Lost;
    m_channel.Clear();
    m_port.Close();
    if (!m_retrying) emit MeterEvent(Event::LinkChanged);  // not found
    if (m_wanted) m_port.RetryLater();
}

void SerialMeter::loseLink()
{
    const bool wasLinked = m_link == Link::Linked;
    m_link = Link::Lost;
    m_pollTimer.stop();
    m_channel.Clear();
    m_events.clear();
    m_eventWaits = false;
    m_operationSent = false;
    m_authority = 1;
    m_port.Close();
    if (wasLinked) emit MeterEvent(Event::LinkChanged);
    if (m_wanted) m_port.RetryLater();
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
    if (m_link != Link::Linked || !m_channel.Idle() || !m_events.empty() || m_eventWaits) return;
    m_channel.Queue(
        Command::Status, true, {},
        [this](const MeterLine& line) {
            const auto status = StatusOf(line);
            if (!status) return false;
            // Events that came meanwhile are newer than this answer.
            if (!m_events.empty() || m_eventWaits) return true;
            // Events lost on the line: a reading among them is looked for before the status counts.
            if (status->event != m_lastEvent) {
                m_lastEvent = status->event;
                m_events.push_back({Pending::LookForReading, {}, {}});
            }
            m_events.push_back({Pending::PolledStatus, {}, *status});
            runEvents();
            return true;
        },
        {}, 1);
}

void SerialMeter::raise(int code)
{
    if (m_link == Link::Linked) emit MeterEvent(code);
}

// ---------------------------------------------------------------------------------------------
// Events, handed on in the order they came

void SerialMeter::takeEvent(const MeterLine& line)
{
    const auto status = ParseStatus(line.fields);
    if (m_link != Link::Linked || !status) return;
    // A gap in the numbers: events were lost. A reading announced by one of them is looked for,
    // unless this event announces the latest reading itself.
    if (status->event != m_lastEvent + 1 && line.event != serialmeter::Event::ReadingReady)
        m_events.push_back({Pending::LookForReading, {}, {}});
    m_lastEvent = status->event;
    m_events.push_back({Pending::Event, line, *status});
    runEvents();
}

void SerialMeter::runEvents()
{
    while (!m_eventWaits && !m_events.empty() && m_link == Link::Linked) {
        const Pending item = m_events.front();
        m_events.pop_front();
        if (item.kind == Pending::LookForReading) {
            m_eventWaits = true;
            fetchReading(false);
            return;
        }
        const Status before = m_status;
        m_status = item.status;
        if (item.kind == Pending::PolledStatus) {
            if (before.busy && !m_status.busy) raise(Event::Idle);  // its idle event was lost on the line
            else if (before.state != m_status.state || before.battery != m_status.battery
                     || before.busy != m_status.busy)
                raise(Event::StateChanged);
            continue;
        }
        switch (item.line.event) {
        case serialmeter::Event::ReadingReady:
            m_eventWaits = true;
            fetchReading(true);
            return;
        case serialmeter::Event::ScanReady: {
            m_eventWaits = true;
            const auto resume = [this] {
                m_eventWaits = false;
                runEvents();
            };
            m_channel.Queue(
                Command::FetchScan, true, {},
                [this](const MeterLine& line) {
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
                },
                resume, 0, true);
            return;
        }
        default: raise(WordOf(item.line.event).code);
        }
    }
}

// Fetches the meter's latest reading: announced by its event, or looked for after lost events.
void SerialMeter::fetchReading(bool announced)
{
    const auto resume = [this] {
        m_eventWaits = false;
        runEvents();
    };
    m_channel.Queue(
        Command::FetchReading, true, QByteArray::number(m_values.calIndex),
        [this, resume](const MeterLine& line) {
            if (!takeReading(line)) return false;
            resume();
            return true;
        },
        [this, announced, resume] {
            if (announced) readingLost();
            resume();
        },
        0, true);
}

bool SerialMeter::takeReading(const MeterLine& line)
{
    const QStringList& f = line.fields;
    Fetched r;
    r.calIndex = m_values.calIndex;
    qint64 number = 0;
    const auto valid = WholeField(f.value(1));
    const auto taken = StampField(f.value(2));
    const auto calibrated = StampField(f.value(4));
    if (line.kind != MeterLine::Values || f.size() != 12 || !TakeWhole(f.at(0), number) || number < 0 || !valid
        || *valid < 0 || *valid > 1 || !taken || !calibrated || !TakeReal(f.at(5), r.specularByArea)
        || !TakeReal(f.at(6), r.specularByEnergy) || !TakeReal(f.at(7), r.doi) || !TakeReal(f.at(8), r.deg2)
        || !TakeReal(f.at(9), r.deg15))
        return false;
    // Already handed on, or nothing new behind the lost events.
    if (number == m_lastReading) return true;
    // Readings in between were taken over by this one before they could be fetched.
    if (number > m_lastReading + 1) readingLost();
    m_lastReading = number;
    r.have = true;
    r.valid = *valid == 1;
    r.taken = *taken;
    r.calibrated = *calibrated;
    r.standard = f.at(3);
    r.serialNumber = f.at(10);
    r.message = f.at(11);
    m_reading = r;
    raise(Event::ReadingReady);
    return true;
}

// A reading the meter took but the line lost: handed on as an invalid reading that says so.
void SerialMeter::readingLost()
{
    Fetched r;
    r.have = true;
    r.calIndex = m_values.calIndex;
    r.taken = QDateTime::currentDateTime();
    r.serialNumber = m_values.serialNumber;
    r.message = QStringLiteral("Reading lost on the line");
    m_reading = r;
    raise(Event::ReadingReady);
}

// ---------------------------------------------------------------------------------------------
// Operations

bool SerialMeter::readyForOperation() const
{
    return m_link == Link::Linked && m_status.state != VantrelCntl::State::Off && !m_status.busy && !m_operationSent
        && m_events.empty() && !m_eventWaits;
}

bool SerialMeter::startOperation(Command command)
{
    if (!readyForOperation()) return false;
    m_operationSent = true;
    // A refusal sends no events; it sounds the warning, as a refusal at once would.
    m_channel.Queue(
        command, false, {},
        [this](const MeterLine& line) {
            m_operationSent = false;
            if (line.kind == MeterLine::Error) raise(Event::Warning);
            return Answered(line);
        },
        [this] { m_operationSent = false; });
    return true;
}

bool SerialMeter::TakeReading()
{
    return startOperation(Command::Read);
}
bool SerialMeter::Calibrate()
{
    return startOperation(Command::Calibrate);
}
bool SerialMeter::AdvancedCorrection()
{
    return startOperation(Command::Correct);
}
bool SerialMeter::Normalize()
{
    return startOperation(Command::Normalize);
}

bool SerialMeter::Scan(bool start)
{
    if (start) return startOperation(Command::Scan);
    if (m_link != Link::Linked || m_status.state != VantrelCntl::State::Scanning || !m_status.busy) return false;
    m_channel.Queue(Command::StopScan, false, {}, Answered);
    return true;
}

void SerialMeter::Cancel()
{
    if (m_link == Link::Linked) {
        m_channel.Queue(Command::Cancel, false, {}, Answered);
    } else if (m_wanted && m_link == Link::Lost) {
        m_port.StopRetrying();
        retry();
    }
}

void SerialMeter::TurnOff()
{
    if (m_link == Link::Linked && m_status.state != VantrelCntl::State::Off)
        m_channel.Queue(Command::TurnOff, false, {}, Answered);
}

void SerialMeter::UpdateInfo()
{
    if (m_link == Link::Linked) m_channel.Queue(Command::UpdateInfo, false, {}, Answered);
}

void SerialMeter::ClearCalibration()
{
    if (m_link == Link::Linked) m_channel.Queue(Command::ClearCalibration, false, {}, Answered);
}

bool SerialMeter::Unlock(double accessCode)
{
    // The access code is part of the meter control's contract: the control knows it as the
    // application does, and the meter tells the level it grants.
    const bool accepted = accessCode == GlimoraAccessCode() && m_link == Link::Linked;
    if (!accepted) m_authority = 1;
    if (m_link == Link::Linked) {
        m_channel.Queue(Command::Unlock, false, Number(accessCode), [this](const MeterLine& line) {
            return line.kind == MeterLine::Values && TakeWhole(line.fields.value(0), m_authority);
        });
    }
    return accepted;
}

void SerialMeter::GetReading(MeterReading& reading, int16_t calIndex)
{
    const Fetched& r = m_reading;
    reading.SerialNo = r.have ? r.serialNumber : m_values.serialNumber;
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

// A setting is kept at once, written to the meter, and read back from it (the meter may refuse
// or cut a value); one written while unlinked is handed over at the next link by its owner.
void SerialMeter::sendSetting(Command command)
{
    const Setting* s = SettingOf(command);
    if (m_link != Link::Linked || !s) return;
    m_channel.Queue(command, false, SettingText(m_values, *s), Answered);
    if (!s->readBack) return;
    m_channel.Queue(command, true, {}, [this, s](const MeterLine& line) {
        return line.kind == MeterLine::Values && line.fields.size() == 1
            && TakeSetting(m_values, *s, line.fields.first());
    });
}
