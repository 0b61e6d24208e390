// Whole-process figures: the time from process start to the main window shown (against a bare
// Qt main window started the same way), and the resident memory with 100,000 readings listed.
//   bench_process bare|glimora   prints the CLOCK_MONOTONIC nanoseconds when the window is exposed
//   bench_process memory [rows]  prints the resident set size in kB after listing the readings
// bench/startup_bench.py runs the first pair many times and reports medians and their ratio.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QWindow>
#include <cstdio>
#include <ctime>

#include "app/GlimoraApp.h"
#include "simulator/SimulatedMeter.h"
#include "support/SettingsStore.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/TestMeter.h"

namespace {

long long MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

long ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Prints the moment the window's first frame has been drawn: the end of its first expose event,
// which paints and flushes the window (start-up may still wait for the meter's link then), and
// lets the caller stop there. Work the window leaves for later is not counted.
class ShownReporter : public QObject {
public:
    bool done = false;
    // Runs the events until the window has been drawn.
    void Wait()
    {
        while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }

    ShownReporter(QApplication& app, QWidget& window)
        : m_app(app)
        , m_window(window)
    {
        app.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (done || event->type() != QEvent::Expose || watched != m_window.windowHandle())
            return QObject::eventFilter(watched, event);
        // The window handles its expose event (drawing the frame) first.
        m_app.removeEventFilter(this);
        watched->event(event);
        if (m_window.windowHandle()->isExposed()) {
            std::printf("%lld\n", MonotonicNs());
            std::fflush(stdout);
            done = true;
        } else {
            m_app.installEventFilter(this);
        }
        return true;
    }

private:
    QApplication& m_app;
    QWidget& m_window;
};

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(glimora);
    QCoreApplication::setOrganizationName(QStringLiteral("Glimora"));
    QCoreApplication::setApplicationName(QStringLiteral("Glimora"));
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("glimora");

    if (mode == QLatin1String("bare")) {
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("DOI/Haze Meter"));
        window.resize(1000, 480);
        ShownReporter reporter(app, window);
        window.show();
        reporter.Wait();
        return 0;
    }
    if (mode == QLatin1String("glimora")) {
        // The program as it starts: the settings store and the simulated instrument of the
        // user's folders (the driver points XDG_CONFIG_HOME at a prepared folder).
        SimulatedMeterOptions options;
        options.showPanel = false;  // as the program starts it: the panel follows the window
        auto* meter = new SimulatedMeter(options);
        GlimoraApp window(meter, std::make_unique<support::SettingsStore>(support::SettingsStore::DefaultPath()));
        ShownReporter reporter(app, window);
        window.Load();
        reporter.Wait();
        return 0;
    }
    if (mode == QLatin1String("memory")) {
        const int rows = argc > 2 ? std::atoi(argv[2]) : 100000;
        QTemporaryDir dir;
        auto store = std::make_unique<support::SettingsStore>(dir.filePath(QStringLiteral("Glimora.ini")));
        store->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        RecordingSoundSink sounds;
        support::SetSounds(&sounds);
        auto* meter = new TestMeter;
        meter->logReads = false;
        GlimoraApp window(meter, std::move(store));
        window.Load();
        auto* comment = window.findChild<QLineEdit*>(QStringLiteral("UserCommentBox"));
        const long before = ResidentKb();
        const QDateTime start(QDate(2026, 1, 1), QTime(8, 0, 0));
        for (int i = 0; i < rows; ++i) {
            meter->SetNextReading(80 + (i % 200) * 0.1, 90 + (i % 70) * 0.1, 1.2, 3.4, QStringLiteral("Black Glass"),
                                  start.addSecs(i));
            comment->setText(QStringLiteral("Panel %1").arg(i % 50));
            meter->Emit(VantrelCntl::Event::ReadingReady);
            if (i % 1000 == 0) {
                meter->log.clear();
                sounds.sounds.clear();
                QCoreApplication::processEvents();
            }
        }
        QCoreApplication::processEvents();
        std::printf("rows %d rss_before_kb %ld rss_after_kb %ld\n", rows, before, ResidentKb());
        support::SetSounds(nullptr);
        return 0;
    }
    std::fprintf(stderr, "usage: bench_process bare|glimora|memory [rows]\n");
    return 2;
}
