// The measurement history at scale: recording one reading into a store of 1,000,000, the
// History window's first page of a date range and comment text, its extra memory, and
// forwarding to a local PostgreSQL.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_store --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// The filled store is kept as /tmp/glimora-bench-<rows>.sqlite between runs
// (GLIMORA_BENCH_ROWS sets the number, 1,000,000 by default).
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "store/Forwarder.h"
#include "store/HistoryQuery.h"
#include "store/HistoryWindow.h"
#include "store/LocalStore.h"
#include "store/MeasurementHistory.h"
#include "support/SettingsStore.h"

using namespace store;

namespace {

int Rows()
{
    return qEnvironmentVariableIsSet("GLIMORA_BENCH_ROWS") ? qEnvironmentVariableIntValue("GLIMORA_BENCH_ROWS")
                                                           : 1000000;
}

ReadingRecord Reading(int n)
{
    ReadingRecord r;
    r.id = NewRecordId();
    // One reading a minute, the newest now.
    r.takenAt = QDateTime::currentDateTimeUtc().addSecs(-60LL * (Rows() - n));
    r.localTime = r.takenAt.toLocalTime().toString(QStringLiteral("MM/dd/yyyy HH:mm:ss"));
    r.station = QStringLiteral("Station %1").arg(n % 4);
    r.operatorName = QStringLiteral("bench");
    r.serialNumber = QStringLiteral("HZ%1").arg(1000 + n % 8);
    r.calStandard = QStringLiteral("Black Glass");
    r.specular = 85 + (n % 100) / 50.0;
    r.doi = 92 + (n % 37) / 40.0;
    r.haze2 = 1.2;
    r.haze15 = 3.4;
    r.commentHeaders = {QStringLiteral("Comment"), QStringLiteral("Lot")};
    r.commentTexts = {QStringLiteral("panel %1").arg(n % 500), QStringLiteral("lot %1").arg(n / 1000)};
    return r;
}

// A store of count readings, filled in one transaction.
void Fill(const QString& path, int count)
{
    LocalStore store(path);
    QSqlDatabase db = store.Database();
    QSqlQuery q(db);
    q.exec(QStringLiteral("BEGIN"));
    QSqlQuery insert(db), outbox(db);
    insert.prepare(QStringLiteral("INSERT INTO readings (") + ColumnNames(ReadingColumns())
                   + QStringLiteral(") VALUES (") + Placeholders(int(ReadingColumns().size())) + QStringLiteral(")"));
    outbox.prepare(QStringLiteral("INSERT INTO outbox (kind, record_id) VALUES ('reading', ?)"));
    for (int n = 0; n < count; ++n) {
        const ReadingRecord r = Reading(n);
        for (const auto& c : ReadingColumns()) insert.addBindValue(c.get(r));
        insert.exec();
        outbox.addBindValue(r.id);
        outbox.exec();
    }
    q.exec(QStringLiteral("COMMIT"));
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    q.finish();
}

// The store of Rows() readings, filled once.
QString FilledStore()
{
    const QString path = QStringLiteral("/tmp/glimora-bench-%1.sqlite").arg(Rows());
    if (QFile::exists(path)) return path;
    Fill(path + QStringLiteral(".new"), Rows());
    QFile::rename(path + QStringLiteral(".new"), path);
    return path;
}

void BM_RecordOneReading(benchmark::State& state)
{
    LocalStore store(FilledStore());
    int n = 0;
    for (auto _ : state) {
        if (!store.RecordReading(Reading(Rows() + ++n))) state.SkipWithError("not recorded");
    }
    state.counters["stored"] = Rows() + n;
}
BENCHMARK(BM_RecordOneReading)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(300);

void BM_HistoryFirstPage(benchmark::State& state)
{
    const QString name = LocalStore::OpenConnection(FilledStore(), QStringLiteral("bench-page"), 1000);
    HistoryFilter filter;
    filter.from = QDate::currentDate().addDays(-200);
    filter.to = QDate::currentDate().addDays(-170);
    filter.commentText = QStringLiteral("panel 42");
    std::vector<ReadingRecord> rows;
    for (auto _ : state) {
        if (!ReadPage(QSqlDatabase::database(name), filter, {}, HistoryWindow::PageSize, rows, nullptr))
            state.SkipWithError("no page");
    }
    state.counters["rows"] = double(rows.size());
    QSqlDatabase::removeDatabase(name);
}
BENCHMARK(BM_HistoryFirstPage)->Unit(benchmark::kMillisecond)->UseRealTime();

long ResidentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    statm.open(QIODevice::ReadOnly);
    return statm.readAll().split(' ').value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// Extra memory of an open History window (first page and trend shown) over the full store.
void BM_HistoryWindowMemory(benchmark::State& state)
{
    QTemporaryDir dir;
    support::SettingsStore settings(dir.filePath(QStringLiteral("Glimora.ini")));
    MeasurementHistory history(settings, FilledStore());
    long extra = 0;
    for (auto _ : state) {
        const long before = ResidentKiB();
        HistoryWindow window(history);
        window.show();
        bool shown = false;
        QObject::connect(&window, &HistoryWindow::PageShown, [&] { shown = true; });
        while (!shown) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        QCoreApplication::processEvents();
        extra = ResidentKiB() - before;
    }
    state.counters["extra_MiB"] = double(extra) / 1024.0;
}
BENCHMARK(BM_HistoryWindowMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// A private PostgreSQL cluster, as the lab database suite starts it.
bool Pg(const QString& program, const QStringList& args)
{
    const QString bin = QStringLiteral("/usr/lib/postgresql/15/bin/") + program;
    return geteuid() == 0
        ? QProcess::execute(QStringLiteral("runuser"),
                            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), bin}
                                + args)
            == 0
        : QProcess::execute(bin, args) == 0;
}

void BM_ForwardToPostgres(benchmark::State& state)
{
    QTemporaryDir dir;
    if (geteuid() == 0) QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres"), dir.path()});
    const QString data = dir.filePath(QStringLiteral("pg"));
    if (!Pg(QStringLiteral("initdb"),
            {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-A"),
             QStringLiteral("trust"), QStringLiteral("--no-sync")})
        || !Pg(QStringLiteral("pg_ctl"),
               {QStringLiteral("-D"), data, QStringLiteral("-w"), QStringLiteral("-l"),
                dir.filePath(QStringLiteral("log")), QStringLiteral("-o"),
                QStringLiteral("-c listen_addresses='' -c unix_socket_directories=%1 -p 5440").arg(dir.path()),
                QStringLiteral("start")}))
        return state.SkipWithError("no PostgreSQL cluster");
    const int count = int(state.range(0));
    const QString server = QStringLiteral("host=%1 port=5440 dbname=postgres user=postgres").arg(dir.path());
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = dir.filePath(QStringLiteral("local-%1.sqlite").arg(state.iterations()));
        Fill(path, count);
        Forwarder forwarder(path, server);
        int unsent = -1;
        QObject::connect(&forwarder, &Forwarder::StateChanged, [&](int left, const QString&) { unsent = left; });
        state.ResumeTiming();
        forwarder.Start();
        while (unsent != 0) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        state.PauseTiming();
        forwarder.Stop();
        state.ResumeTiming();
    }
    state.counters["readings_per_s"] =
        benchmark::Counter(double(count) * double(state.iterations()), benchmark::Counter::kIsRate);
    Pg(QStringLiteral("pg_ctl"),
       {QStringLiteral("-D"), data, QStringLiteral("-w"), QStringLiteral("-m"), QStringLiteral("fast"),
        QStringLiteral("stop")});
}
BENCHMARK(BM_ForwardToPostgres)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
