// The simulated instrument: its optics as pure functions, its own store, and the instrument
// driven through the meter control's interface with zero delays and a fixed seed.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>

#include "simulator/InstrumentStore.h"
#include "simulator/Optics.h"
#include "simulator/SimulatedMeter.h"
#include "tests/common/ModalHelper.h"
#include "vantrel/AccessCode.h"

using namespace simulator;
Q_DECLARE_METATYPE(simulator::OpticalSettings)
Q_DECLARE_METATYPE(simulator::Key)

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

template <typename Change>
OpticalSettings With(Change change)
{
    OpticalSettings s;
    change(s);
    return s;
}

Measurement MeasureOnce(int sample, const OpticalSettings& settings, quint32 seed = 7)
{
    Random random(seed);
    return Measure(Samples()[size_t(sample)], settings, 0, false, random);
}

int PeakIndex(const Profile& p)
{
    return int(std::max_element(p.begin(), p.end()) - p.begin());
}

}  // namespace

class TestSimulator : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString store(const QString& name = QStringLiteral("meter.ini")) const { return m_dir->filePath(name); }

    void preset(const QString& key, const QVariant& value, const QString& path = QString())
    {
        QSettings s(path.isEmpty() ? store() : path, QSettings::IniFormat);
        s.setValue(key, value);
    }
    // An instrument as the end-to-end journeys set it up: a fixed seed and no chance failures.
    std::unique_ptr<SimulatedMeter> make(const QString& path = QString(), bool panel = false)
    {
        const QString file = path.isEmpty() ? store() : path;
        QSettings s(file, QSettings::IniFormat);
        if (!s.contains(QStringLiteral("Instrument/Seed"))) s.setValue(QStringLiteral("Instrument/Seed"), 12345);
        if (!s.contains(QStringLiteral("Instrument/OccasionalInvalidReadings")))
            s.setValue(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);
        s.sync();
        SimulatedMeterOptions o;
        o.storePath = file;
        o.zeroDelays = true;
        o.showPanel = panel;
        return std::make_unique<SimulatedMeter>(o);
    }
    // Opens the link like the application does and waits until the meter is idle.
    static bool link(SimulatedMeter& m)
    {
        m.SetConnected(true);
        return QTest::qWaitFor([&] { return m.ConnectState() != 1; })
            && QTest::qWaitFor([&] { return !m.Busy() && m.MeterState() != 0; });
    }
    static MeterReading read(SimulatedMeter& m)
    {
        if (!m.TakeReading() || !QTest::qWaitFor([&] { return !m.Busy(); })) return MeterReading();
        return Fetch(m);
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // ---- optics ----------------------------------------------------------------------------

    void readingFollowsTheSample_data()
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
    void readingFollowsTheSample()
    {
        QFETCH(int, sample);
        QFETCH(double, glossLo);
        QFETCH(double, glossHi);
        QFETCH(double, doiLo);
        QFETCH(double, doiHi);
        QFETCH(double, hazeLo);
        QFETCH(double, hazeHi);
        Random random(12345);
        double gloss = 0, doi = 0, haze = 0, glossSq = 0;
        const int n = 8;
        for (int i = 0; i < n; ++i) {
            const Measurement m = Measure(Samples()[size_t(sample)], OpticalSettings{}, i, false, random);
            QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
            QVERIFY(m.doi >= 0 && m.doi <= 100 && m.deg2 >= 0);
            QVERIFY(m.deg15 >= 0 && m.deg15 < m.deg2 + 10);
            gloss += m.specular, glossSq += m.specular * m.specular, doi += m.doi, haze += m.deg2;
        }
        gloss /= n, doi /= n, haze /= n;
        QVERIFY2(gloss > glossLo && gloss < glossHi, qPrintable(QString::number(gloss)));
        QVERIFY2(doi >= doiLo && doi <= doiHi, qPrintable(QString::number(doi)));
        QVERIFY2(haze >= hazeLo && haze <= hazeHi, qPrintable(QString::number(haze)));
        const double sd = std::sqrt(std::max(0.0, glossSq / n - gloss * gloss));
        QVERIFY2(sd > 0.01 && sd < 0.006 * gloss + 0.6, qPrintable(QString::number(sd)));
    }

    void settingsDecideWhetherTheReadingIsGood_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<OpticalSettings>("settings");
        QTest::addColumn<QString>("error");
        const OpticalSettings factory;
        QTest::newRow("factory settings") << 2 << factory << QString();
        QTest::newRow("too dull for DOI") << 4 << factory << QStringLiteral("Sample gloss too low for DOI");
        QTest::newRow("array centre at the window's edge") << 0 << With([](auto& s) { s.center = 122; }) << QString();
        QTest::newRow("array centre past the window") << 0 << With([](auto& s) { s.center = 97; })
                                                      << QStringLiteral("Specular peak outside the measuring window");
        QTest::newRow("LED off") << 0 << With([](auto& s) { s.intensity = 0; }) << QStringLiteral("No light: LED intensity is 0");
        QTest::newRow("no duty cycle") << 0 << With([](auto& s) { s.dutyCycle = 0; }) << QStringLiteral("No light: duty cycle is 0");
        QTest::newRow("reference window off") << 0 << With([](auto& s) { s.refCenter = 131; }) << QStringLiteral("Reference signal too low");
        QTest::newRow("reference overdriven") << 0 << With([](auto& s) { s.intensity = 255; })
                                              << QStringLiteral("Reference signal saturated");
        QTest::newRow("aluminium with ranging") << 5 << factory << QString();
        QTest::newRow("aluminium at a constant duty cycle") << 5 << With([](auto& s) { s.constDC = true; })
                                                            << QStringLiteral("Detector saturated: lower the duty cycle");
    }
    void settingsDecideWhetherTheReadingIsGood()
    {
        QFETCH(int, sample);
        QFETCH(OpticalSettings, settings);
        QFETCH(QString, error);
        QCOMPARE(MeasureOnce(sample, settings).error, error);
    }

    // The same noise (same seed) with one setting changed: the value moves by the given ratio.
    void correctionsMoveTheirValue_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<OpticalSettings>("settings");
        QTest::addColumn<int>("field");   // 0 specular, 1 DOI, 2 2-degree, 3 15-degree
        QTest::addColumn<double>("ratioLo");
        QTest::addColumn<double>("ratioHi");
        QTest::newRow("2 degree correction") << 2 << With([](auto& s) { s.deg2Distortion = 1.5; }) << 2 << 1.4 << 1.6;
        QTest::newRow("2 degree correction leaves gloss") << 2 << With([](auto& s) { s.deg2Distortion = 1.5; }) << 0 << 0.999 << 1.001;
        QTest::newRow("DOI correction") << 2 << With([](auto& s) { s.doiDistortion = 1.3; }) << 1 << 0.85 << 0.95;
        QTest::newRow("low black level lifts the floor") << 0 << With([](auto& s) { s.blackLevel = 2000; }) << 3 << 1.5 << 1e6;
        QTest::newRow("array centre off ruins DOI") << 0 << With([](auto& s) { s.center = 120; }) << 1 << -1.0 << 0.5;
    }
    void correctionsMoveTheirValue()
    {
        QFETCH(int, sample);
        QFETCH(OpticalSettings, settings);
        QFETCH(int, field);
        QFETCH(double, ratioLo);
        QFETCH(double, ratioHi);
        auto value = [field](const Measurement& m) { return std::array{m.specular, m.doi, m.deg2, m.deg15}[size_t(field)]; };
        const double ratio = value(MeasureOnce(sample, settings)) / value(MeasureOnce(sample, OpticalSettings{}));
        QVERIFY2(ratio > ratioLo && ratio < ratioHi, qPrintable(QString::number(ratio)));
    }

    // The standard scales the gloss by its assigned value and nothing else; total energy takes
    // in more of a hazy sample's haze than the pixel area average.
    void standardAndWindowChooseTheGloss()
    {
        const Measurement hazy = MeasureOnce(3, OpticalSettings{});
        const Values area = Calibrated(hazy, Standards()[0], true);
        QVERIFY(Calibrated(hazy, Standards()[0], false).specular > area.specular + 5);
        for (const Standard& standard : Standards()) {
            const Values v = Calibrated(hazy, standard, true);
            QVERIFY(std::abs(v.specular / area.specular - 1) < 0.01);
            QVERIFY(v.doi == area.doi && v.deg2 == area.deg2 && v.deg15 == area.deg15);
        }
        QVERIFY(Calibrated(hazy, Standards()[1], true).specular < Calibrated(hazy, Standards()[2], true).specular);
    }

    void profilePeaksAtTheCentre_data()
    {
        QTest::addColumn<int>("sample");
        QTest::addColumn<int>("center");
        QTest::addColumn<int>("peak");
        QTest::newRow("black glass") << 0 << 110 << 150;
        QTest::newRow("orange peel") << 2 << 110 << 150;
        QTest::newRow("aluminium") << 5 << 110 << 150;
        QTest::newRow("array centre 10 pixels high") << 0 << 120 << 145;
        QTest::newRow("array centre 10 pixels low") << 0 << 100 << 155;
    }
    void profilePeaksAtTheCentre()
    {
        QFETCH(int, sample);
        QFETCH(int, center);
        QFETCH(int, peak);
        Random random(3);
        const Profile p = ScanProfile(Samples()[size_t(sample)], With([center](auto& s) { s.center = center; }), random);
        QCOMPARE(PeakIndex(p), peak);
        for (double v : p) QVERIFY(v >= 0 && std::abs(v * 1000 - std::round(v * 1000)) < 1e-6);
    }

    void profileShapeFollowsTheSample()
    {
        Random random(3);
        auto profile = [&](int sample) { return ScanProfile(Samples()[size_t(sample)], OpticalSettings{}, random); };
        const Profile glass = profile(0), peel = profile(2), matte = profile(4);
        QVERIFY(glass[150] > 50 * glass[160]);
        QVERIFY(std::abs(glass[149] - glass[151]) < 0.1 * glass[150]);
        // Wider peak and a haze shoulder: the flanks keep more of the peak.
        QVERIFY(peel[152] / peel[150] > 2 * glass[152] / glass[150]);
        QVERIFY(peel[170] > 5 * glass[170]);
        QVERIFY(matte[0] > 5 * glass[0]);   // light grey against black: a higher diffuse floor
    }

    void occasionalInvalidReadingsOnlyWhenAllowed()
    {
        Random random(5);
        int invalid = 0, invalidWhenBarred = 0;
        for (int i = 0; i < 1000; ++i) {
            invalid += !Measure(Samples()[0], OpticalSettings{}, 0, true, random).error.isEmpty();
            invalidWhenBarred += !Measure(Samples()[0], OpticalSettings{}, 0, false, random).error.isEmpty();
        }
        QVERIFY2(invalid > 5 && invalid < 50, qPrintable(QString::number(invalid)));
        QCOMPARE(invalidWhenBarred, 0);
    }

    // ---- the instrument's own store ----------------------------------------------------------

    void storeTakesOnlyValuesInRange_data()
    {
        QTest::addColumn<Key>("key");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QVariant>("loaded");
        QTest::newRow("centre in range") << Key::Center << "Settings/Center" << "80" << true << QVariant(80);
        QTest::newRow("centre too high") << Key::Center << "Settings/Center" << "256" << false << QVariant(110);
        QTest::newRow("black level past full scale") << Key::BlackLevel << "Settings/BlackLevel" << "65536" << false << QVariant(32767);
        QTest::newRow("correction inside") << Key::Deg2Distortion << "Settings/Deg2Distortion" << "1.25" << true << QVariant(1.25);
        QTest::newRow("correction at its bound") << Key::DOIDistortion << "Settings/DOIDistortion" << "10" << false << QVariant(1.0);
        QTest::newRow("standard past the last") << Key::CalIndex << "Settings/CalIndex" << "4" << false << QVariant(0);
        QTest::newRow("serial number cut") << Key::SerialNumber << "Instrument/SerialNumber" << "ABCDEFGHIJ" << true << QVariant("ABCDEFGH");
        QTest::newRow("switch spelled 0") << Key::Present << "Instrument/Present" << "0" << true << QVariant(false);
        QTest::newRow("seed") << Key::Seed << "Instrument/Seed" << "4294967295" << true << QVariant(4294967295LL);
        QTest::newRow("negative seed") << Key::Seed << "Instrument/Seed" << "-1" << false << QVariant(0);
    }
    void storeTakesOnlyValuesInRange()
    {
        QFETCH(Key, key);
        QFETCH(QString, path);
        QFETCH(QString, stored);
        QFETCH(bool, taken);
        QFETCH(QVariant, loaded);
        preset(path, stored);
        InstrumentStore s(store());
        QCOMPARE(s.Text(key), loaded.toString());
        // The file now shows the value in force, and a setter refuses what loading refused.
        QCOMPARE(QSettings(store(), QSettings::IniFormat).value(path).toString(), loaded.toString());
        QCOMPARE(s.Set(key, stored), taken);
        QCOMPARE(s.Text(key), loaded.toString());
    }

    void stateOutlivesTheInstance()
    {
        {
            auto m = make();
            QVERIFY(link(*m));
            m->SetSerialNumber(QStringLiteral("HZ77"));
            m->SetCenter(112);
            m->SetDeg2Distortion(1.25);
            m->SetCalIndex(3);
            m->SetKeepAlive(true);
            m->SetSample(2);
            m->SetBatteryPercent(60);
            m->ClearCalibration();
            QVERIFY(m->Calibrate());
            QTRY_VERIFY(!m->Busy());
            m->SetCenter(-5);   // not taken
        }
        auto m = make();
        QVERIFY(link(*m));
        QCOMPARE(m->SerialNumber(), QStringLiteral("HZ77"));
        QCOMPARE(m->Center(), int16_t(112));
        QCOMPARE(m->Deg2Distortion(), 1.25);
        QCOMPARE(m->CalIndex(), int16_t(3));
        QVERIFY(m->KeepAlive());
        QCOMPARE(m->Sample(), 2);
        QCOMPARE(m->BatteryPercent(), 60);
        QVERIFY(Fetch(*m, 3).CalTimeStamp.isValid());
        QVERIFY(!Fetch(*m, 0).CalTimeStamp.isValid());
        QSettings file(store(), QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("Standard0/Cleared")).toString(), QStringLiteral("true"));
        QCOMPARE(file.value(QStringLiteral("Standard3/Name")).toString(), QStringLiteral("Clear Coat"));
    }

    // ---- the instrument ------------------------------------------------------------------------

    void handshakeLinksOrReportsNotFound()
    {
        auto m = make();
        EventLog log;
        log.attach(m.get());
        QCOMPARE(m->SerialNumber(), QString());
        m->SetConnected(true);
        QCOMPARE(m->ConnectState(), 1);
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

        init();
        preset(QStringLiteral("Instrument/PoweredOn"), false);
        // A switched-off meter is not found, and links once it is switched on.
        auto off = make();
        QVERIFY(link(*off));
        QVERIFY(!off->Connected());
        off->PressPowerButton();
        QTRY_VERIFY(off->Connected() && off->MeterState() == 1 && !off->Busy());
    }

    // With its real delays the handshake ends on its own: linked, or not found when the
    // instrument is absent, unplugged or off, also when that happens halfway.
    void handshakeEndsOnItsOwn_data()
    {
        QTest::addColumn<QString>("startsWith");   // a switch of [Instrument] set to false
        QTest::addColumn<int>("halfway");          // 0 nothing, 1 cable pulled, 2 switched off
        QTest::addColumn<bool>("linked");
        QTest::newRow("undisturbed") << QString() << 0 << true;
        QTest::newRow("no instrument") << QStringLiteral("Present") << 0 << false;
        QTest::newRow("unplugged") << QStringLiteral("Plugged") << 0 << false;
        QTest::newRow("switched off") << QStringLiteral("PoweredOn") << 0 << false;
        QTest::newRow("cable pulled halfway") << QString() << 1 << false;
        QTest::newRow("switched off halfway") << QString() << 2 << false;
    }
    void handshakeEndsOnItsOwn()
    {
        QFETCH(QString, startsWith);
        QFETCH(int, halfway);
        QFETCH(bool, linked);
        if (!startsWith.isEmpty()) preset(QStringLiteral("Instrument/") + startsWith, false);
        SimulatedMeterOptions o;
        o.storePath = store();
        o.showPanel = false;
        SimulatedMeter m(o);
        m.SetConnected(true);
        QCOMPARE(m.ConnectState(), 1);
        if (halfway == 1) m.SetCablePlugged(false);
        if (halfway == 2) m.PressPowerButton();
        QTRY_VERIFY_WITH_TIMEOUT(m.ConnectState() != 1, 10000);
        QCOMPARE(m.Connected(), linked);
    }

    void turnOffCancelAndTheMeterButton()
    {
        auto m = make();
        QVERIFY(link(*m));
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
        QTRY_COMPARE(m->MeterState(), 1);
        QCOMPARE(log.codes.last(), 10);
        m->TurnOff();
        m->Cancel();   // wakes it too
        QTRY_VERIFY(!m->Busy());
        QCOMPARE(m->MeterState(), 1);

        // Cancel aborts: no reading and no scan is delivered.
        log.clear();
        QVERIFY(m->TakeReading());
        m->Cancel();
        QVERIFY(m->Scan(true));
        m->Cancel();
        QCoreApplication::processEvents();
        QCOMPARE(log.codes, (QList<int>{9, 10, 9, 10}));
        ScanData scan;
        m->GetScanData(scan);
        QVERIFY(!scan.HasData);
        QVERIFY(!Fetch(*m).Valid);

        // The meter's own button measures only while enabled.
        m->SetEnableButton(false);
        log.clear();
        m->PressMeasureButton();
        QVERIFY(!m->Busy());
        QVERIFY(m->DisplayText().contains(QStringLiteral("BUTTON DISABLED")));
        m->SetEnableButton(true);
        m->PressMeasureButton();
        QTRY_VERIFY(!m->Busy());
        QCOMPARE(log.codes, (QList<int>{9, 12, 10}));
        QVERIFY(Fetch(*m).Valid);
    }

    void cableAndUnlock()
    {
        auto m = make();
        QVERIFY(link(*m));
        EventLog log;
        log.attach(m.get());
        m->SetCablePlugged(false);
        QVERIFY(!m->Connected());
        QCOMPARE(m->ConnectState(), 0);
        QCOMPARE(log.codes, QList<int>{2});
        QVERIFY(!m->TakeReading());
        m->SetCablePlugged(true);
        QCOMPARE(m->ConnectState(), 1);
        QTRY_VERIFY(m->Connected() && !m->Busy());
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
        QVERIFY(link(*m));
        m->SetCalIndex(2);
        const QDateTime before = Fetch(*m, 2).CalTimeStamp;
        QVERIFY(m->Calibrate());
        QTRY_VERIFY(!m->Busy());
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
        QTRY_VERIFY(!m->Busy());
        QVERIFY(read(*m).Valid);
        QVERIFY(!Fetch(*m, 0).Valid);
        QVERIFY(!Fetch(*m, 7).Valid);
    }

    // The host's settings reach the optics: pixel area or total energy, constant duty cycle,
    // and a misplaced array centre.
    void settingsReachTheOptics()
    {
        auto m = make();
        QVERIFY(link(*m));
        m->SetSample(3);
        read(*m);
        QVERIFY(Fetch(*m, -1, false).Specular() > Fetch(*m, -1, true).Specular() + 5);
        m->SetSample(5);
        m->SetConstDC(true);
        QCOMPARE(read(*m).Message(), QStringLiteral("Detector saturated: lower the duty cycle"));
        m->SetConstDC(false);
        m->SetCenter(85);
        QCOMPARE(read(*m).Message(), QStringLiteral("Specular peak outside the measuring window"));
    }

    void batteryWarnsOnceAndRunsDown()
    {
        preset(QStringLiteral("Instrument/BatteryPercent"), 20);
        auto m = make();
        QVERIFY(link(*m));
        EventLog log;
        log.attach(m.get());
        for (int i = 0; i < 10; ++i) {
            QVERIFY(m->Scan(true));
            QTRY_VERIFY(!m->Busy());
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
        QCOMPARE(kept->MeterState(), 1);
        kept->SetKeepAlive(false);
        QTRY_COMPARE_WITH_TIMEOUT(kept->MeterState(), 2, 5000);
    }

    // A seed in the store repeats the run, readings and scans alike; the switch bars the
    // occasional invalid reading.
    void storedSeedRepeatsTheRun()
    {
        QList<double> runs[2];
        for (QList<double>& values : runs) {
            init();
            preset(QStringLiteral("Instrument/Seed"), 777);
            preset(QStringLiteral("Instrument/Sample"), 1);
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
        QVERIFY(runs[0].at(0) != runs[0].at(4));   // noise is there
    }

    void frontPanelDrivesTheInstrument()
    {
        auto m = make();
        QWidget* panel = m->FrontPanel();
        QCOMPARE(panel, m->FrontPanel());
        QCOMPARE(panel->windowTitle(), QStringLiteral("Haze Meter (simulated)"));
        for (const char* name : {"frontMeasure", "frontPower", "frontSample", "frontCable", "frontBattery", "frontDisplay"}) {
            auto* w = panel->findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(w, name);
            QVERIFY2(!w->accessibleName().isEmpty() || !w->property("text").toString().isEmpty(), name);
        }
        QVERIFY(link(*m));
        EventLog log;
        log.attach(m.get());
        panel->show();
        testing::Click(panel, QStringLiteral("frontMeasure"));
        QTRY_VERIFY(!m->Busy());
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
        QVERIFY(!make(QString(), true)->FrontPanel()->isVisible());
        init();
        QVERIFY(make(QString(), true)->FrontPanel()->isVisible());
    }
};

QTEST_MAIN(TestSimulator)
#include "tst_simulator.moc"
