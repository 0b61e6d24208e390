#include "metercontrols/serial/CommandChannel.h"

#include "metercontrols/serial/LinePort.h"

using namespace serialmeter;

namespace {
constexpr int kFailuresToGiveUp = 3;
}

CommandChannel::CommandChannel(LinePort& port, int allowanceMs, QObject* parent)
    : QObject(parent)
    , m_port(port)
    , m_allowanceMs(allowanceMs)
{
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        if (m_inFlight) failCurrent();
    });
    connect(&m_port, &LinePort::LineReceived, this, &CommandChannel::onLine);
}

void CommandChannel::Queue(Command command, bool query, const QByteArray& arguments, Reply onReply,
                           std::function<void()> onFail, int tries, bool first)
{
    Pending p;
    p.text = CommandText(command, query, arguments);
    p.command = command;
    p.query = query;
    p.triesLeft = tries > 0 ? tries : query ? 2 : 1;  // an action is never sent twice
    p.onReply = std::move(onReply);
    p.onFail = std::move(onFail);
    if (first) m_queue.push_front(std::move(p));
    else m_queue.push_back(std::move(p));
    sendNext();
}

void CommandChannel::Clear()
{
    m_queue.clear();
    m_inFlight = false;
    m_limit.stop();
    m_failuresInARow = 0;
}

void CommandChannel::sendNext()
{
    if (m_inFlight || m_queue.empty() || !m_port.IsOpen()) return;
    m_current = std::move(m_queue.front());
    m_queue.pop_front();
    m_inFlight = true;
    QByteArray bytes = Frame(m_current.text);
    if (m_current.command == Command::Protocol) bytes.prepend(Frame(m_current.text, 1));
    m_limit.start(ReplyLimitMs(bytes, m_current.command, m_port.BaudRate(), m_allowanceMs));
    m_port.Write(bytes);
}

void CommandChannel::onLine(const QByteArray& received)
{
    // A damaged line is dropped; the time limit of the command in flight covers a lost answer.
    auto text = Unframe(received);
    std::optional<MeterLine> line;
    if (text) {
        line = ParseMeterLine(*text);
    } else if (m_inFlight && m_current.command == Command::Protocol && Unframe(received, 1)) {
        // Any answer in the old frame to the version query: a meter of version 1.
        line = MeterLine{MeterLine::Values, Command::Protocol, true, {}, 0, {QStringLiteral("1")}};
    }
    if (!line) return;  // an event of an unknown kind, or an answer to no command of the set
    if (line->kind == MeterLine::Event) {
        emit EventReceived(*line);
        return;
    }
    // An answer to an earlier command that came after its time limit is not this command's.
    if (!m_inFlight || line->command != m_current.command || line->query != m_current.query) return;
    m_limit.stop();
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

// The command in flight went unanswered or was answered with nonsense.
void CommandChannel::failCurrent()
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
    if (m_failuresInARow >= kFailuresToGiveUp) {
        m_failuresInARow = 0;
        emit Failing();
        return;
    }
    sendNext();
}
