#include "store/Forwarder.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <atomic>

#include "store/LabConnection.h"
#include "store/LocalStore.h"
#include "store/Migrations.h"
#include "store/Records.h"

namespace store {
namespace {

constexpr int kFirstBackoffMs = 2000, kLastBackoffMs = 60000;
constexpr int kIdlePollMs = 10000;  // a look at the outbox now and then, beside the wake-ups
constexpr int kRowsPerStatement = 100;

// INSERT INTO table (columns) VALUES (?, ...), (?, ...) ... ON CONFLICT (id) DO NOTHING for rows rows.
QString MultiInsert(const QString& table, const QString& columns, int perRow, int rows)
{
    QStringList values;
    const QString one = QLatin1Char('(') + Placeholders(perRow) + QLatin1Char(')');
    for (int i = 0; i < rows; ++i) values << one;
    return QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + columns + QStringLiteral(") VALUES ")
        + values.join(QStringLiteral(", ")) + QStringLiteral(" ON CONFLICT (id) DO NOTHING");
}

// Reads the batch's records of one kind from the local table, in outbox order, with one query,
// and sends them kRowsPerStatement per statement. The statement for a full chunk is prepared
// once per server connection and kept in full; only a shorter last chunk is prepared on the spot.
template <typename Record>
bool Send(QSqlDatabase& local, QSqlDatabase& server, const QString& kind, const QString& table,
          const std::vector<Column<Record>>& columns, qint64 firstSeq, qint64 lastSeq, QSqlQuery& full,
          QString& problem)
{
    const QString names = ColumnNames(columns);
    QSqlQuery read(local);
    read.setForwardOnly(true);
    read.prepare(
        QStringLiteral("SELECT ") + names + QStringLiteral(" FROM outbox JOIN ") + table + QStringLiteral(" ON ")
        + table
        + QStringLiteral(
            ".id = outbox.record_id WHERE outbox.kind = ? AND outbox.seq BETWEEN ? AND ? ORDER BY outbox.seq"));
    read.addBindValue(kind);
    read.addBindValue(firstSeq);
    read.addBindValue(lastSeq);
    if (!read.exec()) {
        problem = QStringLiteral("The local store cannot be read: ") + read.lastError().text();
        return false;
    }
    // Records gone from the local table have nothing to send.
    const std::vector<Record> records = RecordsOf(read, columns);
    const int perRow = int(columns.size());
    for (std::size_t at = 0; at < records.size(); at += kRowsPerStatement) {
        const int rows = int(std::min<std::size_t>(kRowsPerStatement, records.size() - at));
        QSqlQuery partial(server);
        QSqlQuery* insert = &partial;
        if (rows == kRowsPerStatement) {
            if (full.lastQuery().isEmpty()) {
                full = QSqlQuery(server);
                if (!full.prepare(MultiInsert(table, names, perRow, rows))) {
                    problem =
                        QStringLiteral("The lab database refused the records: ") + full.lastError().text().trimmed();
                    full = QSqlQuery();
                    return false;
                }
            }
            insert = &full;
        } else {
            partial.prepare(MultiInsert(table, names, perRow, rows));
        }
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < perRow; ++c)
                insert->bindValue(r * perRow + c, columns[std::size_t(c)].get(records[at + std::size_t(r)]));
        if (!insert->exec()) {
            problem = QStringLiteral("The lab database refused the records: ") + insert->lastError().text().trimmed();
            return false;
        }
    }
    return true;
}

QString NextName(const char* what)
{
    static std::atomic<int> counter{0};
    return QStringLiteral("store-forwarder-%1-%2").arg(QLatin1String(what)).arg(++counter);
}

}  // namespace

Forwarder::Forwarder(const QString& localPath, const QString& connectionString, QObject* parent)
    : QObject(parent)
    , m_localPath(localPath)
    , m_connectionString(connectionString)
{}

Forwarder::~Forwarder()
{
    Stop();
}

void Forwarder::Start()
{
    m_stopped = false;
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, &Forwarder::Cycle);
    }
    Cycle();
}

void Forwarder::Wake()
{
    // While the server is away the back-off decides; otherwise look now.
    if (!m_stopped && m_timer && m_backoffMs == 0) m_timer->start(0);
}

