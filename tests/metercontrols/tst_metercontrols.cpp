// The serial meter control against glimora-meter-emulator on a pseudo-terminal: the link and the
// settings over it, a reading and a scan that carry the simulated instrument's own values, lines
// lost or damaged on the way, a refusal, a slow line, and a meter that vanishes and comes back.
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "metercontrols/serial/SerialMeter.h"
#include "simulator/SimulatedMeter.h"

class TestMeterControls : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess m_emulator;
    std::unique_ptr<SerialMeter> m_meter;
    QList<int> m_codes;
    MeterReading m_reading;
    ScanData m_scan;

    QString store() const { return m_dir->filePath(QStringLiteral("meter.ini")); }
    // Idle: linked, on, and no operation since the last idle event.
    bool settled() const
    {
        return m_meter->Connected() && m_meter->MeterState() == VantrelCntl::State::Waiting
            && m_codes.lastIndexOf(VantrelCntl::Event::Idle) >= m_codes.lastIndexOf(VantrelCntl::Event::Busy);
    }
    // The emulator with the given faults and the meter control linked to it, fetching each
    // reading or scan the moment its event comes, as the application does.
    bool start(const QStringList& faults = {}, qint32 baud = 115200)
    {
        m_emulator.start(QStringLiteral(GLIMORA_EMULATOR),
                         QStringList{"--instant", "--store", store(), "--link", m_dir->filePath("port")} + faults);
        if (!m_emulator.waitForReadyRead(10000)) return false;
        m_meter = std::make_unique<SerialMeter>(
            SerialMeterOptions{QString::fromLocal8Bit(m_emulator.readLine()).trimmed(), baud, 500});
        connect(m_meter.get(), &VantrelCntl::MeterEvent, this, [this](int code) {
            m_codes << code;
            if (code == VantrelCntl::Event::ReadingReady) m_meter->GetReading(m_reading, m_meter->CalIndex());
            if (code == VantrelCntl::Event::ScanReady) m_meter->GetScanData(m_scan);
        });
        m_meter->SetConnected(true);
        return QTest::qWaitFor([&] { return settled(); }, 20000);
    }
    // Runs an operation to its end; whether the meter raised exactly the given events.
    bool run(const std::function<bool()>& operation, const QList<int>& events, int waitMs = 10000)
    {
        m_codes.clear();
        return operation()
            && QTest::qWaitFor([&] { return m_codes.contains(VantrelCntl::Event::Idle) && settled(); }, waitMs)
            && m_codes == events;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QSettings s(store(), QSettings::IniFormat);
        s.setValue(QStringLiteral("Instrument/Seed"), 12345);
        s.setValue(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);
        s.setValue(QStringLiteral("Instrument/SerialNumber"), QStringLiteral("SN0042"));
        m_codes.clear();
    }
    void cleanup()
    {
        m_meter.reset();
        m_emulator.kill();
        m_emulator.waitForFinished();
    }

    // Linking reads what the meter is; settings go over the line and come back as the meter
    // keeps them.
    void linkAndSettings()
    {
        QVERIFY(start());
        QCOMPARE(m_codes.first(), VantrelCntl::Event::LinkChanged);
        QCOMPARE(m_meter->SerialNumber(), QStringLiteral("SN0042"));
        m_meter->SetCenter(120);
        m_meter->SetCenter(300);  // a value the meter cannot use leaves the setting as it was
        QTRY_COMPARE(m_meter->Center(), int16_t(120));
    }

    // A reading and a scan arrive with exactly the values the instrument itself gives from the
    // same store and seed.
    void valuesCrossTheLineExactly()
    {
        const QString local = m_dir->filePath(QStringLiteral("local.ini"));
        QVERIFY(QFile::copy(store(), local));
        QVERIFY(start());
        QVERIFY(run([&] { return m_meter->TakeReading(); },
                    {VantrelCntl::Event::Busy, VantrelCntl::Event::ReadingReady, VantrelCntl::Event::Idle}));
        QVERIFY(run([&] { return m_meter->Scan(true); },
                    {VantrelCntl::Event::Busy, VantrelCntl::Event::ScanReady, VantrelCntl::Event::Idle}));

        SimulatedMeter here({local, true, false});
        here.SetConnected(true);
        QTRY_VERIFY(here.Connected() && !here.Busy());
        for (bool scan : {false, true}) {
            QVERIFY(scan ? here.Scan(true) : here.TakeReading());
            QTRY_VERIFY(!here.Busy());
        }
        for (bool pixelAvg : {true, false}) {
            MeterReading a, b;
            a.PixelAvg = b.PixelAvg = pixelAvg;
            m_meter->GetReading(a, 0);
            here.GetReading(b, 0);
            QCOMPARE((QList<double>{a.Specular(), a.DOI(), a.Deg2(), a.Deg15()}),
                     (QList<double>{b.Specular(), b.DOI(), b.Deg2(), b.Deg15()}));
            QVERIFY(a.Valid && a.CalStd() == b.CalStd() && a.CalTimeStamp == b.CalTimeStamp
                    && a.SerialNo == b.SerialNo);
        }
        ScanData scan;
        here.GetScanData(scan);
        for (int i = 0; i < ScanData::PointCount; ++i) QCOMPARE(m_scan.Point(i), scan.Point(i));
    }

    void lostLines_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::newRow("every fourth line dropped") << QStringList{"--drop-lines", "4"};
        QTest::newRow("every fourth line garbled") << QStringList{"--garble", "4"};
    }
    // Lines lost or damaged on the way, events among them: every reading still arrives once,
    // fetched again or reported lost, and the meter is always reported idle again.
    void lostLines()
    {
        QFETCH(QStringList, faults);
        QVERIFY(start(faults));
        for (int reading = 0; reading < 6; ++reading) {
            m_codes.clear();
            QVERIFY(QTest::qWaitFor([&] { return m_meter->TakeReading(); }, 10000));
            QTRY_VERIFY_WITH_TIMEOUT(m_codes.contains(VantrelCntl::Event::ReadingReady)
                                         && m_codes.contains(VantrelCntl::Event::Idle) && settled(),
                                     15000);
            QCOMPARE(m_codes.count(VantrelCntl::Event::ReadingReady), 1);
        }
    }

    // A command the meter refuses sounds the warning, as one refused at once would; a scan of 301
    // numbers arrives whole over a line paced at 9600 baud.
    void refusalAndSlowLine()
    {
        QVERIFY(start({"--refuse", "MEAS:READ", "--baud", "9600"}, 9600));
        m_codes.clear();
        QVERIFY(m_meter->TakeReading());
        QTRY_COMPARE(m_codes, QList<int>{VantrelCntl::Event::Warning});
        QVERIFY(run([&] { return m_meter->Scan(true); },
                    {VantrelCntl::Event::Busy, VantrelCntl::Event::ScanReady, VantrelCntl::Event::Idle}, 30000));
        QVERIFY(m_scan.HasData);
    }

    // The cable is pulled as a reading is asked for: the link is reported lost, commands are
    // refused, and it comes back with the port.
    void meterVanishesAndComesBack()
    {
        QVERIFY(start({"--unplug-on", "MEAS:READ", "--replug-after", "300"}));
        m_codes.clear();
        QVERIFY(m_meter->TakeReading());
        QTRY_VERIFY_WITH_TIMEOUT(!m_meter->Connected(), 10000);
        QCOMPARE(m_codes.last(), VantrelCntl::Event::LinkChanged);
        QVERIFY(!m_meter->TakeReading());
        QTRY_VERIFY_WITH_TIMEOUT(m_meter->Connected(), 10000);
        QCOMPARE(m_codes.last(), VantrelCntl::Event::LinkChanged);
        QVERIFY(run([&] { return m_meter->TakeReading(); },
                    {VantrelCntl::Event::Busy, VantrelCntl::Event::ReadingReady, VantrelCntl::Event::Idle})
                && m_reading.Valid);
    }
};

QTEST_GUILESS_MAIN(TestMeterControls)
#include "tst_metercontrols.moc"
