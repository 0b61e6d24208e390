// One suite of the meter control contract, run against the simulated instrument and against the
// serial meter control talking to glimora-meter-emulator on a pseudo-terminal; then the serial
// link under each fault the emulator can inject.
#include <QHash>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

#include "metercontrols/serial/SerialMeter.h"
#include "simulator/SimulatedMeter.h"
#include "vantrel/AccessCode.h"

namespace {

// A meter control under test with everything it raised, and the reading or scan fetched the
// moment its event came (as the application does).
struct Rig {
    std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    std::unique_ptr<QProcess> emulator;
    std::unique_ptr<VantrelCntl> meter;
    QList<int> codes, states;
    MeterReading reading;
    ScanData scan;

    ~Rig()
    {
        meter.reset();
        if (emulator) {
            emulator->kill();
            emulator->waitForFinished();
        }
    }
    QString store() const { return dir->filePath(QStringLiteral("meter.ini")); }
    void preset(const QString& key, const QVariant& value) const
    {
        QSettings s(store(), QSettings::IniFormat);
        s.setValue(key, value);
    }
    bool start(const QString& kind, const QStringList& faults = {}, const QString& port = QString())
    {
        preset(QStringLiteral("Instrument/Seed"), 12345);
        preset(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);
        if (kind == QLatin1String("simulated")) {
            SimulatedMeterOptions o;
            o.storePath = store();
            o.zeroDelays = true;
            o.showPanel = false;
            meter = std::make_unique<SimulatedMeter>(o);
        } else {
            SerialMeterOptions o;
            o.port = port;
            o.replyTimeoutMs = 500;
            if (port.isEmpty()) {
                emulator = std::make_unique<QProcess>();
                emulator->start(QStringLiteral(GLIMORA_EMULATOR),
                                QStringList{"--instant", "--store", store(), "--link", dir->filePath("port")} + faults);
                if (!emulator->waitForReadyRead(10000)) return false;
                o.port = QString::fromLocal8Bit(emulator->readLine()).trimmed();
            }
            meter = std::make_unique<SerialMeter>(o);
        }
        QObject::connect(meter.get(), &VantrelCntl::MeterEvent, meter.get(), [this](int code) {
            codes << code;
            states << meter->MeterState();
            if (code == 12) {
                reading = MeterReading();
                meter->GetReading(reading, meter->CalIndex());
            }
            if (code == 21) meter->GetScanData(scan);
        });
        return true;
    }
    // Idle: linked, on, and no operation since the last idle event.
    bool settled() const { return meter->Connected() && meter->MeterState() == 1 && codes.lastIndexOf(10) >= codes.lastIndexOf(9); }
    bool link(int ms = 5000)
    {
        meter->SetConnected(true);
        return QTest::qWaitFor([&] { return meter->ConnectState() != 1; }, ms) && QTest::qWaitFor([&] { return settled(); }, ms);
    }
    // Runs an operation and waits until the meter is idle again; the events it raised.
    QList<int> run(bool (VantrelCntl::*operation)(), int ms = 5000)
    {
        codes.clear();
        states.clear();
        if (!(meter.get()->*operation)()) return {-1};
        if (!QTest::qWaitFor([&] { return codes.contains(10) && settled(); }, ms)) codes << -2;
        return codes;
    }
    bool read() { return run(&VantrelCntl::TakeReading) == QList<int>{9, 12, 10} && reading.Valid; }
};

const QStringList kKinds{QStringLiteral("simulated"), QStringLiteral("serial")};

}  // namespace

class TestMeterControls : public QObject {
    Q_OBJECT

    // What the first row saw, for the other to match: the same seed gives the same values.
    QHash<QString, QList<double>> m_seen;

    void kinds()
    {
        QTest::addColumn<QString>("kind");
        for (const QString& kind : kKinds) QTest::newRow(qPrintable(kind)) << kind;
    }
    void sameAsBefore(const QString& what, const QList<double>& values)
    {
        if (!m_seen.contains(what)) m_seen.insert(what, values);
        else QCOMPARE(values, m_seen.value(what));
    }

private slots:
    void linksAndIdentifies_data() { kinds(); }
    void linksAndIdentifies()
    {
        QFETCH(QString, kind);
        Rig rig;
        QVERIFY(rig.start(kind));
        QCOMPARE(rig.meter->SerialNumber(), QString());
        rig.meter->SetConnected(true);
        QCOMPARE(rig.meter->ConnectState(), 1);
        QVERIFY(rig.link());
        QCOMPARE(rig.codes.first(), 2);
        QCOMPARE(rig.meter->ConnectState(), 2);
        QCOMPARE(rig.meter->SerialNumber(), QStringLiteral("HZ4120"));
        QCOMPARE(rig.meter->Version(), QStringLiteral("2.14"));
        QCOMPARE(rig.meter->BatteryState(), 2);
        QCOMPARE(rig.meter->Authority(), int16_t(1));
        rig.meter->SetConnected(false);
        QVERIFY(!rig.meter->Connected());
        QVERIFY(!rig.meter->TakeReading());
    }

