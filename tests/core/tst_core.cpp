// Number formats, parsing, the readings list and its averages, the status display, the scan
// file and the settings store: the pure logic under the main window.
#include <QFile>
#include <QLocale>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <string>

#include "meter/ScanFile.h"
#include "meter/StatusDisplay.h"
#include "readings/ReadingsModel.h"
#include "readings/Summary.h"
#include "support/Numbers.h"
#include "support/SettingsStore.h"
#include "tests/common/TestMeter.h"

using namespace support;

namespace {
MeterReading Make(double s, double d, double h2, double h15, const QString& cal = QStringLiteral("Std A"))
{
    MeterReading r;
    r.Valid = true;
    r.TimeStamp = QDateTime(QDate(2002, 7, 4), QTime(14, 5, 9));
    r.SetValues(s, d, h2, h15);
    r.SetCalStd(cal);
    return r;
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
Reading Row(const QString& time, const QString& specular)
{
    Reading r;
    r.Cells = {time, specular, QStringLiteral("90.00"), QStringLiteral("1.00"), QStringLiteral("3.00"), QStringLiteral("Std A"), QString()};
    return r;
}
QStringList Column(const ReadingsModel& model, int column)
{
    QStringList cells;
    for (int r = 0; r < model.RowCount(); ++r) cells << model.Text(r, column);
    return cells;
}
// Numbers are read and written the same whatever the C library's locale: the tables run under
// one with a decimal comma.
struct CommaLocale {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const bool set = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    ~CommaLocale() { std::setlocale(LC_NUMERIC, before.c_str()); }
};
}  // namespace

class TestCore : public QObject {
    Q_OBJECT
private slots:
    void formatsValuesWithHalvesAwayFromZero_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("text");
        QTest::newRow("85.346/0") << 85.346 << 0 << "85.";
        QTest::newRow("85.346/2") << 85.346 << 2 << "85.35";
        QTest::newRow("12.5/0") << 12.5 << 0 << "13.";
        QTest::newRow("2.675/2 as typed") << 2.675 << 2 << "2.68";
        QTest::newRow("1.005/2 as typed") << 1.005 << 2 << "1.01";
        QTest::newRow("-2.5/0") << -2.5 << 0 << "-3.";
        QTest::newRow("-0.001/2 no minus zero") << -0.001 << 2 << "0.00";
        QTest::newRow("99.995/2 carries") << 99.995 << 2 << "100.00";
        QTest::newRow("1234567.891/1 no separator") << 1234567.891 << 1 << "1234567.9";
        QTest::newRow("0.0005/3") << 0.0005 << 3 << "0.001";
        QTest::newRow("0/2") << 0.0 << 2 << "0.00";
    }
    void formatsValuesWithHalvesAwayFromZero()
    {
        QFETCH(double, value);
        QFETCH(int, digits);
        QFETCH(QString, text);
        const CommaLocale comma;
        QVERIFY2(comma.set, "the de_DE.UTF-8 locale is missing: run scripts/setup.sh");
        QCOMPARE(FormatValue(value, digits), text);
    }

