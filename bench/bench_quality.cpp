// What judging adds to the road of a reading, and the control chart over a long history.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_quality --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "app/GlimoraApp.h"
#include "quality/ControlChartWindow.h"
#include "quality/StandardCheck.h"
#include "quality/StandardsLibrary.h"
#include "quality/StandardsStore.h"
#include "readings/ReadingsModel.h"
#include "store/LocalStore.h"
#include "support/SettingsStore.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/TestMeter.h"

namespace {

quality::Standard PanelStandard()
{
    quality::Standard s;
    s.name = QStringLiteral("Bench Panel");
    for (auto& t : s.tolerances) t = {true, 50, 0, 100, 10};
    return s;
}

// The real window on a store in a memory-backed folder, so that the disk's sync does not drown
// the road's own work; with `judged` a standard is chosen and the check window is open.
struct Window {
    QTemporaryDir dir{QStringLiteral("/dev/shm/glimora-bench-XXXXXX")};
    RecordingSoundSink sounds;
    TestMeter* meter = new TestMeter;
    std::unique_ptr<GlimoraApp> app;

    explicit Window(bool judged, bool checkWindow = true)
    {
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toLocal8Bit());
        if (judged) {
            store::LocalStore local(store::LocalStore::DefaultPath());
            quality::Standard s = PanelStandard();
            quality::StandardsStore(local.Database()).Save(s);
        }
        auto settings = std::make_unique<support::SettingsStore>(dir.filePath(QStringLiteral("Glimora.ini")));
        settings->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        if (judged)
            settings->SaveSetting(QStringLiteral("Quality"), QStringLiteral("Standard"), QStringLiteral("Bench Panel"));
        support::SetSounds(&sounds);
        meter->logReads = false;
        app = std::make_unique<GlimoraApp>(meter, std::move(settings));
        app->Load();
        app->show();
        if (judged && checkWindow) app->findChild<QAction*>(QStringLiteral("mnuDataCheckAgainstStandard"))->trigger();
        QCoreApplication::processEvents();
    }
    ~Window()
    {
        app.reset();
        support::SetSounds(nullptr);
    }
};

void Road(benchmark::State& state, bool judged, bool checkWindow = true)
{
    Window w(judged, checkWindow);
    QDateTime t(QDate(2027, 1, 1), QTime(8, 0, 0));
    int i = 0;
    for (auto _ : state) {
        w.meter->SetNextReading(50 + (i % 7), 60, 1.25, 3.4, QStringLiteral("Black Glass"), t.addSecs(i));
        ++i;
        w.meter->Emit(12);
        state.PauseTiming();
        QCoreApplication::processEvents();
        w.meter->log.clear();
        w.sounds.sounds.clear();
        state.ResumeTiming();
    }
}
void ReadingRoadNoStandard(benchmark::State& state)
{
    Road(state, false);
}
void ReadingRoadJudged(benchmark::State& state)
{
    Road(state, true);
}
void ReadingRoadJudgedWindowClosed(benchmark::State& state)
{
    Road(state, true, false);
}
BENCHMARK(ReadingRoadNoStandard)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(ReadingRoadJudged)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(ReadingRoadJudgedWindowClosed)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// What judging adds to a reading's road, on its own: the verdict against the chosen standard, its
// count and the check window's table brought up to date, and the list row tinted, with 10,000
// rows listed. The road benchmarks above carry the store's write, whose spread hides this step.
void JudgingStep(benchmark::State& state)
{
    Window w(true);
    QDateTime t(QDate(2027, 1, 1), QTime(8, 0, 0));
    for (int i = 0; i < 10000; ++i) {
        w.meter->SetNextReading(50 + (i % 7), 60, 1.25, 3.4, QStringLiteral("Black Glass"), t.addSecs(i));
        w.meter->Emit(12);
    }
    QCoreApplication::processEvents();
    auto* rows = w.app->findChild<ReadingsModel*>();
    store::LocalStore local(store::LocalStore::DefaultPath());
    quality::StandardsLibrary library([&local] { return local.Database(); }, {});
    support::SettingsStore settings(w.dir.filePath(QStringLiteral("check.ini")));
    quality::StandardCheck check(library, settings);
    check.Choose(PanelStandard().name);
    quality::CheckWindow window(check, [] { return 2; });
    window.show();
    QCoreApplication::processEvents();
    if (!rows || !check.Current()) {
        state.SkipWithError("no list or no standard");
        return;
    }
    int i = 0;
    for (auto _ : state) {
        const quality::Judgement j = check.JudgeReading({50.0 + (i % 70) * 0.1, 60, 1.25, 3.4});
        rows->SetVerdict(i % 10000, quality::VerdictText(j.overall));
        ++i;
    }
}
BENCHMARK(JudgingStep)->Unit(benchmark::kMicrosecond);

// The control chart of one value over 100,000 readings of the history: read, computed and drawn.
void ControlChart100k(benchmark::State& state)
{
    QTemporaryDir dir;
    store::LocalStore local(dir.filePath(QStringLiteral("history.sqlite")));
    QSqlDatabase db = local.Database();
    quality::Standard s = PanelStandard();
    quality::StandardsStore(db).Save(s);
    db.transaction();
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "INSERT INTO readings (id, taken_at, station, specular, doi, haze2, haze15, digits, standard, verdict) "
        "VALUES (?, ?, 'bench', ?, ?, 1, 2, 2, 'Bench Panel', 'PASS')"));
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i < 100000; ++i) {
        q.addBindValue(QStringLiteral("r%1").arg(i));
        q.addBindValue(start.addSecs(i).toString(Qt::ISODateWithMs));
        q.addBindValue(50 + (i * 7919 % 100) * 0.05);
        q.addBindValue(60.0);
        if (!q.exec()) {
            state.SkipWithError("the history could not be filled");
            return;
        }
    }
    db.commit();
    quality::StandardsLibrary library([db] { return db; }, {});
    quality::ControlChartWindow window(library);
    window.resize(1100, 680);
    window.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        window.Reload();
        window.repaint();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(ControlChart100k)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
