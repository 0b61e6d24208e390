#include "store/LocalStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <atomic>
#include <fcntl.h>
#include <unistd.h>

#include "store/Migrations.h"

namespace store {
namespace {

constexpr int kWriterBusyMs = 200;  // the window waits no longer for a file someone else holds
constexpr int kRetryMs = 5000;

QString NextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("store-writer-%1").arg(++counter);
}

// The first of path + suffix, path + suffix + ".1", ".2", ... that names no file yet: where a file
// the store cannot use is kept whole.
QString AsideName(const QString& path, const QString& suffix)
{
    QString aside = path + suffix;
    for (int n = 1; QFileInfo::exists(aside); ++n) aside = path + suffix + QStringLiteral(".%1").arg(n);
    return aside;
}

// SQLite's own codes for a file that is no database or is damaged inside.
bool Damaged(const QSqlError& e)
{
    const QString code = e.nativeErrorCode();
    return code == QLatin1String("26") || code == QLatin1String("11")
        || e.text().contains(QLatin1String("not a database")) || e.text().contains(QLatin1String("malformed"));
}

template <typename Record>
bool Insert(QSqlDatabase& db, const QString& table, const std::vector<Column<Record>>& columns, const Record& r,
            QSqlError& error)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + ColumnNames(columns)
              + QStringLiteral(") VALUES (") + Placeholders(int(columns.size())) + QStringLiteral(")"));
    for (const auto& c : columns) q.addBindValue(c.get(r));
    if (q.exec()) return true;
    error = q.lastError();
    return false;
}

}  // namespace

QString LocalStore::DefaultPath()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Glimora/measurements.sqlite");
}

QString LocalStore::OpenConnection(const QString& path, const QString& name, int busyTimeoutMs, QString* problem)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    QString why;
    if (!db.open()) {
        why = db.lastError().text();
    } else {
        QSqlQuery q(db);
        // Set once per connection; none of these takes a bound value.
        for (const QString& pragma :
             {QStringLiteral("PRAGMA busy_timeout = %1").arg(busyTimeoutMs),
              QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("PRAGMA synchronous = FULL"),
              QStringLiteral("PRAGMA foreign_keys = ON")}) {
            if (!q.exec(pragma)) {
                why = q.lastError().text();
                break;
            }
            if (pragma.contains(QLatin1String("journal_mode")) && q.next()
                && q.value(0).toString() != QLatin1String("wal")) {
                why = QStringLiteral("the file cannot be switched to write-ahead logging");
                break;
            }
        }
    }
    if (why.isEmpty()) return name;
    if (problem) *problem = why;
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
    return {};
}

LocalStore::LocalStore(const QString& path, QObject* parent)
    : QObject(parent)
    , m_path(path)
{
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &LocalStore::Flush);
    TakeSpilled();
}

LocalStore::~LocalStore()
{
    if (!Flush()) Spill();
    Close();
}

QString LocalStore::SpillPath() const
{
    return m_path + QStringLiteral(".waiting");
}

namespace {

template <typename Record>
QJsonObject ToJson(const char* table, const Record& record, const std::vector<Column<Record>>& columns)
{
    QJsonObject values;
    for (const auto& c : columns) values.insert(c.name, QJsonValue::fromVariant(c.get(record)));
    return {{QStringLiteral("table"), QLatin1String(table)}, {QStringLiteral("values"), values}};
}

template <typename Record>
Record FromJson(const QJsonObject& values, const std::vector<Column<Record>>& columns)
{
    Record record;
    for (const auto& c : columns)
        if (values.contains(c.name)) c.set(record, values.value(c.name).toVariant());
    return record;
}

}  // namespace

// Records the file would not take by the time the program ends are kept beside it, in a file
// readable by the owner only, and taken back first at the next start. Nothing is said: the
// operator was told when the store failed, and the readings are in the list's data file too.
void LocalStore::Spill()
{
    QJsonArray records;
    for (const Pending& p : m_waiting)
        records.append(std::holds_alternative<ReadingRecord>(p)
                           ? ToJson("readings", std::get<ReadingRecord>(p), ReadingColumns())
                           : ToJson("scans", std::get<ScanRecord>(p), ScanColumns()));
    QSaveFile file(SpillPath());
    if (!file.open(QIODevice::WriteOnly)) return;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(QJsonDocument(records).toJson(QJsonDocument::Compact));
    file.commit();
}

void LocalStore::TakeSpilled()
{
    QFile file(SpillPath());
    if (!file.open(QIODevice::ReadOnly)) return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        // Never removed unread: kept whole beside the store for whoever can make sense of it.
        const QString aside = AsideName(SpillPath(), QStringLiteral(".unreadable"));
        QFile::rename(SpillPath(), aside);
        m_notices << QStringLiteral("The readings kept from the last run in %1 cannot be read (%2). The file was kept as %3.")
                         .arg(QDir::toNativeSeparators(SpillPath()),
                              document.isNull() ? error.errorString() : QStringLiteral("not a list of records"),
                              QDir::toNativeSeparators(aside));
        return;
    }
    const QJsonArray records = document.array();
    for (const QJsonValue& r : records) {
        const QJsonObject values = r.toObject().value(QStringLiteral("values")).toObject();
        if (r.toObject().value(QStringLiteral("table")).toString() == QLatin1String("scans"))
            m_waiting.emplace_back(FromJson(values, ScanColumns()));
        else m_waiting.emplace_back(FromJson(values, ReadingColumns()));
    }
    m_spillTaken = true;
}

QSqlDatabase LocalStore::Database()
{
    return Open() ? QSqlDatabase::database(m_connection, false) : QSqlDatabase();
}

