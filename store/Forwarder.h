#pragma once
// Feeds the lab database from the local store's outbox, on a thread of its own: the oldest
// unsent records in batches, each batch in one server transaction (INSERT ... ON CONFLICT (id)
// DO NOTHING, so a batch sent twice is kept once), the outbox rows deleted only after the
// server's commit. A server that is away is a normal state: the forwarder waits (2 s, doubling
// up to a minute) and tries again. It creates and migrates the server's schema and refuses a
// schema newer than it knows.
#include <QObject>
#include <QString>

class QTimer;

namespace store {

class Forwarder : public QObject {
    Q_OBJECT
public:
    // Records per server transaction.
    static constexpr int BatchSize = 500;

    Forwarder(const QString& localPath, const QString& connectionString, QObject* parent = nullptr);
    ~Forwarder() override;

    // Run in the forwarder's thread (queued): Start opens its connections and begins; Wake looks
    // at the outbox now (a record was committed); Stop closes the connections.
    void Start();
    void Wake();
    void Stop();

signals:
    // After every attempt: the records still waiting, and what keeps them (empty when nothing does).
    void StateChanged(int unsent, const QString& problem);

private:
    void Cycle();
    // Sends one batch; -1 on a failure (problem set), else the records sent.
    int SendBatch(QString& problem);
    bool OpenServer(QString& problem);
    void CloseServer();
    int Unsent();

    QString m_localPath, m_connectionString;
    QString m_local, m_server;  // connection names, empty while closed
    QTimer* m_timer = nullptr;
    int m_backoffMs = 0;
    bool m_stopped = false;
};

}  // namespace store
