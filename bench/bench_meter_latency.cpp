// The time from Take Reading to the reading's row in the list, through the real main window:
//   bench_meter_latency simulated          the simulated instrument with zero delays
//   bench_meter_latency serial <port> [baud]
//                                          the serial meter control at that baud rate (115200 unless
//                                          given) on glimora-meter-emulator --instant --baud <baud>
//                                          --store <file with [Instrument] OccasionalInvalidReadings=false>
// Prints the median, lowest and highest of 50 readings in milliseconds.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/GlimoraApp.h"
#include "metercontrols/serial/SerialMeter.h"
#include "readings/ReadingsModel.h"
#include "readings/ReadingsView.h"
#include "simulator/SimulatedMeter.h"
#include "support/SettingsStore.h"
#include "support/Sounds.h"
#include "tests/common/RecordingSoundSink.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(glimora);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QTemporaryDir dir;
    auto store = std::make_unique<support::SettingsStore>(dir.filePath(QStringLiteral("Glimora.ini")));
    store->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
    RecordingSoundSink sounds;
    support::SetSounds(&sounds);

    VantrelCntl* meter = nullptr;
    if (mode == QLatin1String("simulated")) {
        SimulatedMeterOptions o;
        o.storePath = dir.filePath(QStringLiteral("meter.ini"));
        QSettings preset(o.storePath, QSettings::IniFormat);  // as the emulator is started: no chance failures
        preset.setValue(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);
        preset.sync();
        o.zeroDelays = true;
        o.showPanel = false;
        meter = new SimulatedMeter(o);
    } else if (mode == QLatin1String("serial") && argc > 2) {
        SerialMeterOptions o;
        o.port = QString::fromLocal8Bit(argv[2]);
        if (argc > 3) o.baudRate = QByteArray(argv[3]).toInt();
        meter = new SerialMeter(o);
    } else {
        std::fprintf(stderr, "usage: bench_meter_latency simulated | serial <port> [baud]\n");
        return 2;
    }
    GlimoraApp window(meter, std::move(store));
    window.Load();
    auto* take = window.findChild<QAction*>(QStringLiteral("mnuDataTakeReading"));
    auto* list = qobject_cast<ReadingsModel*>(window.findChild<ReadingsView*>(QStringLiteral("LV1"))->model());
    const auto waitFor = [](auto done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        return done();
    };
    std::vector<double> ms;
    while (ms.size() < 50) {
        if (!waitFor([&] { return take && take->isEnabled() && meter->MeterState() == VantrelCntl::State::Waiting; })) {
            std::fprintf(stderr, "the meter is not ready\n");
            return 1;
        }
        const int rows = list->RowCount();
        QElapsedTimer t;
        t.start();
        take->trigger();
        if (!waitFor([&] { return list->RowCount() > rows || !meter->Connected(); }) || !meter->Connected()) {
            std::fprintf(stderr, "no row\n");
            return 1;
        }
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        waitFor([&] { return take->isEnabled(); });
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s: median %.2f ms, lowest %.2f ms, highest %.2f ms over %zu readings\n", qPrintable(mode),
                (ms[24] + ms[25]) / 2, ms.front(), ms.back(), ms.size());
    support::SetSounds(nullptr);
    return 0;
}
