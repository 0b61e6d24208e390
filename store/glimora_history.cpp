// glimora-history: the measurement history on standard output, for a LIMS job or a cron line.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <cstdio>

#include "store/HistoryQuery.h"
#include "store/LabConnection.h"
#include "store/LocalStore.h"
#include "store/Migrations.h"

using namespace store;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glimora-history"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the readings of Glimora's measurement history that match a filter to standard output, newest first,\n"
        "as CSV (a header of column names, then one line per reading) or as a JSON array of objects.\n"
        "The columns are those of the table \"readings\" (docs/database.md). Without --server it reads this user's\n"
        "local store ($XDG_DATA_HOME/Glimora/measurements.sqlite).\n\n"
        "Examples:\n"
        "  glimora-history --from 2026-11-01 --to 2026-11-30 --comment \"lot 4711\" > november.csv\n"
        "  glimora-history --server service=glimora --station \"Station 2\" --from 2026-12-06 --format json\n\n"
        "Exit status: 0 done, 1 the history could not be read, 2 wrong arguments."));
    parser.addHelpOption();
    const QCommandLineOption server(
        QStringLiteral("server"),
        QStringLiteral("Read the lab database: a libpq connection string (passwords from ~/.pgpass)."),
        QStringLiteral("connection"));
    const QCommandLineOption storePath(QStringLiteral("store"),
                                       QStringLiteral("Read this local store file instead of the user's."),
                                       QStringLiteral("file"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("First day (YYYY-MM-DD, local time)."),
                                  QStringLiteral("date"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Last day (YYYY-MM-DD, local time), included."),
                                QStringLiteral("date"));
    const QCommandLineOption station(QStringLiteral("station"), QStringLiteral("Only this station."),
                                     QStringLiteral("name"));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Only this instrument serial number."),
                                    QStringLiteral("number"));
    const QCommandLineOption cal(QStringLiteral("cal-standard"), QStringLiteral("Only this calibration standard."),
                                 QStringLiteral("name"));
    const QCommandLineOption comment(QStringLiteral("comment"),
                                     QStringLiteral("Only readings with this text in a comment (any case)."),
                                     QStringLiteral("text"));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("csv (default) or json."),
                                    QStringLiteral("format"), QStringLiteral("csv"));
    const QCommandLineOption setup(
        QStringLiteral("setup"),
        QStringLiteral("With --server: create or update the lab database's tables, then end."));
    parser.addOptions({server, storePath, from, to, station, serial, cal, comment, format, setup});
    parser.process(app);

    auto fail = [](const QString& text, int code) {
        std::fprintf(stderr, "glimora-history: %s\n", qPrintable(text));
        return code;
    };
    HistoryFilter filter;
    for (auto [option, day] : {std::pair{&from, &filter.from}, {&to, &filter.to}}) {
        if (!parser.isSet(*option)) continue;
        *day = QDate::fromString(parser.value(*option), Qt::ISODate);
        if (!day->isValid())
            return fail(QStringLiteral("--%1 takes a date as YYYY-MM-DD").arg(option->names().first()), 2);
    }
    filter.station = parser.value(station);
    filter.serialNumber = parser.value(serial);
    filter.calStandard = parser.value(cal);
    filter.commentText = parser.value(comment);
    const QString formatName = parser.value(format).toLower();
    if (formatName != QLatin1String("csv") && formatName != QLatin1String("json"))
        return fail(QStringLiteral("--format is csv or json"), 2);
    if (parser.isSet(setup) && !parser.isSet(server)) return fail(QStringLiteral("--setup needs --server"), 2);

    QString problem;
    QString name;
    if (parser.isSet(server)) {
        name = OpenLabConnection(parser.value(server), QStringLiteral("history"), &problem);
    } else {
        const QString path = parser.isSet(storePath) ? parser.value(storePath) : LocalStore::DefaultPath();
        if (!QFile::exists(path)) return fail(QStringLiteral("there is no measurement store at %1").arg(path), 1);
        name = LocalStore::OpenConnection(path, QStringLiteral("history"), 5000, &problem);
    }
    if (name.isEmpty()) return fail(problem, 1);
    int status = 0;
    {
        QSqlDatabase db = QSqlDatabase::database(name);
        if (parser.isSet(setup)) {
            const MigrationResult migrated = MigrateServer(db, ServerSteps());
            if (!migrated.ok) status = fail(migrated.problem, 1);
            else std::fprintf(stderr, "glimora-history: the lab database is at schema version %d\n", migrated.version);
        } else {
            QFile out;
            out.open(stdout, QIODevice::WriteOnly);
            if (ExportReadings(db, filter, formatName == QLatin1String("json") ? ExportFormat::Json : ExportFormat::Csv,
                               out, &problem)
                < 0)
                status = fail(problem, 1);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return status;
}