    void readsNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("leading");
        QTest::addColumn<double>("stored");
        QTest::addColumn<double>("even");  // the leading number rounded half to even
        QTest::newRow("blanks and trailing text") << "  139.6abc" << 139.6 << 0.0 << 140.0;
        QTest::newRow("plus and bare fraction") << "+.5" << 0.5 << 0.5 << 0.0;
        QTest::newRow("half down to even") << "2.5" << 2.5 << 2.5 << 2.0;
        QTest::newRow("half up to even") << "3.5" << 3.5 << 3.5 << 4.0;
        QTest::newRow("negative half") << "-0.5" << -0.5 << -0.5 << -0.0;
        QTest::newRow("exponent") << "1e3x" << 1000.0 << 0.0 << 1000.0;
        QTest::newRow("exponent without digits") << "1e" << 1.0 << 0.0 << 1.0;
        QTest::newRow("overflowing exponent") << "1e999999" << 1.0 << 0.0 << 1.0;
        QTest::newRow("text") << "abc" << 0.0 << 0.0 << 0.0;
        QTest::newRow("empty") << "" << 0.0 << 0.0 << 0.0;
        QTest::newRow("two signs") << "+-3" << 0.0 << 0.0 << 0.0;
        QTest::newRow("blanks around") << " 20.01 " << 20.01 << 20.01 << 20.0;
        QTest::newRow("decimal comma is not a point") << "20,01" << 20.0 << 0.0 << 20.0;
        QTest::newRow("seventeen digits") << "0.30000000000000004" << 0.30000000000000004 << 0.30000000000000004 << 0.0;
        QTest::newRow("large") << "1234567.891" << 1234567.891 << 1234567.891 << 1234568.0;
    }
    // Besides each row: blanks before and text after never change the number, a number written
    // with all its digits reads back exactly, and a formatted value reads back within its rounding.
    void readsNumbers()
    {
        QFETCH(QString, text);
        QFETCH(double, leading);
        QFETCH(double, stored);
        QFETCH(double, even);
        const CommaLocale comma;
        QVERIFY2(comma.set, "the de_DE.UTF-8 locale is missing: run scripts/setup.sh");
        QCOMPARE(LeadingNumber(text), leading);
        QCOMPARE(StoredNumber(text), stored);
        QCOMPARE(RoundHalfEven(leading), even);
        QCOMPARE(LeadingNumber(QStringLiteral(" \t ") + text + QStringLiteral("x9")), leading);
        QCOMPARE(LeadingNumber(QString::number(leading, 'g', 17)), leading);
        QVERIFY(qAbs(LeadingNumber(FormatValue(leading, 3)) - leading) <= 0.0005 + 1e-12 * qAbs(leading));
    }

    void sortPlacesRowsAndHeaderClicksAlternate()
    {
        ReadingsModel model;
        // Start-up order: Date/Time, newest first.
        model.AddRow(Row(QStringLiteral("07/04/2002 14:05:09"), QStringLiteral("85.00")));
        model.AddRow(Row(QStringLiteral("07/04/2002 14:05:11"), QStringLiteral("100.00")));
        model.AddRow(Row(QStringLiteral("07/04/2002 14:05:10"), QStringLiteral("9.00")));
        QCOMPARE(Column(model, 0), QStringList({"07/04/2002 14:05:11", "07/04/2002 14:05:10", "07/04/2002 14:05:09"}));

        model.HeaderClicked(2);  // Specular ascending, compared as text
        QCOMPARE(model.SortOrder(), Qt::AscendingOrder);
        QCOMPARE(model.AddRow(Row(QStringLiteral("07/04/2002 14:05:12"), QStringLiteral("50.00"))), 1);
        QCOMPARE(Column(model, 1), QStringList({"100.00", "50.00", "85.00", "9.00"}));
        model.HeaderClicked(2);
        QCOMPARE(model.SortOrder(), Qt::DescendingOrder);
        QCOMPARE(model.Text(0, 1), QStringLiteral("9.00"));
        model.HeaderClicked(3);  // another column starts ascending
        QCOMPARE(model.SortKey(), 2);
        QCOMPARE(model.SortOrder(), Qt::AscendingOrder);

        // Clearing the list goes back to the start-up order; the click memory stays.
        model.ClearRows();
        QCOMPARE(model.RowCount(), 0);
        QCOMPARE(model.SortKey(), 0);
        QCOMPARE(model.SortOrder(), Qt::DescendingOrder);
        QCOMPARE(model.LastClickedColumn(), 3);
    }

    void deleteSelectionKeepsAveragesConsistent()
    {
        ReadingsModel model;
        QCOMPARE(MakeSummary(model.Averages(), 2, 0).Specular, QStringLiteral("---"));
        for (double v : {10.004, 20.006, 30.0}) model.AddReading(Make(v, v, v, v), 2, QStringLiteral("  note  "));
        QCOMPARE(model.Text(0, 6), QStringLiteral("note"));
        QVERIFY(!model.Averages().HasMessage());

        // The values removed are those shown (20.01), not the meter's (20.006).
        std::vector<bool> sel(3, false);
        for (int r = 0; r < 3; ++r) sel[std::size_t(r)] = model.Text(r, 1) == QLatin1String("20.01");
        model.DeleteRows(sel);
        QCOMPARE(model.RowCount(), 2);
        QCOMPARE(model.Averages().Count(), 2L);
        QVERIFY(qAbs(model.Averages().Specular() - (10.004 + 20.006 + 30.0 - 20.01) / 2) < 1e-9);
        // The rest keep their delivered values in the order taken, and the list knows how far the
        // averages moved from them.
        QCOMPARE(model.RowTaken(0).Values[0], 10.004);
        QCOMPARE(model.RowTaken(1).Values[3], 30.0);
        QVERIFY(qAbs(model.RoundingTakenOut()[1] - (20.006 - 20.01)) < 1e-12);

        // Everything selected: the list empties and the averages are cleared.
        model.DeleteRows(std::vector<bool>(2, true));
        QCOMPARE(model.RowCount(), 0);
        QVERIFY(model.Averages().HasMessage());
        QCOMPARE(model.Averages().Count(), 0L);
        QCOMPARE(model.RoundingTakenOut()[1], 0.0);
    }

    void deleteOfOddCalStandardBringsAveragesBack()
    {
        ReadingsModel model;
        for (const char* cal : {"Std A", "Std B", "Std A"}) model.AddReading(Make(50, 60, 1, 2, QLatin1String(cal)), 2, QString());
        QVERIFY(model.Averages().HasMessage());
        QCOMPARE(MakeSummary(model.Averages(), 2, model.RowCount()).Count, QStringLiteral("---"));
        std::vector<bool> sel(3, false);
        for (int r = 0; r < 3; ++r) sel[std::size_t(r)] = model.Text(r, 5) == QLatin1String("Std B");
        model.DeleteRows(sel);
        QVERIFY(!model.Averages().HasMessage());
        const SummaryTexts t = MakeSummary(model.Averages(), 2, model.RowCount());
        QCOMPARE(t.Specular, QStringLiteral("50.00"));
        QCOMPARE(t.Count, QStringLiteral("2"));
        // Case and blanks count when the cal standards are compared.
        model.AddReading(Make(1, 90, 1, 3, QStringLiteral("std a")), 2, QString());
        model.DeleteRows(std::vector<bool>(3, false));
        QVERIFY(model.Averages().HasMessage());
    }

    void statusPanels_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("battery");
        QTest::addColumn<QString>("activity");
        QTest::addColumn<QString>("batteryText");
        QTest::newRow("no meter") << false << 1 << 2 << "No haze meter found" << "Battery: ---";
        QTest::newRow("getting parameters") << true << 0 << 2 << "Getting parameters" << "Battery: Ok";
        QTest::newRow("waiting while busy") << true << 1 << 1 << "Busy gathering data" << "Battery: Low";
        QTest::newRow("off") << true << 2 << 1 << "Haze meter is off" << "Battery: ---";
        QTest::newRow("scanning") << true << 3 << 2 << "Actively scanning" << "Battery: Ok";
        QTest::newRow("correcting") << true << 4 << 2 << "Running correction algorithms" << "Battery: Ok";
        QTest::newRow("unknown state, battery") << true << 7 << 5 << "Unknown" << "Battery: ---";
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
        QCOMPARE(status.PanelText(4), activity);
        QCOMPARE(status.PanelText(3), batteryText);
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
        status.ShowReadingMessage(Make(1, 2, 3, 4));
        QVERIFY(!status.PanelText(5).isEmpty());
        QCOMPARE(Timer1.interval(), 9000);
        Timer1.start(20);
        QTRY_COMPARE(status.PanelText(5), QString());
        QVERIFY(!Timer1.isActive());
    }

    void scanFileLayoutAndSeparators()
    {
        QTemporaryDir dir;
        ScanData scan;
        scan.HasData = true;
        for (int i = 0; i <= 300; ++i) scan.SetPoint(i, i == 7 ? 1.5 : i == 8 ? -2.25 : i == 9 ? 123456789012345678.0 : i * 0.1);
        const QDateTime when(QDate(2002, 7, 4), QTime(14, 5, 9));
        const auto lines = [&](const QString& name) {
            QFile f(dir.filePath(name));
            return WriteScanFile(f.fileName(), scan, when) && f.open(QIODevice::ReadOnly) ? f.readAll().split('\n') : QList<QByteArray>();
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
        // Failures are reported, not raised.
        QVERIFY(!WriteScanFile(dir.filePath(QStringLiteral("missing/folder/scan.csv")), scan, when));
        QVERIFY(!WriteScanFile(QStringLiteral("/dev/full"), scan, when));
    }

    // Values come back as written, separators and quotes included, from a file only its owner reads.
    void settingsStoreKeepsValuesForItsOwnerAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cfg/Glimora.ini"));
        const QString odd = QStringLiteral("a=b;\"c\" d, /tmp/x.csv");
        {
            SettingsStore store(path);
            store.SaveSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile1"), odd);
            QVERIFY(store.Sync());
            QVERIFY(!store.Dirty());
        }
        QCOMPARE(QFile(path).permissions() & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::Permissions());
        SettingsStore again(path);
        QCOMPARE(again.GetSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile1")), odd);
        QCOMPARE(again.GetSetting(QStringLiteral("Preferences"), QStringLiteral("Missing"), QStringLiteral("d")), QStringLiteral("d"));
    }

    void settingsStoreReadsWhatItCanOfADamagedFile_data()
    {
        const QByteArray good = "[Preferences]\nDigits=3\nPassword=abc\n[Tabs]\nTabCount=2\nTab1=100\n";
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QStringList>("kept");  // section/key=value
        const QStringList all = {"Preferences/Digits=3", "Preferences/Password=abc", "Tabs/TabCount=2", "Tabs/Tab1=100"};
        QTest::newRow("section line without its bracket at the end") << good + "[Tabs\n" << true << all;
        QTest::newRow("keys under a broken section line")
            << QByteArray("[Preferences]\nDigits=3\n[HeaderFont\nFontSize=12\n[Tabs]\nTab1=100\n") << true
            << QStringList{"Preferences/Digits=3", "HeaderFont/FontSize=", "Tabs/Tab1=100"};
        QTest::newRow("line without a value between good ones")
            << QByteArray("[Preferences]\nDigits=3\nthis line is damaged\nPassword=abc\n") << true
            << QStringList{"Preferences/Digits=3", "Preferences/Password=abc"};
        QTest::newRow("binary") << good + QByteArray("\0\x01\x02", 3) << false << QStringList{"Preferences/Digits="};
        QTest::newRow("not UTF-8 text") << good + "Tab2=\xff\xfe\n" << false << QStringList{"Tabs/TabCount="};
    }
    // Every well-formed key keeps its value; the operator learns of the damage with the file's path;
    // a damaged file is kept aside before it is replaced, one that could not be read is never replaced.
    void settingsStoreReadsWhatItCanOfADamagedFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, readable);
        QFETCH(QStringList, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Glimora.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        f.close();

        SettingsStore store(path);
        for (const QString& entry : kept) {
            const QString section = entry.section(QLatin1Char('/'), 0, 0);
            const QString key = entry.section(QLatin1Char('/'), 1).section(QLatin1Char('='), 0, 0);
            QCOMPARE(section + QLatin1Char('/') + key + QLatin1Char('=') + store.GetSetting(section, key), entry);
        }
        QVERIFY2(store.Problem().contains(path), qPrintable(store.Problem()));

        store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("SoundOn"), QStringLiteral("False"));
        QCOMPARE(store.Sync(), readable);
        const auto bytes = [](const QString& p) { QFile in(p); return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray(); };
        if (!readable) {
            QCOMPARE(bytes(path), content);
            return;
        }
        QCOMPARE(bytes(path + QStringLiteral(".damaged")), content);
        QVERIFY(SettingsStore(path).Problem().isEmpty());
    }

};

QTEST_MAIN(TestCore)
#include "tst_core.moc"