    void operationsRaiseBusyAndIdle_data() { kinds(); }
    void operationsRaiseBusyAndIdle()
    {
        QFETCH(QString, kind);
        Rig rig;
        QVERIFY(rig.start(kind));
        QVERIFY(rig.link());
        rig.codes.clear();
        QVERIFY(rig.meter->TakeReading());
        QVERIFY(!rig.meter->TakeReading());   // one at a time
        QVERIFY(!rig.meter->Scan(true));
        QTRY_VERIFY(rig.codes.contains(10) && rig.settled());
        QCOMPARE(rig.codes, (QList<int>{9, 12, 10}));
        const MeterReading& r = rig.reading;
        QVERIFY(r.Valid);
        QVERIFY(std::abs(r.Specular() - 100) < 2);   // the black glass tile under the head
        QCOMPARE(r.CalStd(), QStringLiteral("Black Glass"));
        QCOMPARE(r.SerialNo, QStringLiteral("HZ4120"));
        QCOMPARE(r.CalTimeStamp, QDateTime(QDate(2024, 1, 15), QTime(9, 30)));
        MeterReading byEnergy;
        byEnergy.PixelAvg = false;
        rig.meter->GetReading(byEnergy, rig.meter->CalIndex());
        sameAsBefore(QStringLiteral("reading"), {r.Specular(), byEnergy.Specular(), r.DOI(), r.Deg2(), r.Deg15()});

        QCOMPARE(rig.run(&VantrelCntl::Normalize), (QList<int>{9, 10}));
        rig.codes.clear();
        rig.states.clear();
        QVERIFY(rig.meter->Scan(true));
        QTRY_VERIFY(rig.codes.contains(10) && rig.settled());
        QCOMPARE(rig.codes, (QList<int>{9, 21, 10}));
        QCOMPARE(rig.states.at(1), 3);   // scanning
        QVERIFY(rig.scan.HasData);
        QList<double> profile;
        for (int i = 0; i < ScanData::PointCount; ++i) profile << rig.scan.Point(i);
        QVERIFY(profile.at(150) > profile.at(100) && profile.at(150) > profile.at(200));
        sameAsBefore(QStringLiteral("scan"), profile);

        for (auto op : {&VantrelCntl::Calibrate, &VantrelCntl::AdvancedCorrection}) {
            QCOMPARE(rig.run(op), (QList<int>{9, 10}));
            QCOMPARE(rig.states.first(), 4);   // running calibration or correction
        }
    }

    void settingsAndAccess_data() { kinds(); }
    void settingsAndAccess()
    {
        QFETCH(QString, kind);
        Rig rig;
        QVERIFY(rig.start(kind));
        QVERIFY(rig.link());
        VantrelCntl& m = *rig.meter;
        m.SetCenter(120);
        m.SetDOIDistortion(1.2345);
        m.SetBlackLevel(40000);
        m.SetSerialNumber(QStringLiteral("HZ12345678"));
        m.SetCalIndex(1);
        QTRY_COMPARE(m.SerialNumber(), QStringLiteral("HZ123456"));   // the meter keeps 8 characters
        QCOMPARE(m.Center(), int16_t(120));
        QCOMPARE(m.DOIDistortion(), 1.2345);
        QCOMPARE(m.BlackLevel(), 40000);
        QCOMPARE(m.CalIndex(), int16_t(1));
        m.SetCenter(300);   // a value the meter cannot use leaves the setting as it was
        QTRY_COMPARE(m.Center(), int16_t(120));

        QVERIFY(rig.read());
        QCOMPARE(rig.reading.CalStd(), QStringLiteral("Gloss 60"));
        QCOMPARE(rig.reading.SerialNo, QStringLiteral("HZ123456"));

        QVERIFY(!m.Unlock(GlimoraAccessCode() + 1));
        QCOMPARE(m.Authority(), int16_t(1));
        QVERIFY(m.Unlock(GlimoraAccessCode()));
        QTRY_COMPARE(m.Authority(), int16_t(2));
    }