void Forwarder::Stop()
{
    m_stopped = true;
    if (m_timer) m_timer->stop();
    CloseServer();
    if (!m_local.isEmpty()) {
        QSqlDatabase::database(m_local, false).close();
        QSqlDatabase::removeDatabase(m_local);
        m_local.clear();
    }
}

void Forwarder::CloseServer()
{
    if (m_server.isEmpty()) return;
    m_insertReadings = QSqlQuery();
    m_insertScans = QSqlQuery();
    QSqlDatabase::database(m_server, false).close();
    QSqlDatabase::removeDatabase(m_server);
    m_server.clear();
}

bool Forwarder::OpenServer(QString& problem)
{
    if (!m_server.isEmpty()) return true;
    const QString name = OpenLabConnection(m_connectionString, NextName("server"), &problem);
    if (name.isEmpty()) return false;
    m_server = name;
    MigrationResult migrated;
    {
        QSqlDatabase db = QSqlDatabase::database(m_server, false);
        migrated = MigrateServer(db, ServerSteps());
    }
    if (migrated.ok) return true;
    problem = migrated.problem.contains(QLatin1String("newer"))
        ? QStringLiteral("The lab database is not used: ") + migrated.problem
            + QStringLiteral(". The history stays on this station.")
        : QStringLiteral("The lab database's schema cannot be set up: ") + migrated.problem;
    CloseServer();
    return false;
}

int Forwarder::Unsent()
{
    if (m_local.isEmpty()) return -1;
    QSqlQuery q(QSqlDatabase::database(m_local, false));
    return q.exec(QStringLiteral("SELECT count(*) FROM outbox")) && q.next() ? q.value(0).toInt() : -1;
}

int Forwarder::SendBatch(QString& problem)
{
    QSqlDatabase local = QSqlDatabase::database(m_local, false);
    QSqlDatabase server = QSqlDatabase::database(m_server, false);
    std::vector<qint64> batch;
    {
        QSqlQuery q(local);
        q.prepare(QStringLiteral("SELECT seq FROM outbox ORDER BY seq LIMIT ?"));
        q.addBindValue(BatchSize);
        if (!q.exec()) {
            problem = QStringLiteral("The local store's outbox cannot be read: ") + q.lastError().text();
            return -1;
        }
        while (q.next()) batch.push_back(q.value(0).toLongLong());
    }
    if (batch.empty()) return 0;
    if (!server.transaction()) {
        problem = QStringLiteral("The lab database cannot be reached: ") + server.lastError().text().trimmed();
        return -1;
    }
    const qint64 first = batch.front(), last = batch.back();
    if (!Send(local, server, QStringLiteral("reading"), QStringLiteral("readings"), ReadingColumns(), first, last,
              m_insertReadings, problem)
        || !Send(local, server, QStringLiteral("scan"), QStringLiteral("scans"), ScanColumns(), first, last,
                 m_insertScans, problem)) {
        server.rollback();
        return -1;
    }
    if (!server.commit()) {
        problem = QStringLiteral("The lab database did not commit the records: ") + server.lastError().text().trimmed();
        return -1;
    }
    // Only now are they the server's: the outbox lets them go (a failure here sends them again,
    // which the server ignores).
    QSqlQuery done(local);
    done.prepare(QStringLiteral("DELETE FROM outbox WHERE seq <= ?"));
    done.addBindValue(last);
    if (!done.exec()) {
        problem = QStringLiteral("The local store's outbox cannot be written: ") + done.lastError().text();
        return -1;
    }
    return int(batch.size());
}

void Forwarder::Cycle()
{
    if (m_stopped) return;
    QString problem;
    int sent = 0;
    if (m_local.isEmpty()) m_local = LocalStore::OpenConnection(m_localPath, NextName("local"), 5000, &problem);
    if (!m_local.isEmpty() && OpenServer(problem)) {
        sent = SendBatch(problem);
        if (sent < 0) CloseServer();
    }
    if (problem.isEmpty()) {
        m_backoffMs = 0;
        // A full batch: more are waiting, at once.
        m_timer->start(sent == BatchSize ? 0 : kIdlePollMs);
    } else {
        m_backoffMs = m_backoffMs == 0 ? kFirstBackoffMs : std::min(m_backoffMs * 2, kLastBackoffMs);
        m_timer->start(m_backoffMs);
    }
    emit StateChanged(Unsent(), problem);
}

}  // namespace store
