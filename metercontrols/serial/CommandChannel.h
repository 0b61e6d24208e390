#pragma once
// The command channel to the meter: every command framed and sent one at a time, its answer
// matched to it by its word, a time limit that grows with the answer's length and shrinks with
// the baud rate, queries asked again once, and the meter's events handed on as they come.
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

#include "metercontrols/serial/SerialProtocol.h"

class LinePort;

class CommandChannel : public QObject {
    Q_OBJECT
public:
    // false: not a usable answer (the command counts as failed).
    using Reply = std::function<bool(const serialmeter::MeterLine&)>;

    // allowanceMs: what the meter may take to start answering, on top of the time on the line.
    CommandChannel(LinePort& port, int allowanceMs, QObject* parent = nullptr);

    // tries 0: a query is asked twice, an action once; first: ahead of everything queued. The
    // version query goes out in the old frame as well, so that a meter of version 1 answers it.
    void Queue(serialmeter::Command command, bool query, const QByteArray& arguments, Reply onReply,
               std::function<void()> onFail = {}, int tries = 0, bool first = false);
    // Forgets the command in flight and everything queued.
    void Clear();
    bool Idle() const { return !m_inFlight && m_queue.empty(); }
    // Sends what is queued (after the port was opened again).
    void Resume() { sendNext(); }

signals:
    void EventReceived(const serialmeter::MeterLine& event);
    // Three commands in a row went unanswered or were answered with nonsense.
    void Failing();

private:
    struct Pending {
        QByteArray text;
        serialmeter::Command command = serialmeter::Command::Identify;
        bool query = false;
        int triesLeft = 1;
        Reply onReply;
        std::function<void()> onFail;
    };

    void sendNext();
    void onLine(const QByteArray& received);
    void failCurrent();

    LinePort& m_port;
    int m_allowanceMs;
    std::deque<Pending> m_queue;
    Pending m_current;
    bool m_inFlight = false;
    int m_failuresInARow = 0;
    QTimer m_limit;
};
