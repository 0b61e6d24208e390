#include "store/Migrations.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace store {
namespace {

// The comment headers and texts are columns of their own: header_1..header_7, comment_1..comment_7.
QString CommentColumnsDdl()
{
    QStringList parts;
    for (int i = 1; i <= 7; ++i) parts << QStringLiteral("header_%1 TEXT").arg(i);
    for (int i = 1; i <= 7; ++i) parts << QStringLiteral("comment_%1 TEXT").arg(i);
    return parts.join(QStringLiteral(", "));
}

// Standards (a name, and for each of the four values whether it is judged, its target, limits and
// warning band) and the control-chart baselines fixed for them; alike in SQLite and PostgreSQL.
QStringList StandardsDdl()
{
    QStringList columns{QStringLiteral("id TEXT PRIMARY KEY"), QStringLiteral("name TEXT NOT NULL UNIQUE")};
    for (const char* value : {"specular", "doi", "haze2", "haze15"}) {
        columns << QStringLiteral("%1_judged INTEGER NOT NULL DEFAULT 0").arg(QLatin1String(value));
        for (const char* field : {"target", "lower", "upper", "warn_percent"})
            columns << QStringLiteral("%1_%2 DOUBLE PRECISION NOT NULL DEFAULT 0")
                           .arg(QLatin1String(value), QLatin1String(field));
    }
    return {QStringLiteral("CREATE TABLE standards (%1)").arg(columns.join(QStringLiteral(", "))),
            QStringLiteral(
                "CREATE TABLE standard_baselines (standard_id TEXT NOT NULL, parameter INTEGER NOT NULL, "
                "first_n INTEGER NOT NULL, from_time TEXT, to_time TEXT, count INTEGER NOT NULL, "
                "centre DOUBLE PRECISION NOT NULL, sigma DOUBLE PRECISION NOT NULL, "
                "mr_centre DOUBLE PRECISION NOT NULL, fixed_at TEXT NOT NULL, PRIMARY KEY (standard_id, parameter))"),
            QStringLiteral("CREATE INDEX readings_standard ON readings (standard, taken_at)")};
}

std::vector<MigrationStep> MakeLocalSteps()
{
    return {
        {QStringLiteral("readings, scans and the outbox towards the lab database"),
         {QStringLiteral(
              "CREATE TABLE readings (id TEXT PRIMARY KEY NOT NULL, taken_at TEXT NOT NULL, local_time TEXT, "
              "station TEXT NOT NULL, operator TEXT, serial_number TEXT, instrument_version TEXT, cal_standard TEXT, "
              "specular REAL NOT NULL, doi REAL NOT NULL, haze2 REAL NOT NULL, haze15 REAL NOT NULL, "
              "digits INTEGER NOT NULL, ")
              + CommentColumnsDdl() + QStringLiteral(", data_file TEXT, standard TEXT, verdict TEXT)"),
          QStringLiteral(
              "CREATE TABLE scans (id TEXT PRIMARY KEY NOT NULL, taken_at TEXT NOT NULL, station TEXT NOT NULL, "
              "serial_number TEXT, instrument_version TEXT, points TEXT NOT NULL)"),
          QStringLiteral("CREATE TABLE outbox (seq INTEGER PRIMARY KEY AUTOINCREMENT, "
                         "kind TEXT NOT NULL CHECK (kind IN ('reading', 'scan')), record_id TEXT NOT NULL)")}},
        {QStringLiteral("indexes for the History window's filters"),
         {QStringLiteral("CREATE INDEX readings_taken_at ON readings (taken_at, id)"),
          QStringLiteral("CREATE INDEX readings_station ON readings (station, taken_at)"),
          QStringLiteral("CREATE INDEX readings_serial ON readings (serial_number, taken_at)"),
          QStringLiteral("CREATE INDEX scans_taken_at ON scans (taken_at, id)")}},
        {QStringLiteral("standards, their control-chart baselines, readings by standard"), StandardsDdl()},
    };
}

std::vector<MigrationStep> MakeServerSteps()
{
    QString comments = CommentColumnsDdl();
    comments.replace(QStringLiteral(" TEXT"), QStringLiteral(" text"));
    return {
        {QStringLiteral("readings and scans, announced to listeners on the channel glimora_readings"),
         {QStringLiteral(
              "CREATE TABLE readings (seq bigint GENERATED ALWAYS AS IDENTITY UNIQUE, id uuid PRIMARY KEY, "
              "taken_at timestamptz NOT NULL, local_time text, station text NOT NULL, operator text, "
              "serial_number text, instrument_version text, cal_standard text, "
              "specular double precision NOT NULL, doi double precision NOT NULL, haze2 double precision NOT NULL, "
              "haze15 double precision NOT NULL, digits integer NOT NULL, ")
              + comments
              + QStringLiteral(
                  ", data_file text, standard text, verdict text, received_at timestamptz NOT NULL DEFAULT now())"),
          QStringLiteral(
              "CREATE TABLE scans (seq bigint GENERATED ALWAYS AS IDENTITY UNIQUE, id uuid PRIMARY KEY, "
              "taken_at timestamptz NOT NULL, station text NOT NULL, serial_number text, instrument_version text, "
              "points jsonb NOT NULL, received_at timestamptz NOT NULL DEFAULT now())"),
          QStringLiteral("CREATE INDEX readings_taken_at ON readings (taken_at, id)"),
          QStringLiteral("CREATE INDEX readings_station ON readings (station, taken_at)"),
          QStringLiteral("CREATE INDEX readings_serial ON readings (serial_number, taken_at)"),
          QStringLiteral("CREATE INDEX scans_taken_at ON scans (taken_at, id)"),
          QStringLiteral("CREATE FUNCTION glimora_announce_readings() RETURNS trigger LANGUAGE plpgsql AS "
                         "$$ BEGIN PERFORM pg_notify('glimora_readings', ''); RETURN NULL; END $$"),
          QStringLiteral("CREATE TRIGGER readings_announce AFTER INSERT ON readings "
                         "FOR EACH STATEMENT EXECUTE FUNCTION glimora_announce_readings()")}},
        {QStringLiteral("standards shared by the stations, their control-chart baselines, readings by standard"),
         StandardsDdl()},
    };
}

MigrationResult Fail(QSqlDatabase& db, int version, const QString& what, const QSqlError& error)
{
    db.rollback();
    return {false, version, what + QStringLiteral(": ") + error.text()};
}

bool Run(QSqlDatabase& db, const QString& statement, QSqlError& error)
{
    QSqlQuery q(db);
    if (q.exec(statement)) return true;
    error = q.lastError();
    return false;
}

QString TooNew(int version, std::size_t known)
{
    return QStringLiteral("its schema is version %1, newer than the %2 this Glimora knows; use a newer Glimora")
        .arg(version)
        .arg(known);
}

}  // namespace

