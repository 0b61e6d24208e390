// The meter control library: the reading accumulator and the simulated instrument, driven
// through the meter control's own interface with zero delays and a fixed random seed.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

#include "tests/common/ModalHelper.h"
#include "vantrel/AccessCode.h"
#include "vantrel/SimulatedMeter.h"

namespace {

// Every event with the meter state seen when it arrived.
struct EventLog {
    QList<int> codes;
    QList<int> states;
    void attach(SimulatedMeter* m)
    {
        QObject::connect(m, &VantrelCntl::MeterEvent, m, [this, m](int code) {
            codes << code;
            states << m->MeterState();
        });
    }
    void clear() { codes.clear(), states.clear(); }
};

MeterReading Fetch(SimulatedMeter& m, int calIndex = -1, bool pixelAvg = true)
{
    MeterReading r;
    r.PixelAvg = pixelAvg;
    m.GetReading(r, int16_t(calIndex < 0 ? m.CalIndex() : calIndex));
    return r;
}

}  // namespace

class TestVantrel : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString store() const { return m_dir->filePath(QStringLiteral("meter.ini")); }

    std::unique_ptr<SimulatedMeter> make(const QString& path = QString(), quint32 seed = 12345, bool panel = false)
    {
        SimulatedMeterOptions o;
        o.storePath = path.isEmpty() ? store() : path;
        o.deterministic = true;
        o.seed = seed;
        o.showPanel = panel;
        return std::make_unique<SimulatedMeter>(o);
    }
    void preset(const QString& key, const QVariant& value, const QString& path = QString())
    {
        QSettings s(path.isEmpty() ? store() : path, QSettings::IniFormat);
        s.setValue(key, value);
    }
    // Opens the link like the application does: the handshake runs (ConnectState Connecting) and
    // its end, linked or not, is reported by the event LinkChanged. Returns whether both held.
    static bool link(SimulatedMeter& m)
    {
        bool reported = false;
        const auto c = QObject::connect(&m, &VantrelCntl::MeterEvent, [&](int code) { reported = reported || code == VantrelCntl::Event::LinkChanged; });
        m.SetConnected(true);
        const bool ran = m.ConnectState() == VantrelCntl::Connecting;
        testing::PumpUntil([&] { return reported; }, 5000);
        QObject::disconnect(c);
        testing::PumpUntil([&] { return !m.Busy() && m.MeterState() != 0; }, 2000);
        return ran && reported && m.ConnectState() != VantrelCntl::Connecting;
    }
    static bool idle(SimulatedMeter& m) { return testing::PumpUntil([&] { return !m.Busy(); }, 3000); }
    static MeterReading read(SimulatedMeter& m)
    {
        if (!m.TakeReading()) return MeterReading();
        idle(m);
        return Fetch(m);
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void accumulatorFollowsItsContract()
    {
        MeterReading acc;
        acc.Clear();
        QVERIFY(acc.HasMessage());
        QCOMPARE(acc.Count(), 0L);

        MeterReading a, b;
        a.SetValues(10, 20, 30, 40);
        a.SetCalStd(QStringLiteral("Black Glass"));
        b.SetValues(20, 40, 50, 60);
        b.SetCalStd(QStringLiteral("Mid Gloss"));
        acc.Add(a);
        QVERIFY(!acc.HasMessage());
        QCOMPARE(acc.CalStd(), QStringLiteral("Black Glass"));
        acc.Add(b);
        QVERIFY(acc.HasMessage());
        QCOMPARE(acc.Specular(), 15.0);
        QCOMPARE(acc.Deg15(), 50.0);

        acc.Remove(20, 40, 50, 60);
        QCOMPARE(acc.DOI(), 20.0);
        acc.ClearMessage();
        QVERIFY(!acc.HasMessage());
        acc.Remove(10, 20, 30, 40);
        QVERIFY(acc.HasMessage());
        QCOMPARE(acc.Count(), 0L);
        QCOMPARE(acc.Deg2(), 0.0);
        acc.ClearMessage();   // nothing held: the averages stay hidden
        QVERIFY(acc.HasMessage());
    }

    void handshakeLinksOrReportsNotFound()
    {
        auto m = make();
        EventLog log;
        log.attach(m.get());
        QCOMPARE(m->SerialNumber(), QString());
        QVERIFY(link(*m));
        QVERIFY(m->Connected());
        QCOMPARE(m->ConnectState(), 2);
        QCOMPARE(m->MeterState(), 1);
        QCOMPARE(log.codes, (QList<int>{2, 1, 10}));
        QCOMPARE(log.states.at(1), 0);   // getting parameters
        QCOMPARE(m->SerialNumber(), QStringLiteral("HZ4120"));
        QCOMPARE(m->Version(), QStringLiteral("2.14"));
        QCOMPARE(m->BatteryState(), 2);
        m->SetConnected(false);
        QVERIFY(!m->Connected());
        QVERIFY(!m->TakeReading());
        m.reset();

        for (const char* key : {"Instrument/Present", "Instrument/Plugged", "Instrument/PoweredOn"}) {
            init();
            preset(QString::fromLatin1(key), false);
            auto absent = make();
            QVERIFY2(link(*absent), key);
            QVERIFY2(!absent->Connected(), key);
            QCOMPARE(absent->ConnectState(), 0);
        }
        // The switched-off meter of the last round links once it is switched on.
        auto off = make();
        link(*off);
        QVERIFY(!off->Connected());
        off->PressPowerButton();
        QVERIFY(testing::PumpUntil([&] { return off->Connected() && off->MeterState() == 1 && !off->Busy(); }));
    }

    void operationsRaiseBusyAndIdleEvents()
    {
        auto m = make();
        link(*m);
        EventLog log;
        log.attach(m.get());

        QVERIFY(m->TakeReading());
        QVERIFY(!m->TakeReading());   // busy
        QVERIFY(!m->Scan(true));
        QVERIFY(!m->Calibrate());
        QVERIFY(idle(*m));
        QCOMPARE(log.codes, (QList<int>{9, 12, 10}));
        const MeterReading r = Fetch(*m);
        QVERIFY(r.Valid);
        QCOMPARE(r.CalStd(), QStringLiteral("Black Glass"));
        QCOMPARE(r.SerialNo, QStringLiteral("HZ4120"));
        QCOMPARE(r.CalTimeStamp, QDateTime(QDate(2024, 1, 15), QTime(9, 30)));
        QVERIFY(std::llabs(r.TimeStamp.secsTo(QDateTime::currentDateTime())) < 5);

        ScanData scan;
        m->GetScanData(scan);
        QVERIFY(!scan.HasData);
        log.clear();
        QVERIFY(m->Scan(true));
        QCOMPARE(m->MeterState(), 3);
        QVERIFY(idle(*m));
        QCOMPARE(log.codes, (QList<int>{9, 21, 10}));
        QCOMPARE(log.states.at(1), 3);
        m->GetScanData(scan);
        QVERIFY(scan.HasData);

        for (auto op : {&SimulatedMeter::Calibrate, &SimulatedMeter::AdvancedCorrection}) {
            log.clear();
            QVERIFY((m.get()->*op)());
            QCOMPARE(m->MeterState(), 4);
            QVERIFY(idle(*m));
            QCOMPARE(log.codes, (QList<int>{9, 10}));
            QCOMPARE(m->MeterState(), 1);
        }
        log.clear();
        QVERIFY(m->Normalize());
        QVERIFY(idle(*m));
        QCOMPARE(log.codes, (QList<int>{9, 10}));
    }

    void turnOffCancelAndTheMeterButton()
    {
        auto m = make();
        link(*m);
        EventLog log;
        log.attach(m.get());

        m->TurnOff();
        QCOMPARE(m->MeterState(), 2);
        QVERIFY(m->Connected());
        QCOMPARE(log.codes, QList<int>{3});
        QVERIFY(!m->TakeReading());
        QVERIFY(!m->Scan(true));
        QVERIFY(!m->Normalize());
        m->PressMeasureButton();
        QCOMPARE(log.codes.size(), 1);
        m->PressPowerButton();
        QCOMPARE(m->MeterState(), 0);
        QVERIFY(idle(*m));
        QCOMPARE(m->MeterState(), 1);
        QCOMPARE(log.codes.last(), 10);
        m->TurnOff();
        m->Cancel();   // wakes it too
        QVERIFY(idle(*m));
        QCOMPARE(m->MeterState(), 1);

        // Cancel aborts: no reading and no scan is delivered.
        log.clear();
        QVERIFY(m->TakeReading());
        m->Cancel();
        QVERIFY(m->Scan(true));
        m->Cancel();
        QTest::qWait(20);
        QCOMPARE(log.codes, (QList<int>{9, 10, 9, 10}));
        ScanData scan;
        m->GetScanData(scan);
        QVERIFY(!scan.HasData);
        QVERIFY(!Fetch(*m).Valid);

        // The meter's own button measures only while enabled.
        m->SetEnableButton(false);
        log.clear();
        m->PressMeasureButton();
        QTest::qWait(20);
        QVERIFY(log.codes.isEmpty());
        m->SetEnableButton(true);
        m->PressMeasureButton();
        QVERIFY(idle(*m));
        QCOMPARE(log.codes, (QList<int>{9, 12, 10}));
        QVERIFY(Fetch(*m).Valid);
    }

    void cableAndUnlock()
    {
        auto m = make();
        link(*m);
        EventLog log;
        log.attach(m.get());
        m->SetCablePlugged(false);
        QVERIFY(!m->Connected());
        QCOMPARE(m->ConnectState(), 0);
        QCOMPARE(log.codes, QList<int>{2});
        QVERIFY(!m->TakeReading());
        m->SetCablePlugged(true);
        QCOMPARE(m->ConnectState(), 1);
        QVERIFY(testing::PumpUntil([&] { return m->Connected() && !m->Busy(); }));
        QCOMPARE(log.codes, (QList<int>{2, 2, 1, 10}));

        QCOMPARE(m->Authority(), int16_t(1));
        QVERIFY(!m->Unlock(GlimoraAccessCode() + 1));
        QVERIFY(!m->Unlock(0));
        QVERIFY(m->Unlock(GlimoraAccessCode()));
        QCOMPARE(m->Authority(), int16_t(2));
        QVERIFY(!m->Unlock(1.5));
        QCOMPARE(m->Authority(), int16_t(1));
    }

    void calibrationStampsAndClearing()
    {
        auto m = make();
        link(*m);
        m->SetCalIndex(2);
        const QDateTime before = Fetch(*m, 2).CalTimeStamp;
        QVERIFY(m->Calibrate());
        QVERIFY(idle(*m));
        const MeterReading r = read(*m);
        QVERIFY(r.Valid);
        QCOMPARE(r.CalStd(), QStringLiteral("Mid Gloss"));
        QVERIFY(r.CalTimeStamp != before);
        QVERIFY(std::llabs(r.CalTimeStamp.secsTo(QDateTime::currentDateTime())) < 5);
        QCOMPARE(Fetch(*m, 1).CalTimeStamp, QDateTime(QDate(2024, 1, 15), QTime(9, 42)));

        m->ClearCalibration();
        for (int i = 0; i < 4; ++i) {
            const MeterReading c = Fetch(*m, i);
            QVERIFY(!c.Valid);
            QCOMPARE(c.Message(), QStringLiteral("Not calibrated"));
        }
        QVERIFY(m->Calibrate());
        QVERIFY(idle(*m));
        QVERIFY(read(*m).Valid);
        QVERIFY(!Fetch(*m, 0).Valid);
        QVERIFY(!Fetch(*m, 7).Valid);
    }

    void stateOutlivesTheInstance()
    {
        {
            auto m = make();
            link(*m);
            m->SetSerialNumber(QStringLiteral("HZ77"));
            m->SetCenter(112);
            m->SetDutyCycle(40);
            m->SetRefCenter(145);
            m->SetRefDutyCycle(90);
            m->SetIntensity(50);
            m->SetBlackLevel(30000);
            m->SetDeg2Distortion(1.25);
            m->SetDOIDistortion(0.9);
            m->SetCalIndex(3);
            m->SetKeepAlive(true);
            m->SetSample(2);
            m->SetBatteryPercent(60);
            m->ClearCalibration();
            QVERIFY(m->Calibrate());
            QVERIFY(idle(*m));
            m->SetCenter(-5);   // not taken
        }
        auto m = make();
        link(*m);
        QCOMPARE(m->SerialNumber(), QStringLiteral("HZ77"));
        QCOMPARE(m->Center(), int16_t(112));
        QCOMPARE(m->DutyCycle(), int16_t(40));
        QCOMPARE(m->RefCenter(), int16_t(145));
        QCOMPARE(m->RefDutyCycle(), int16_t(90));
        QCOMPARE(m->Intensity(), int16_t(50));
        QCOMPARE(m->BlackLevel(), 30000);
        QCOMPARE(m->Deg2Distortion(), 1.25);
        QCOMPARE(m->DOIDistortion(), 0.9);
        QCOMPARE(m->CalIndex(), int16_t(3));
        QVERIFY(m->KeepAlive());
        QCOMPARE(m->Sample(), 2);
        QCOMPARE(m->BatteryPercent(), 60);
        QVERIFY(Fetch(*m, 3).CalTimeStamp.isValid());
        QVERIFY(!Fetch(*m, 0).CalTimeStamp.isValid());

        QSettings file(store(), QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("Instrument/BatteryPercent")).toInt(), 60);
        QCOMPARE(file.value(QStringLiteral("Standard0/Cleared")).toString(), QStringLiteral("true"));
        QCOMPARE(file.value(QStringLiteral("Standard3/Name")).toString(), QStringLiteral("Clear Coat"));
    }

    void batteryWarnsOnceAndRunsDown()
    {
        preset(QStringLiteral("Instrument/BatteryPercent"), 20);
        auto m = make();
        link(*m);
        EventLog log;
        log.attach(m.get());
        for (int i = 0; i < 10; ++i) {
            QVERIFY(m->Scan(true));
            idle(*m);
        }
        QCOMPARE(m->BatteryPercent(), 19);
        QVERIFY(!log.codes.contains(6));
        m->SetBatteryPercent(14);
        QCOMPARE(m->BatteryState(), 1);
        m->SetBatteryPercent(12);
        QCOMPARE(log.codes.count(6), 1);
        const MeterReading r = read(*m);
        QVERIFY(r.Valid);
        QCOMPARE(r.Message(), QStringLiteral("Battery low"));
        m->SetBatteryPercent(50);
        QCOMPARE(m->BatteryState(), 2);
        m->SetBatteryPercent(10);
        QCOMPARE(log.codes.count(6), 2);

        m->SetBatteryPercent(0);
        QCOMPARE(m->MeterState(), 2);
        m->PressPowerButton();
        QCOMPARE(m->MeterState(), 2);
    }

    void autoPowerOffUnlessKeptAlive()
    {
        preset(QStringLiteral("Instrument/AutoOffSeconds"), 1);
        auto m = make();
        m->SetKeepAlive(true);
        link(*m);
        QTest::qWait(1300);
        QCOMPARE(m->MeterState(), 1);
        m->SetKeepAlive(false);
        QVERIFY(testing::PumpUntil([&] { return m->MeterState() == 2; }, 2500));
    }

    void readingsDependOnTheSample_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<double>("glossLo");
        QTest::addColumn<double>("glossHi");
        QTest::addColumn<double>("doiLo");
        QTest::addColumn<double>("doiHi");
        QTest::addColumn<double>("hazeLo");
        QTest::addColumn<double>("hazeHi");
        QTest::newRow("black glass tile") << 0 << 99.0 << 101.0 << 99.0 << 100.0 << 0.0 << 1.0;
        QTest::newRow("car topcoat") << 1 << 85.0 << 95.0 << 90.0 << 98.0 << 0.5 << 5.0;
        QTest::newRow("orange peel") << 2 << 64.0 << 68.0 << 75.0 << 79.0 << 12.0 << 16.0;
        QTest::newRow("hazy clear coat") << 3 << 70.0 << 85.0 << 50.0 << 80.0 << 25.0 << 80.0;
        QTest::newRow("aluminium") << 5 << 1700.0 << 2000.0 << 90.0 << 100.0 << 0.5 << 8.0;
    }
    void readingsDependOnTheSample()
    {
        QFETCH(int, sample);
        QFETCH(double, glossLo);
        QFETCH(double, glossHi);
        QFETCH(double, doiLo);
        QFETCH(double, doiHi);
        QFETCH(double, hazeLo);
        QFETCH(double, hazeHi);
        auto m = make();
        link(*m);
        m->SetSample(sample);
        double gloss = 0, doi = 0, haze = 0, glossSq = 0;
        const int n = 8;
        for (int i = 0; i < n; ++i) {
            const MeterReading r = read(*m);
            QVERIFY2(r.Valid, qPrintable(r.Message()));
            QVERIFY(!r.HasMessage());
            gloss += r.Specular(), glossSq += r.Specular() * r.Specular();
            doi += r.DOI(), haze += r.Deg2();
            QVERIFY(r.Deg15() >= 0 && r.Deg15() < r.Deg2() + 10);
        }
        gloss /= n, doi /= n, haze /= n;
        QVERIFY2(gloss > glossLo && gloss < glossHi, qPrintable(QString::number(gloss)));
        QVERIFY2(doi >= doiLo && doi <= doiHi, qPrintable(QString::number(doi)));
        QVERIFY2(haze >= hazeLo && haze <= hazeHi, qPrintable(QString::number(haze)));
        const double sd = std::sqrt(std::max(0.0, glossSq / n - gloss * gloss));
        QVERIFY2(sd > 0.01 && sd < 0.006 * gloss + 0.6, qPrintable(QString::number(sd)));
    }

    void settingsShapeTheReadings()
    {
        auto m = make();
        link(*m);
        m->SetSample(4);   // matte plastic
        MeterReading r = read(*m);
        QVERIFY(!r.Valid);
        QCOMPARE(r.Message(), QStringLiteral("Sample gloss too low for DOI"));
        QVERIFY(r.Specular() < 3.0);

        m->SetSample(2);   // orange peel
        const MeterReading base = read(*m);
        m->SetDOIDistortion(1.3);
        m->SetDeg2Distortion(1.5);
        r = read(*m);
        QVERIFY(r.Valid);
        QVERIFY(r.DOI() < base.DOI() - 4);
        QVERIFY(std::abs(r.Deg2() / base.Deg2() - 1.5) < 0.15);
        QVERIFY(std::abs(r.Specular() - base.Specular()) < 3);
        m->SetDOIDistortion(1.0);
        m->SetDeg2Distortion(1.0);

        m->SetSample(3);   // hazy: total energy takes in more of the haze than the pixel area
        read(*m);
        QVERIFY(Fetch(*m, -1, false).Specular() > Fetch(*m, -1, true).Specular() + 5);

        m->SetSample(0);   // a wrong black level raises the floor under the black glass
        m->SetBlackLevel(2000);
        const double floorLow = read(*m).Deg15();
        m->SetBlackLevel(32767);
        QVERIFY(floorLow > read(*m).Deg15() + 0.5);

        m->SetSample(5);   // aluminium saturates the detector at a constant duty cycle
        m->SetConstDC(true);
        QVERIFY(read(*m).Message().contains(QStringLiteral("saturated")));
        m->SetConstDC(false);
        QVERIFY(read(*m).Valid);

        m->SetCenter(85);
        QVERIFY(!read(*m).Valid);
        m->SetCenter(110);
        m->SetDutyCycle(0);
        r = read(*m);
        QVERIFY(!r.Valid);
        QVERIFY(r.HasMessage());
        m->SetDutyCycle(37);
        m->SetIntensity(0);
        QVERIFY(!read(*m).Valid);
        m->SetIntensity(45);
        m->SetRefCenter(131);
        QCOMPARE(read(*m).Message(), QStringLiteral("Reference signal too low"));
        m->SetRefCenter(146);
        QVERIFY(read(*m).Valid);
    }

    void scanProfileHasThePeakAtTheCentre()
    {
        auto m = make();
        link(*m);
        auto scanOf = [&](int sample) {
            m->SetSample(sample);
            ScanData s;
            if (m->Scan(true) && idle(*m)) m->GetScanData(s);
            return s;
        };
        auto peakIndex = [](const ScanData& s) {
            int best = 0;
            for (int i = 1; i < ScanData::PointCount; ++i)
                if (s.Point(i) > s.Point(best)) best = i;
            return best;
        };
        const ScanData glass = scanOf(0);
        QVERIFY(glass.HasData);
        QCOMPARE(peakIndex(glass), 150);
        QVERIFY(glass.Point(150) > 50 * glass.Point(160));
        QVERIFY(std::abs(glass.Point(149) - glass.Point(151)) < 0.1 * glass.Point(150));
        for (int i = 0; i < ScanData::PointCount; ++i) QVERIFY(glass.Point(i) >= 0);

        const ScanData peel = scanOf(2);
        QCOMPARE(peakIndex(peel), 150);
        // Wider peak and a haze shoulder: the flanks keep more of the peak.
        QVERIFY(peel.Point(152) / peel.Point(150) > 2 * glass.Point(152) / glass.Point(150));
        QVERIFY(peel.Point(170) > 5 * glass.Point(170));
        const ScanData matte = scanOf(4);
        QVERIFY(matte.Point(0) > 5 * glass.Point(0));   // light grey against black: higher diffuse floor

        m->SetCenter(120);   // the array's centre 10 pixels off moves the peak by half a degree
        QCOMPARE(peakIndex(scanOf(0)), 145);
    }

    void fixedSeedRepeatsTheRun()
    {
        QList<double> first, second;
        for (QList<double>* values : {&first, &second}) {
            init();
            auto m = make();
            link(*m);
            m->SetSample(1);
            for (int i = 0; i < 4; ++i) {
                const MeterReading r = read(*m);
                *values << r.Specular() << r.DOI() << r.Deg2() << r.Deg15();
            }
        }
        QCOMPARE(first, second);
        QVERIFY(first.at(0) != first.at(4));   // noise is there
    }

    void frontPanelDrivesTheInstrument()
    {
        auto m = make();
        QWidget* panel = m->FrontPanel();
        QVERIFY(panel);
        QCOMPARE(panel, m->FrontPanel());
        QCOMPARE(panel->windowTitle(), QStringLiteral("Haze Meter (simulated)"));
        for (const char* name : {"frontMeasure", "frontPower", "frontSample", "frontCable", "frontBattery", "frontDisplay"}) {
            auto* w = panel->findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(w, name);
            QVERIFY2(!w->accessibleName().isEmpty() || !w->property("text").toString().isEmpty(), name);
        }
        link(*m);
        EventLog log;
        log.attach(m.get());
        panel->show();
        testing::Click(panel, QStringLiteral("frontMeasure"));
        QVERIFY(idle(*m));
        QCOMPARE(log.codes, (QList<int>{9, 12, 10}));
        auto* display = panel->findChild<QLabel*>(QStringLiteral("frontDisplay"));
        QVERIFY(display->text().contains(QStringLiteral("READY")));
        QVERIFY(display->text().contains(QStringLiteral("GLOSS")));

        panel->findChild<QComboBox*>(QStringLiteral("frontSample"))->setCurrentIndex(3);
        QCOMPARE(m->Sample(), 3);
        m->SetBatteryPercent(42);
        QCOMPARE(panel->findChild<QProgressBar*>(QStringLiteral("frontBattery"))->value(), 42);
        panel->findChild<QCheckBox*>(QStringLiteral("frontCable"))->setChecked(false);
        QVERIFY(!m->Connected());
        m->SetCablePlugged(true);
        QVERIFY(panel->findChild<QCheckBox*>(QStringLiteral("frontCable"))->isChecked());
        testing::Click(panel, QStringLiteral("frontPower"));
        QCOMPARE(m->MeterState(), 2);
        QVERIFY(display->text().isEmpty());

        panel->close();   // remembered: the next instrument keeps its panel closed
        m.reset();
        auto again = make(QString(), 12345, true);
        QVERIFY(!again->FrontPanel()->isVisible());
        again.reset();
        init();
        auto fresh = make(QString(), 12345, true);
        QVERIFY(fresh->FrontPanel()->isVisible());
    }
};

QTEST_MAIN(TestVantrel)
#include "tst_vantrel.moc"
