// The simulated instrument: its optics as pure functions, its own store, and the instrument
// driven through the meter control's interface with zero delays and a fixed seed.
#include <QLayout>
#include <QSettings>
#include <QWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>
#include <sys/stat.h>

#include "simulator/InstrumentStore.h"
#include "simulator/Optics.h"
#include "simulator/SimulatedMeter.h"
#include "vantrel/AccessCode.h"

using namespace simulator;
using Event = VantrelCntl::Event;
using State = VantrelCntl::State;
Q_DECLARE_METATYPE(simulator::Key)

namespace {

MeterReading Fetch(SimulatedMeter& m, int calIndex = -1, bool pixelAvg = true)
{
    MeterReading r;
    r.PixelAvg = pixelAvg;
    m.GetReading(r, int16_t(calIndex < 0 ? m.CalIndex() : calIndex));
    return r;
}

}  // namespace

class TestSimulator : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<int> m_codes;  // the events of every meter made by make(), in order
    QString store(const QString& name = QStringLiteral("meter.ini")) const { return m_dir->filePath(name); }

    void preset(const QString& key, const QVariant& value, const QString& path = QString())
    {
        QSettings(path.isEmpty() ? store() : path, QSettings::IniFormat).setValue(key, value);
    }
    // An instrument as the end-to-end journeys set it up: a fixed seed and no chance failures.
    std::unique_ptr<SimulatedMeter> make(const QString& path = QString(), bool zeroDelays = true)
    {
        SimulatedMeterOptions o{path.isEmpty() ? store() : path, zeroDelays, false};
        QSettings s(o.storePath, QSettings::IniFormat);
        if (!s.contains(QStringLiteral("Instrument/Seed"))) s.setValue(QStringLiteral("Instrument/Seed"), 12345);
        s.setValue(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);
        s.sync();
        auto m = std::make_unique<SimulatedMeter>(o);
        connect(m.get(), &VantrelCntl::MeterEvent, this, [this](int code) { m_codes << code; });
        return m;
    }
    // Opens the link like the application does and waits until the meter is idle.
    static bool link(SimulatedMeter& m)
    {
        m.SetConnected(true);
        return QTest::qWaitFor([&] { return m.ConnectState() != VantrelCntl::Connecting; })
            && QTest::qWaitFor([&] { return !m.Busy() && m.MeterState() != State::GettingParameters; });
    }
    static MeterReading read(SimulatedMeter& m)
    {
        if (!m.TakeReading() || !QTest::qWaitFor([&] { return !m.Busy(); })) return MeterReading();
        return Fetch(m);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_codes.clear();
    }

    // Eight readings of each sample: their means lie in the sample's ranges.
    void readingFollowsTheSample_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<QList<double>>("ranges");  // gloss, DOI and haze: low and high each
        QTest::newRow("black glass tile") << 0 << QList<double>{99, 101, 99, 100, 0, 1};
        QTest::newRow("orange peel") << 2 << QList<double>{64, 68, 75, 79, 12, 16};
        QTest::newRow("aluminium") << 5 << QList<double>{1700, 2000, 90, 100, 0.5, 8};
    }
    void readingFollowsTheSample()
    {
        QFETCH(int, sample);
        QFETCH(QList<double>, ranges);
        Random random(12345);
        double mean[3] = {0, 0, 0};
        for (int i = 0; i < 8; ++i) {
            const Measurement m = Measure(Samples()[size_t(sample)], OpticalSettings{}, i, false, random);
            QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
            mean[0] += m.specular / 8, mean[1] += m.doi / 8, mean[2] += m.deg2 / 8;
        }
        for (int k = 0; k < 3; ++k)
            QVERIFY2(mean[k] >= ranges[2 * k] && mean[k] <= ranges[2 * k + 1], qPrintable(QString::number(mean[k])));
    }

    // The 301 points peak at the centre, or beside it by half the array's misplacement; a wider,
    // hazier sample keeps more light on the flanks than the glass tile.
    void profileOfAScan_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<int>("center");
        QTest::addColumn<int>("peak");
        QTest::newRow("orange peel") << 2 << 110 << 150;
        QTest::newRow("array centre 10 pixels high") << 0 << 120 << 145;
        QTest::newRow("array centre 10 pixels low") << 0 << 100 << 155;
    }
    void profileOfAScan()
    {
        QFETCH(int, sample);
        QFETCH(int, center);
        QFETCH(int, peak);
        Random random(3);
        const Profile p = ScanProfile(Samples()[size_t(sample)], OpticalSettings{.center = center}, random);
        QCOMPARE(int(std::max_element(p.begin(), p.end()) - p.begin()), peak);
        for (double v : p) QVERIFY(v >= 0 && std::abs(v * 1000 - std::round(v * 1000)) < 1e-6);
        const Profile glass = ScanProfile(Samples()[0], OpticalSettings{}, random);
        if (center == 110) QVERIFY(p[152] / p[150] > 2 * glass[152] / glass[150] && p[170] > 5 * glass[170]);
    }

    // A value is taken only inside its key's range, from the file or from a setter; a value
    // refused leaves the default. The file shows the value in force at once.
    void storeTakesOnlyValuesInRange_data()
    {
        QTest::addColumn<Key>("key");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("centre at its top") << Key::Center << "Settings/Center"
                                           << "255" << true << "255";
        QTest::newRow("centre too high") << Key::Center << "Settings/Center"
                                         << "256" << false << "110";
        QTest::newRow("black level past full scale") << Key::BlackLevel << "Settings/BlackLevel"
                                                     << "65536" << false << "32767";
        QTest::newRow("correction inside") << Key::Deg2Distortion << "Settings/Deg2Distortion"
                                           << "1.25" << true << "1.25";
        QTest::newRow("correction at its bound") << Key::DOIDistortion << "Settings/DOIDistortion"
                                                 << "10" << false << "1";
        QTest::newRow("standard past the last") << Key::CalIndex << "Settings/CalIndex"
                                                << "4" << false << "0";
        QTest::newRow("serial number cut") << Key::SerialNumber << "Instrument/SerialNumber"
                                           << "ABCDEFGHIJ" << true << "ABCDEFGH";
        QTest::newRow("switch spelled 0") << Key::Present << "Instrument/Present"
                                          << "0" << true << "false";
        QTest::newRow("largest seed") << Key::Seed << "Instrument/Seed"
                                      << "4294967295" << true << "4294967295";
        QTest::newRow("negative seed") << Key::Seed << "Instrument/Seed"
                                       << "-1" << false << "0";
    }
    void storeTakesOnlyValuesInRange()
    {
        QFETCH(Key, key);
        QFETCH(QString, path);
        QFETCH(QString, stored);
        QFETCH(QString, loaded);
        const QString set = store(QStringLiteral("set.ini"));
        QTEST(InstrumentStore(set).Set(key, stored), "taken");
        preset(path, stored);
        for (const QString& file : {store(), set}) {
            QCOMPARE(InstrumentStore(file).Text(key), loaded);
            QCOMPARE(QSettings(file, QSettings::IniFormat).value(path).toString(), loaded);
        }
    }

    // A start over a complete file (every value valid, the standards' dates kept) leaves the file
    // as it is: no rewrite, so no wait for the disk while the program starts. The file is
    // rewritten, under a new inode, only when something in it changes.
    void storeLeavesACompleteFileAlone()
    {
        const QString file = store();
        const auto inode = [&file] {
            struct stat st {};
            return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : ino_t(0);
        };
        InstrumentStore{file};
        const ino_t complete = inode();
        QVERIFY(complete != 0);
        InstrumentStore{file};
        QCOMPARE(inode(), complete);
        QVERIFY(InstrumentStore(file).Set(Key::Center, 120));
        QVERIFY(inode() != complete);
    }

    // With its real delays the handshake ends on its own: linked (state changes, then idle), or
    // not found when the instrument is off, also when it is unplugged or switched off halfway.
    void handshakeEndsOnItsOwn_data()
    {
        QTest::addColumn<QString>("startsWith");  // a switch of [Instrument] set to false
        QTest::addColumn<int>("halfway");  // 0 nothing, 1 cable pulled, 2 switched off
        QTest::addColumn<QList<int>>("events");
        QTest::newRow("undisturbed") << QString() << 0
                                     << QList<int>{Event::LinkChanged, Event::StateChanged, Event::Idle};
        QTest::newRow("switched off") << QStringLiteral("PoweredOn") << 0 << QList<int>{Event::LinkChanged};
        QTest::newRow("cable pulled halfway") << QString() << 1 << QList<int>{Event::LinkChanged};
        QTest::newRow("switched off halfway") << QString() << 2 << QList<int>{Event::LinkChanged};
    }
    void handshakeEndsOnItsOwn()
    {
        QFETCH(QString, startsWith);
        QFETCH(int, halfway);
        QFETCH(QList<int>, events);
        if (!startsWith.isEmpty()) preset(QStringLiteral("Instrument/") + startsWith, false);
        auto m = make(QString(), false);
        m->SetConnected(true);
        QCOMPARE(m->ConnectState(), 1);
        if (halfway == 1) m->SetCablePlugged(false);
        if (halfway == 2) m->PressPowerButton();
        QTRY_COMPARE_WITH_TIMEOUT(m_codes, events, 10000);
        QCOMPARE(m->Connected(), events.size() > 1);
        QCOMPARE(m->TakeReading(), events.size() > 1);
    }

    // Switched off, the meter refuses commands until Cancel wakes it; Cancel aborts a reading or
    // a scan. The meter's own button measures only while enabled.
    void switchingOffCancellingAndTheMeterButton()
    {
        auto m = make();
        QVERIFY(link(*m));
        m_codes.clear();
        m->TurnOff();
        QVERIFY(m->MeterState() == State::Off && m->Connected() && !m->TakeReading() && !m->Scan(true));
        m->Cancel();
        QTRY_VERIFY(m->MeterState() == State::Waiting && !m->Busy());
        QCOMPARE(m_codes, (QList<int>{Event::SwitchedOff, Event::StateChanged, Event::Idle}));

        m_codes.clear();
        QVERIFY(m->TakeReading());
        m->Cancel();
        QVERIFY(m->Scan(true));
        m->Cancel();
        ScanData scan;
        m->GetScanData(scan);
        QVERIFY(!scan.HasData && !Fetch(*m).Valid);
        m->SetEnableButton(false);
        m->PressMeasureButton();
        QVERIFY(!m->Busy());
        m->SetEnableButton(true);
        m->PressMeasureButton();
        QTRY_COMPARE(m_codes,
                     (QList<int>{Event::Busy, Event::Idle, Event::Busy, Event::Idle, Event::Busy, Event::ReadingReady,
                                 Event::Idle}));
        QVERIFY(Fetch(*m).Valid);
    }

    // The access code unlocks, any other number locks again. Calibrating stamps the standard in
    // use and no other; a cleared standard gives no valid reading until it is calibrated again.
    // The reading is of the sample under the head, against the standard in use.
    void unlockCalibrateAndClear()
    {
        auto m = make();
        QVERIFY(link(*m));
        QCOMPARE(m->Authority(), int16_t(1));
        QVERIFY(!m->Unlock(GlimoraAccessCode() + 1) && !m->Unlock(0));
        QVERIFY(m->Unlock(GlimoraAccessCode()));
        QCOMPARE(m->Authority(), int16_t(2));
        QVERIFY(!m->Unlock(1.5));
        QCOMPARE(m->Authority(), int16_t(1));

        m->SetCalIndex(2);
        m->SetSample(5);  // aluminium: far above the glass tile's 100
        const QDateTime before = Fetch(*m, 2).CalTimeStamp, otherStamp = Fetch(*m, 1).CalTimeStamp;
        QVERIFY(m->Calibrate());
        QTRY_VERIFY(!m->Busy());
        const MeterReading r = read(*m);
        QVERIFY(r.Valid && r.Specular() > 1500 && r.CalTimeStamp != before && Fetch(*m, 1).CalTimeStamp == otherStamp);
        QCOMPARE(r.CalStd(), QString::fromLatin1(Standards()[2].name));
        // Another standard scales the gloss by its own assigned value and nothing else; total
        // energy takes in more of the haze than the pixel area average.
        const MeterReading other = Fetch(*m, 1), byEnergy = Fetch(*m, 2, false);
        QVERIFY(other.Specular() < r.Specular() && r.Specular() < 1.01 * other.Specular() && other.DOI() == r.DOI()
                && other.Deg2() == r.Deg2());
        QVERIFY(byEnergy.Specular() > r.Specular() + 5);

        m->ClearCalibration();
        QCOMPARE(Fetch(*m, 3).Message(), QStringLiteral("Not calibrated"));
        QVERIFY(!Fetch(*m, 2).Valid);
        QVERIFY(m->Calibrate());
        QTRY_VERIFY(!m->Busy());
        QVERIFY(read(*m).Valid && !Fetch(*m, 0).Valid);
    }

    // Below 15 % the battery warns once (again after a recharge) and the reading carries the
    // notice; empty, the meter switches off and stays off.
    void batteryWarnsOnceAndSwitchesOffEmpty()
    {
        auto m = make();
        QVERIFY(link(*m));
        m->SetBatteryPercent(15);
        QVERIFY(m->BatteryState() == VantrelCntl::Battery::Ok && !m_codes.contains(Event::Warning));
        m->SetBatteryPercent(14);
        m->SetBatteryPercent(12);
        QVERIFY(m->BatteryState() == VantrelCntl::Battery::Low && m_codes.count(Event::Warning) == 1);
        const MeterReading r = read(*m);
        QVERIFY(r.Valid);
        QCOMPARE(r.Message(), QStringLiteral("Battery low"));
        m->SetBatteryPercent(50);
        m->SetBatteryPercent(10);
        QCOMPARE(m_codes.count(Event::Warning), 2);

        m->SetBatteryPercent(0);
        QCOMPARE(m->MeterState(), State::Off);
        m->PressPowerButton();
        QCOMPARE(m->MeterState(), State::Off);
    }

    // Two meters with an auto power-off of one and two seconds: the first, kept alive, is still on
    // when the second has switched itself off.
    void autoPowerOffUnlessKeptAlive()
    {
        const QString keptPath = store(QStringLiteral("kept.ini")), idlePath = store(QStringLiteral("idle.ini"));
        preset(QStringLiteral("Instrument/AutoOffSeconds"), 1, keptPath);
        preset(QStringLiteral("Instrument/AutoOffSeconds"), 2, idlePath);
        auto kept = make(keptPath);
        kept->SetKeepAlive(true);
        QVERIFY(link(*kept));
        auto idle = make(idlePath);
        QVERIFY(link(*idle));
        QTRY_COMPARE_WITH_TIMEOUT(idle->MeterState(), 2, 5000);
        QCOMPARE(kept->MeterState(), State::Waiting);
        kept->SetKeepAlive(false);
        QTRY_COMPARE_WITH_TIMEOUT(kept->MeterState(), 2, 5000);
    }

    // A message longer than the display is cut to it, the panel keeping its size; the error leaves
    // the display when the meter is switched off and on, and when its cable is pulled and put back.
    void displayKeepsItsSizeAndForgetsAnOldError()
    {
        auto m = make();
        m->FrontPanel()->show();
        const QSize size = m->FrontPanel()->size();
        QVERIFY(link(*m));
        m->SetCenter(200);  // "Specular peak outside the measuring window"
        for (bool unplug : {false, true}) {
            QVERIFY(!read(*m).Valid && m->DisplayText().contains(QStringLiteral("ERR")));
            m->FrontPanel()->layout()->activate();
            QCOMPARE(m->FrontPanel()->size(), size);
            for (bool back : {false, true}) unplug ? m->SetCablePlugged(back) : m->PressPowerButton();
            QTRY_VERIFY(m->Connected() && !m->Busy());
            QVERIFY2(!m->DisplayText().contains(QStringLiteral("ERR")), qPrintable(m->DisplayText()));
        }
    }

    // A seed in the store repeats the run, readings and scans alike, with no chance failure.
    void storedSeedRepeatsTheRun()
    {
        QList<double> runs[2];
        for (QList<double>& values : runs) {
            init();
            auto m = make();
            QVERIFY(link(*m));
            for (int i = 0; i < 200; ++i) {
                const MeterReading r = read(*m);
                QVERIFY2(r.Valid, qPrintable(r.Message()));
                values << r.Specular() << r.DOI() << r.Deg2() << r.Deg15();
            }
            QVERIFY(m->Scan(true));
            QTRY_VERIFY(!m->Busy());
            ScanData scan;
            m->GetScanData(scan);
            for (int i = 0; i < ScanData::PointCount; ++i) values << scan.Point(i);
        }
        QCOMPARE(runs[0], runs[1]);
        QVERIFY(runs[0].at(0) != runs[0].at(4));  // noise is there
    }
};

QTEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