const std::vector<MigrationStep>& LocalSteps()
{
    static const auto steps = MakeLocalSteps();
    return steps;
}

const std::vector<MigrationStep>& ServerSteps()
{
    static const auto steps = MakeServerSteps();
    return steps;
}

MigrationResult MigrateLocal(QSqlDatabase& db, const std::vector<MigrationStep>& steps)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return {false, 0, QStringLiteral("reading its schema version: ") + q.lastError().text()};
    int version = q.value(0).toInt();
    q.finish();
    if (version > int(steps.size())) return {false, version, TooNew(version, steps.size())};
    for (; version < int(steps.size()); ++version) {
        const MigrationStep& step = steps[std::size_t(version)];
        QSqlError error;
        if (!Run(db, QStringLiteral("BEGIN IMMEDIATE"), error))
            return {false, version, QStringLiteral("starting a migration: ") + error.text()};
        for (const QString& statement : step.statements)
            if (!Run(db, statement, error)) return Fail(db, version, step.what, error);
        // PRAGMA takes no bound values; the number is the step's own position.
        if (!Run(db, QStringLiteral("PRAGMA user_version = %1").arg(version + 1), error)
            || !Run(db, QStringLiteral("COMMIT"), error))
            return Fail(db, version, step.what, error);
    }
    return {true, version, {}};
}

MigrationResult MigrateServer(QSqlDatabase& db, const std::vector<MigrationStep>& steps)
{
    // 0x476c696d ("Glim"): the advisory lock every station takes around a step.
    const QString lock = QStringLiteral("SELECT pg_advisory_xact_lock(1198287213)");
    int version = 0;
    for (;;) {
        QSqlError error;
        if (!db.transaction())
            return {false, version, QStringLiteral("starting a migration: ") + db.lastError().text()};
        if (!Run(db, lock, error)
            || !Run(db,
                    QStringLiteral(
                        "CREATE TABLE IF NOT EXISTS glimora_schema (one boolean PRIMARY KEY DEFAULT true CHECK (one), "
                        "version integer NOT NULL)"),
                    error)
            || !Run(db, QStringLiteral("INSERT INTO glimora_schema (version) VALUES (0) ON CONFLICT (one) DO NOTHING"),
                    error))
            return Fail(db, version, QStringLiteral("the schema version table"), error);
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT version FROM glimora_schema")) || !q.next())
            return Fail(db, version, QStringLiteral("reading the schema version"), q.lastError());
        version = q.value(0).toInt();
        q.finish();
        if (version > int(steps.size())) {
            db.rollback();
            return {false, version, TooNew(version, steps.size())};
        }
        if (version == int(steps.size())) {
            db.rollback();
            return {true, version, {}};
        }
        const MigrationStep& step = steps[std::size_t(version)];
        for (const QString& statement : step.statements)
            if (!Run(db, statement, error)) return Fail(db, version, step.what, error);
        QSqlQuery set(db);
        set.prepare(QStringLiteral("UPDATE glimora_schema SET version = ?"));
        set.addBindValue(version + 1);
        if (!set.exec()) return Fail(db, version, step.what, set.lastError());
        if (!db.commit()) return Fail(db, version, step.what, db.lastError());
    }
}

}  // namespace store
