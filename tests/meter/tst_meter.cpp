// The meter's state in the status bar, and the scan file.
#include <QFile>
#include <QLocale>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include "meter/ScanFile.h"
#include "meter/StatusDisplay.h"
#include "tests/common/TestMeter.h"

namespace {
// The text of a status bar panel, 1 to 5, as the operator reads it.
QString PanelText(const QStatusBar& bar, int panel)
{
    const auto* label = bar.findChild<QLabel*>(QStringLiteral("SBPanel%1").arg(panel));
    return label ? label->text() : QStringLiteral("(no panel %1)").arg(panel);
}

// The text with its decimal points written as the operator's locale writes them.
QString Local(const char* text)
{
    const QString point = QLocale::system().decimalPoint();
    QString out = QString::fromLatin1(text);
    for (qsizetype i = 0; i + 1 < out.size(); ++i)
        if (out.at(i) == QLatin1Char('.') && out.at(i + 1).isDigit()) out.replace(i, 1, point);
    return out;
}
}  // namespace

class TestStatusAndScan : public QObject {
    Q_OBJECT
private slots:
    void statusPanels_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("battery");
        QTest::addColumn<QString>("activity");
        QTest::addColumn<QString>("batteryText");
        QTest::newRow("no meter") << false << 1 << 2 << "No haze meter found"
                                  << "Battery: ---";
        QTest::newRow("getting parameters") << true << 0 << 2 << "Getting parameters"
                                            << "Battery: Ok";
        QTest::newRow("waiting while busy") << true << 1 << 1 << "Busy gathering data"
                                            << "Battery: Low";
        QTest::newRow("off") << true << 2 << 1 << "Haze meter is off"
                             << "Battery: ---";
        QTest::newRow("scanning") << true << 3 << 2 << "Actively scanning"
                                  << "Battery: Ok";
        QTest::newRow("correcting") << true << 4 << 2 << "Running correction algorithms"
                                    << "Battery: Ok";
        QTest::newRow("unknown state, battery") << true << 7 << 5 << "Unknown"
                                                << "Battery: ---";
    }
    void statusPanels()
    {
        QFETCH(bool, connected);
        QFETCH(int, state);
        QFETCH(int, battery);
        QFETCH(QString, activity);
        QFETCH(QString, batteryText);
        QStatusBar bar;
        TestMeter meter;
        StatusDisplay status(&bar, meter, {});
        meter.connected = connected;
        meter.meterState = state;
        meter.batteryState = battery;
        status.SetMeterBusy(true);
        status.ShowMeterStatus();
        QCOMPARE(PanelText(bar, 4), activity);
        QCOMPARE(PanelText(bar, 3), batteryText);
        QVERIFY(status.MeterBusy());
        QCOMPARE(status.MeterOn(), connected && state != 2);
        // Idle: the busy states stay busy.
        status.SetMeterBusy(false);
        status.ShowMeterStatus();
        QCOMPARE(status.MeterBusy(), connected && state != 1);
    }

    // The reading's message leaves panel 5 nine seconds after it was shown.
    void readingMessageClearsOnTimer()
    {
        QStatusBar bar;
        TestMeter meter;
        StatusDisplay status(&bar, meter, {});
        QTimer& Timer1 = *status.findChild<QTimer*>(QStringLiteral("Timer1"));
        MeterReading reading;
        reading.Valid = true;
        status.ShowReadingMessage(reading);
        QVERIFY(!PanelText(bar, 5).isEmpty());
        QCOMPARE(Timer1.interval(), 9000);
        Timer1.start(20);
        QTRY_COMPARE(PanelText(bar, 5), QString());
        QVERIFY(!Timer1.isActive());
    }

    void scanFileLayoutAndSeparators()
    {
        QTemporaryDir dir;
        ScanData scan;
        scan.HasData = true;
        for (int i = 0; i <= 300; ++i)
            scan.SetPoint(i, i == 7 ? 1.5 : i == 8 ? -2.25 : i == 9 ? 123456789012345678.0 : i * 0.1);
        const QDateTime when(QDate(2002, 7, 4), QTime(14, 5, 9));
        const auto lines = [&](const QString& name) {
            QFile f(dir.filePath(name));
            return WriteScanFile(f.fileName(), scan, when) && f.open(QIODevice::ReadOnly) ? f.readAll().split('\n')
                                                                                          : QList<QByteArray>();
        };
        const QList<QByteArray> csv = lines(QStringLiteral("scan.csv"));
        QCOMPARE(csv.size(), 303);  // 302 lines and the empty text after the last CR LF
        QVERIFY(csv.last().isEmpty());
        for (qsizetype i = 0; i < 302; ++i) QVERIFY(csv[i].endsWith('\r'));
        QCOMPARE(csv[0], QByteArray("07/04/2002 14:05:09\r"));
        QCOMPARE(csv[8], Local("007, 1.5 \r").toUtf8());
        QCOMPARE(csv[9], Local("008,-2.25 \r").toUtf8());
        // Fifteen significant digits, the decimal separator of the operator's locale.
        QCOMPARE(csv[4], Local("003, 0.3 \r").toUtf8());
        QCOMPARE(csv[10], Local("009, 1.23456789012346e+17 \r").toUtf8());
        QVERIFY(csv[301].startsWith("300, 30 "));
        QCOMPARE(lines(QStringLiteral("scan.txt")).value(8), Local("007\t 1.5 \r").toUtf8());

        QCOMPARE(ScanSeparatorFor(QStringLiteral("/a/b.CSV")), QStringLiteral("\t"));
        QCOMPARE(ScanSeparatorFor(QStringLiteral("/a.csv/b")), QStringLiteral("\t"));
        QCOMPARE(ScanSeparatorFor(QStringLiteral("/a/b.tar.csv")), QStringLiteral(","));
        QCOMPARE(ScanSeparatorFor(QStringLiteral("/a/.csv")), QStringLiteral(","));  // a name that is all extension
        // Failures are reported, not raised.
        QVERIFY(!WriteScanFile(dir.filePath(QStringLiteral("missing/folder/scan.csv")), scan, when));
        QVERIFY(!WriteScanFile(QStringLiteral("/dev/full"), scan, when));
    }
};

QTEST_MAIN(TestStatusAndScan)
#include "tst_meter.moc"