    void switchedOffAndOnAgain_data() { kinds(); }
    void switchedOffAndOnAgain()
    {
        QFETCH(QString, kind);
        Rig rig;
        QVERIFY(rig.start(kind));
        QVERIFY(rig.link());
        rig.codes.clear();
        rig.meter->TurnOff();
        QTRY_COMPARE(rig.meter->MeterState(), 2);
        QVERIFY(rig.codes.contains(3));
        QVERIFY(rig.meter->Connected());
        QVERIFY(!rig.meter->TakeReading());
        rig.meter->Cancel();   // the meter is switched on again
        QTRY_VERIFY(rig.settled());
        QVERIFY(rig.read());
    }

    // A reading started on the meter's own button arrives as one from the program does.
    void meterButtonDelivers_data() { kinds(); }
    void meterButtonDelivers()
    {
        QFETCH(QString, kind);
        Rig rig;
        rig.preset(QStringLiteral("Settings/EnableButton"), true);
        QVERIFY(rig.start(kind));
        QVERIFY(rig.link());
        rig.codes.clear();
        if (auto* simulated = qobject_cast<SimulatedMeter*>(rig.meter.get())) simulated->PressMeasureButton();
        else QVERIFY(rig.emulator->write("button\n") > 0);
        QTRY_COMPARE(rig.codes, (QList<int>{9, 12, 10}));
        QVERIFY(rig.reading.Valid);
    }

    // The handshake always ends: not found when the meter is off or there is no port.
    void notFound_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("port");
        QTest::newRow("simulated, switched off") << "simulated" << QString();
        QTest::newRow("serial, switched off") << "serial" << QString();
        QTest::newRow("serial, no such port") << "serial" << QStringLiteral("/nonexistent/ttyUSB9");
    }
    void notFound()
    {
        QFETCH(QString, kind);
        QFETCH(QString, port);
        Rig rig;
        rig.preset(QStringLiteral("Instrument/PoweredOn"), false);
        QVERIFY(rig.start(kind, {}, port));
        rig.meter->SetConnected(true);
        QCOMPARE(rig.meter->ConnectState(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(rig.meter->ConnectState() != 1, 5000);
        QVERIFY(!rig.meter->Connected());
        QCOMPARE(rig.codes, QList<int>{2});
        QVERIFY(!rig.meter->TakeReading());
    }

    // Each fault of the line: readings still arrive, or the link is reported lost (and comes
    // back with the port); never a hang, never a half reading.
    void serialFaults_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QString>("outcome");   // works, lost, back
        QTest::newRow("slow replies") << QStringList{"--delay-replies", "200"} << "works";
        QTest::newRow("lines dropped") << QStringList{"--drop-lines", "6"} << "works";
        QTest::newRow("bytes garbled") << QStringList{"--garble", "5"} << "works";
        QTest::newRow("unknown events") << QStringList{"--unknown-events"} << "works";
        QTest::newRow("goes silent") << QStringList{"--silent-after", "16"} << "lost";
        QTest::newRow("emulator stopped") << QStringList() << "stopped";
        QTest::newRow("unplugged and plugged in") << QStringList{"--unplug-after", "16", "--replug-after", "300"} << "back";
    }
    void serialFaults()
    {
        QFETCH(QStringList, fault);
        QFETCH(QString, outcome);
        Rig rig;
        QVERIFY(rig.start(QStringLiteral("serial"), fault));
        QVERIFY(rig.link(20000));
        if (outcome == QLatin1String("works")) {
            int valid = 0;
            for (int attempt = 0; attempt < 6 && valid < 2; ++attempt) {
                QVERIFY(QTest::qWaitFor([&] { return rig.settled(); }, 10000));
                rig.codes.clear();
                if (!rig.meter->TakeReading()) continue;
                // Whatever the line lost, the meter is reported idle again.
                QVERIFY(QTest::qWaitFor([&] { return rig.codes.contains(10) && rig.settled(); }, 10000));
                if (rig.codes.contains(12) && rig.reading.Valid) ++valid;
            }
            QCOMPARE(valid, 2);
            QVERIFY(rig.meter->Connected());
            return;
        }
        rig.codes.clear();
        if (outcome == QLatin1String("stopped")) rig.emulator->kill();
        else QVERIFY(rig.meter->TakeReading());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.meter->Connected(), 10000);
        QCOMPARE(rig.codes.last(), 2);
        QVERIFY(!rig.meter->TakeReading());
        if (outcome == QLatin1String("back")) {
            QTRY_VERIFY_WITH_TIMEOUT(rig.meter->Connected(), 10000);
            QCOMPARE(rig.codes.last(), 2);
            QVERIFY(rig.read());
        }
    }
};

QTEST_GUILESS_MAIN(TestMeterControls)
#include "tst_metercontrols.moc"
