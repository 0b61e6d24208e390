// The road of one reading with many rows listed, the durable road with a data file open, sorting
// and deleting a long list.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_readings
#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "app/GlimoraApp.h"
#include "readings/ReadingsModel.h"
#include "readings/ReadingsView.h"
#include "support/SettingsStore.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/TestMeter.h"

namespace {

struct Window {
    QTemporaryDir dir;
    RecordingSoundSink sounds;
    TestMeter* meter = new TestMeter;
    std::unique_ptr<GlimoraApp> app;

    Window()
    {
        auto store = std::make_unique<support::SettingsStore>(dir.filePath(QStringLiteral("Glimora.ini")));
        store->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        support::SetSounds(&sounds);
        meter->logReads = false;
        app = std::make_unique<GlimoraApp>(meter, std::move(store));
        app->Load();
        app->show();
    }
    ~Window()
    {
        app.reset();
        support::SetSounds(nullptr);
    }
    ReadingsView* List() const { return app->findChild<ReadingsView*>(QStringLiteral("LV1")); }
    ReadingsModel* Rows() const { return qobject_cast<ReadingsModel*>(List()->model()); }
    void Fill(int rows)
    {
        QDateTime t(QDate(2026, 1, 1), QTime(8, 0, 0));
        for (int i = 0; i < rows; ++i) {
            meter->SetNextReading(80 + (i % 200) * 0.1, 90 + (i % 70) * 0.1, 1.2, 3.4, QStringLiteral("Black Glass"),
                                  t.addSecs(i));
            meter->Emit(VantrelCntl::Event::ReadingReady);
        }
        meter->log.clear();
    }
};

// Event 12 to list row, averages, summary labels, file check and status panel. With `painted`
// the window's repaint that follows is timed too (Qt coalesces repaints, so with readings a
// second apart each one gets its own).
void Road(benchmark::State& state, bool painted, bool statistics = false)
{
    Window w;
    w.Fill(static_cast<int>(state.range(0)));
    if (statistics)
        w.app->findChild<QAction*>(QStringLiteral("mnuDataStatistics"))
            ->trigger();  // the statistics window open beside
    QCoreApplication::processEvents();
    QDateTime t(QDate(2027, 1, 1), QTime(8, 0, 0));
    int i = 0;
    for (auto _ : state) {
        w.meter->SetNextReading(85.3, 92.1, 1.25, 3.4, QStringLiteral("Black Glass"), t.addSecs(i++));
        w.meter->Emit(VantrelCntl::Event::ReadingReady);
        if (painted) QCoreApplication::processEvents();
        state.PauseTiming();
        if (!painted) QCoreApplication::processEvents();
        w.meter->log.clear();
        w.sounds.sounds.clear();
        state.ResumeTiming();
    }
}
void ReadingRoad(benchmark::State& state)
{
    Road(state, false);
}
void ReadingRoadPainted(benchmark::State& state)
{
    Road(state, true);
}
BENCHMARK(ReadingRoad)->Arg(0)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadingRoadPainted)->Arg(0)->Arg(100000)->Unit(benchmark::kMicrosecond);
void ReadingRoadWithStatistics(benchmark::State& state)
{
    Road(state, false, true);
}
void ReadingRoadWithStatisticsPainted(benchmark::State& state)
{
    Road(state, true, true);
}
BENCHMARK(ReadingRoadWithStatistics)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadingRoadWithStatisticsPainted)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The durable road: one reading with a data file open, its line written whole and synced to the
// disk before DoRead returns. BarePosixLine writes and syncs a line of the same length with bare
// POSIX calls on the same disk; the ratio of the two is the program's cost over the disk's.
void DurableReading(benchmark::State& state)
{
    Window w;
    if (!w.app->OpenFile(w.dir.filePath(QStringLiteral("durable.csv")), false)) {
        state.SkipWithError("the data file could not be created");
        return;
    }
    QDateTime t(QDate(2027, 1, 1), QTime(8, 0, 0));
    int i = 0;
    for (auto _ : state) {
        w.meter->SetNextReading(85.3, 92.1, 1.25, 3.4, QStringLiteral("Black Glass"), t.addSecs(i++));
        w.meter->Emit(VantrelCntl::Event::ReadingReady);
        state.PauseTiming();
        QCoreApplication::processEvents();
        w.meter->log.clear();
        w.sounds.sounds.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(DurableReading)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BarePosixLine(benchmark::State& state)
{
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("bare.csv")).toLocal8Bit();
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const QByteArray line =
        "01/01/2027 08:00:00,85.30,92.10,1.25,3.40,\"Black Glass\",\"01/01/2026 08:00:00\",\"HZ4120\",\"\"\r\n";
    for (auto _ : state) {
        if (::write(fd, line.constData(), size_t(line.size())) != line.size() || ::fdatasync(fd) != 0) {
            state.SkipWithError("write or fdatasync failed");
            break;
        }
    }
    ::close(fd);
}
BENCHMARK(BarePosixLine)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void SortByColumn(benchmark::State& state)
{
    Window w;
    w.Fill(100000);
    int n = 0;
    for (auto _ : state) {
        w.Rows()->HeaderClicked(2 + (n++ % 2) * 2);  // Specular, then 2 Degree: each a full sort
        QCoreApplication::processEvents();
    }
}
BENCHMARK(SortByColumn)->Unit(benchmark::kMillisecond)->Iterations(5);

void DeleteHalf(benchmark::State& state)
{
    std::unique_ptr<Window> w;
    std::vector<bool> mask(100000);
    for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = i % 2 == 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.reset();
        w = std::make_unique<Window>();
        w->Fill(100000);
        w->List()->selectAll();
        state.ResumeTiming();
        w->Rows()->DeleteRows(mask);
        QCoreApplication::processEvents();
    }
    w.reset();
}
BENCHMARK(DeleteHalf)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