void LocalStore::Close()
{
    if (m_connection.isEmpty()) return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_connection.clear();
    m_open = false;
}

bool LocalStore::Open()
{
    if (m_open) return true;
    if (!OpenFile()) return false;
    Flush();
    return m_open;
}

bool LocalStore::OpenFile()
{
    if (m_open) return true;
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath()))
        return Failed(QStringLiteral("the folder %1 cannot be created").arg(info.absolutePath()));
    // A new file is made readable by its owner only before SQLite fills it (its -wal and -shm
    // files take the same mode).
    if (!info.exists()) {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
    }
    QString why;
    m_connection = OpenConnection(m_path, NextConnectionName(), kWriterBusyMs, &why);
    if (m_connection.isEmpty()) {
        if (why.contains(QLatin1String("not a database")) || why.contains(QLatin1String("malformed")))
            return SetAsideDamaged(why);
        return Failed(why);
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const MigrationResult migrated = MigrateLocal(db, LocalSteps());
    if (!migrated.ok) {
        Close();
        if (migrated.problem.contains(QLatin1String("not a database"))
            || migrated.problem.contains(QLatin1String("malformed")))
            return SetAsideDamaged(migrated.problem);
        return Failed(migrated.problem);
    }
    m_open = true;
    return true;
}

// A file that SQLite finds damaged is kept whole beside the store (".damaged", ".damaged.1",
// ...) and a new store is begun, so that readings are written again at once.
bool LocalStore::SetAsideDamaged(const QString& cause)
{
    Close();
    const QString aside = AsideName(m_path, QStringLiteral(".damaged"));
    if (!QFile::rename(m_path, aside)) return Failed(cause);
    for (const char* suffix : {"-wal", "-shm"})
        QFile::rename(m_path + QLatin1String(suffix), aside + QLatin1String(suffix));
    m_notices << QStringLiteral(
                     "The measurement store %1 is damaged (%2). It was kept as %3 and a new store was begun.")
                     .arg(QDir::toNativeSeparators(m_path), cause, QDir::toNativeSeparators(aside));
    return OpenFile();
}

bool LocalStore::Failed(const QString& cause)
{
    if (m_failure.isEmpty() && !m_told)
        m_notices << QStringLiteral(
                         "The measurement store %1 cannot take readings: %2. The readings are kept in memory and "
                         "stored as soon as the file takes them again.")
                         .arg(QDir::toNativeSeparators(m_path), cause);
    m_failure = cause;
    m_told = true;
    if (!m_waiting.empty() && !m_retry.isActive()) m_retry.start();
    return false;
}

QString LocalStore::TakeNotice()
{
    const QString text = m_notices.join(QStringLiteral("\n\n"));
    m_notices.clear();
    return text;
}

bool LocalStore::Write(const Pending& record)
{
    QSqlError error;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            error = q.lastError();
        } else {
            const bool reading = std::holds_alternative<ReadingRecord>(record);
            const bool inserted = reading
                ? Insert(db, QStringLiteral("readings"), ReadingColumns(), std::get<ReadingRecord>(record), error)
                : Insert(db, QStringLiteral("scans"), ScanColumns(), std::get<ScanRecord>(record), error);
            QSqlQuery outbox(db);
            outbox.prepare(QStringLiteral("INSERT INTO outbox (kind, record_id) VALUES (?, ?)"));
            outbox.addBindValue(reading ? QStringLiteral("reading") : QStringLiteral("scan"));
            outbox.addBindValue(reading ? std::get<ReadingRecord>(record).id : std::get<ScanRecord>(record).id);
            if (inserted && !outbox.exec()) error = outbox.lastError();
            if (inserted && error.type() == QSqlError::NoError && q.exec(QStringLiteral("COMMIT"))) return true;
            if (error.type() == QSqlError::NoError) error = q.lastError();
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        }
    }
    // A record the file refuses for its own sake (its id is there already) would block the ones after it.
    const QString code = error.nativeErrorCode();
    if (code == QLatin1String("19") || code == QLatin1String("1555") || code == QLatin1String("2067")) return true;
    // A damaged file is set aside and the record written into the new store.
    if (Damaged(error)) return SetAsideDamaged(error.text()) && Write(record);
    // The connection is opened afresh next time: a file that was read-only may be writable then.
    Close();
    Failed(error.text());
    return false;
}

bool LocalStore::Flush()
{
    bool wrote = false;
    while (!m_waiting.empty()) {
        if (!OpenFile() || !Write(m_waiting.front())) break;
        m_waiting.pop_front();
        wrote = true;
    }
    if (m_waiting.empty()) {
        // What was kept from the last run is in the file now.
        if (m_spillTaken) m_spillTaken = !QFile::remove(SpillPath());
        m_retry.stop();
        if (m_open) {
            m_failure.clear();
            m_told = false;
        }
    }
    if (wrote) emit Recorded();
    return m_waiting.empty();
}

bool LocalStore::RecordReading(ReadingRecord record)
{
    if (record.id.isEmpty()) record.id = NewRecordId();
    if (!record.takenAt.isValid()) record.takenAt = QDateTime::currentDateTimeUtc();
    m_waiting.emplace_back(std::move(record));
    return Flush();
}

bool LocalStore::RecordScan(ScanRecord record)
{
    if (record.id.isEmpty()) record.id = NewRecordId();
    if (!record.takenAt.isValid()) record.takenAt = QDateTime::currentDateTimeUtc();
    m_waiting.emplace_back(std::move(record));
    return Flush();
}

int LocalStore::Unsent()
{
    if (!Open()) return -1;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT count(*) FROM outbox")) || !q.next()) return -1;
    return q.value(0).toInt();
}

}  // namespace store
