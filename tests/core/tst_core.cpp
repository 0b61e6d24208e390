// Number formats, parsing, the readings list and its averages, the status display and the
// scan file: the pure logic under the main window.
#include <QFile>
#include <QFileDialog>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

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
Reading Row(const QString& time, const QString& specular, const QString& cal = QStringLiteral("Std A"))
{
    Reading r;
    r.Cells = {time, specular, QStringLiteral("90.00"), QStringLiteral("1.00"), QStringLiteral("3.00"), cal, QString()};
    return r;
}
}  // namespace

class TestCore : public QObject {
    Q_OBJECT
private slots:
    void formatsValuesWithHalvesAwayFromZero_data();
    void formatsValuesWithHalvesAwayFromZero();
    void readsLeadingNumbers();
    void roundsHalvesToEven();
    void formatsDatesAndPrintedDoubles();

    void rowsLandWhereTheSortPutsThem();
    void headerClicksAlternateOrderAndCompareTexts();
    void deleteSelectionKeepsAveragesConsistent();
    void deleteOfOddCalStandardBringsAveragesBack();
    void deleteScalesLinearly();
    void summaryShowsDashesWhileAveragesCarryAMessage();

    void statusTableAndBusyFlags();
    void readingMessageAndTimer();

    void scanFileLayoutAndSeparators();
    void scanFileFailsQuietly();

    void settingsStoreKeepsOldFileWhenNewCannotBeWritten();
};

void TestCore::formatsValuesWithHalvesAwayFromZero_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("85.346/0") << 85.346 << 0 << "85.";
    QTest::newRow("85.346/1") << 85.346 << 1 << "85.3";
    QTest::newRow("85.346/2") << 85.346 << 2 << "85.35";
    QTest::newRow("85.346/3") << 85.346 << 3 << "85.346";
    QTest::newRow("0.5/0") << 0.5 << 0 << "1.";
    QTest::newRow("0.5/2") << 0.5 << 2 << "0.50";
    QTest::newRow("12.5/0") << 12.5 << 0 << "13.";
    QTest::newRow("12.4/0") << 12.4 << 0 << "12.";
    QTest::newRow("2.675/2 as typed") << 2.675 << 2 << "2.68";
    QTest::newRow("1.005/2 as typed") << 1.005 << 2 << "1.01";
    QTest::newRow("-2.5/0") << -2.5 << 0 << "-3.";
    QTest::newRow("-0.001/2 no minus zero") << -0.001 << 2 << "0.00";
    QTest::newRow("99.995/2 carries") << 99.995 << 2 << "100.00";
    QTest::newRow("1234567.891/1 no separator") << 1234567.891 << 1 << "1234567.9";
    QTest::newRow("0.0004/3") << 0.0004 << 3 << "0.000";
    QTest::newRow("0.0005/3") << 0.0005 << 3 << "0.001";
    QTest::newRow("0/2") << 0.0 << 2 << "0.00";
}

void TestCore::formatsValuesWithHalvesAwayFromZero()
{
    QFETCH(double, value);
    QFETCH(int, digits);
    QFETCH(QString, text);
    QCOMPARE(FormatValue(value, digits), text);
}

void TestCore::readsLeadingNumbers()
{
    QCOMPARE(LeadingNumber(QStringLiteral("  139.6abc")), 139.6);
    QCOMPARE(LeadingNumber(QStringLiteral("-12")), -12.0);
    QCOMPARE(LeadingNumber(QStringLiteral("+.5")), 0.5);
    QCOMPARE(LeadingNumber(QStringLiteral("1e3x")), 1000.0);
    QCOMPARE(LeadingNumber(QStringLiteral("1e")), 1.0);
    QCOMPARE(LeadingNumber(QStringLiteral("abc")), 0.0);
    QCOMPARE(LeadingNumber(QStringLiteral("")), 0.0);
    QCOMPARE(LeadingNumber(QStringLiteral(".")), 0.0);
    QCOMPARE(LeadingNumber(QStringLiteral("-")), 0.0);
    QCOMPARE(LeadingNumber(QStringLiteral("1e999999")), 1.0);  // an exponent that overflows is not taken
    QCOMPARE(LeadingNumber(QStringLiteral("85.00 GU")), 85.0);
}

void TestCore::roundsHalvesToEven()
{
    QCOMPARE(RoundHalfEven(2.5), 2.0);
    QCOMPARE(RoundHalfEven(3.5), 4.0);
    QCOMPARE(RoundHalfEven(2.6), 3.0);
    QCOMPARE(RoundHalfEven(-0.5), -0.0);
    QCOMPARE(RoundHalfEven(139.6), 140.0);
    QCOMPARE(ToInt64Saturated(1e300), std::numeric_limits<int64_t>::max());
}

void TestCore::formatsDatesAndPrintedDoubles()
{
    QCOMPARE(FormatDateTime(QDateTime(QDate(2002, 7, 4), QTime(14, 5, 9))), QStringLiteral("07/04/2002 14:05:09"));
    QCOMPARE(FormatDateTime(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))), QStringLiteral("01/02/2026 03:04:05"));
    QCOMPARE(FormatPrintedDouble(1.5), QStringLiteral(" 1.5 "));
    QCOMPARE(FormatPrintedDouble(-2.25), QStringLiteral("-2.25 "));
    QCOMPARE(FormatPrintedDouble(0.1 + 0.2), QStringLiteral(" 0.3 "));
    QCOMPARE(FormatPrintedDouble(123456789012345678.0), QStringLiteral(" 1.23456789012346e+17 "));
}

void TestCore::rowsLandWhereTheSortPutsThem()
{
    ReadingsModel model;
    // Start-up order: Date/Time, newest first.
    model.AddRow(Row(QStringLiteral("07/04/2002 14:05:09"), QStringLiteral("85.00")));
    model.AddRow(Row(QStringLiteral("07/04/2002 14:05:11"), QStringLiteral("100.00")));
    model.AddRow(Row(QStringLiteral("07/04/2002 14:05:10"), QStringLiteral("9.00")));
    QCOMPARE(model.Text(0, 0), QStringLiteral("07/04/2002 14:05:11"));
    QCOMPARE(model.Text(1, 0), QStringLiteral("07/04/2002 14:05:10"));
    QCOMPARE(model.Text(2, 0), QStringLiteral("07/04/2002 14:05:09"));

    model.HeaderClicked(2);  // Specular ascending, as text
    const int pos = model.AddRow(Row(QStringLiteral("07/04/2002 14:05:12"), QStringLiteral("50.00")));
    QCOMPARE(pos, 1);
    QStringList order;
    for (int r = 0; r < model.RowCount(); ++r) order << model.Text(r, 1);
    const QStringList expected = {QStringLiteral("100.00"), QStringLiteral("50.00"), QStringLiteral("85.00"), QStringLiteral("9.00")};
    QCOMPARE(order, expected);

    model.ClearRows();
    QCOMPARE(model.RowCount(), 0);
    QCOMPARE(model.SortKey(), 0);
    QCOMPARE(model.SortOrder(), Qt::DescendingOrder);
    QCOMPARE(model.LastClickedColumn(), 2);  // the sort memory stays
}

void TestCore::headerClicksAlternateOrderAndCompareTexts()
{
    ReadingsModel model;
    model.AddRow(Row(QStringLiteral("a"), QStringLiteral("85.00")));
    model.AddRow(Row(QStringLiteral("b"), QStringLiteral("100.00")));
    model.HeaderClicked(2);
    QCOMPARE(model.SortOrder(), Qt::AscendingOrder);
    QCOMPARE(model.Text(0, 1), QStringLiteral("100.00"));  // "100.00" < "85.00" as text
    model.HeaderClicked(2);
    QCOMPARE(model.SortOrder(), Qt::DescendingOrder);
    QCOMPARE(model.Text(0, 1), QStringLiteral("85.00"));
    model.HeaderClicked(2);
    QCOMPARE(model.SortOrder(), Qt::AscendingOrder);
    model.HeaderClicked(2);
    model.HeaderClicked(3);  // another column starts ascending
    QCOMPARE(model.SortKey(), 2);
    QCOMPARE(model.SortOrder(), Qt::AscendingOrder);
}

void TestCore::deleteSelectionKeepsAveragesConsistent()
{
    ReadingsModel model;
    MeterReading averages;
    averages.Clear();
    QVERIFY(averages.HasMessage());
    const double values[] = {10.004, 20.006, 30.0};
    for (double v : values) {
        MeterReading r = Make(v, v, v, v);
        model.AddRow(ReadingsModel::MakeReading(r, 2, QStringLiteral("  note  ")));
        averages.Add(r);
    }
    QCOMPARE(model.Text(0, 6), QStringLiteral("note"));
    QVERIFY(!averages.HasMessage());

    // Nothing selected: nothing removed, the message check still runs.
    model.DeleteRows(std::vector<bool>(3, false), averages);
    QCOMPARE(model.RowCount(), 3);

    // The values removed are those shown (20.01), not the meter's (20.006).
    std::vector<bool> sel(3, false);
    for (int r = 0; r < 3; ++r) sel[static_cast<std::size_t>(r)] = model.Text(r, 1) == QLatin1String("20.01");
    model.DeleteRows(sel, averages);
    QCOMPARE(model.RowCount(), 2);
    QCOMPARE(averages.Count(), 2L);
    QVERIFY(qAbs(averages.Specular() - (10.004 + 20.006 + 30.0 - 20.01) / 2) < 1e-9);
    // The rest keep their delivered values in the order taken, and the list knows how far the
    // averages moved from them.
    QCOMPARE(model.RowTaken(0).Values[0], 10.004);
    QCOMPARE(model.RowTaken(1).Values[3], 30.0);
    QVERIFY(qAbs(model.RoundingTakenOut()[1] - (20.006 - 20.01)) < 1e-12);

    // Everything selected: the list empties and the averages are cleared.
    model.DeleteRows(std::vector<bool>(2, true), averages);
    QCOMPARE(model.RowCount(), 0);
    QVERIFY(averages.HasMessage());
    QCOMPARE(averages.Count(), 0L);
    QCOMPARE(model.RoundingTakenOut()[1], 0.0);

    // A cell whose text is no number counts as 0.
    Reading odd = Row(QStringLiteral("x"), QStringLiteral("n/a"));
    model.AddRow(odd);
    MeterReading acc;
    acc.Clear();
    acc.Add(Make(5, 5, 5, 5));
    model.DeleteRows({true}, acc);
    QVERIFY(acc.HasMessage());
}

void TestCore::deleteOfOddCalStandardBringsAveragesBack()
{
    ReadingsModel model;
    MeterReading averages;
    averages.Clear();
    const QStringList cals = {QStringLiteral("Std A"), QStringLiteral("Std B"), QStringLiteral("Std A")};
    for (const QString& cal : cals) {
        MeterReading r = Make(50, 60, 1, 2, cal);
        model.AddRow(ReadingsModel::MakeReading(r, 2, QString()));
        averages.Add(r);
    }
    QVERIFY(averages.HasMessage());
    QCOMPARE(MakeSummary(averages, 2, model.RowCount()).Count, QStringLiteral("---"));
    std::vector<bool> sel(3, false);
    for (int r = 0; r < 3; ++r) sel[static_cast<std::size_t>(r)] = model.Text(r, 5) == QLatin1String("Std B");
    model.DeleteRows(sel, averages);
    QVERIFY(!averages.HasMessage());
    const SummaryTexts t = MakeSummary(averages, 2, model.RowCount());
    QCOMPARE(t.Specular, QStringLiteral("50.00"));
    QCOMPARE(t.Count, QStringLiteral("2"));
    // Case and blanks count when the cal standards are compared.
    model.AddRow(Row(QStringLiteral("z"), QStringLiteral("1.00"), QStringLiteral("std a")));
    averages.Add(Make(1, 90, 1, 3, QStringLiteral("std a")));
    model.DeleteRows(std::vector<bool>(3, false), averages);
    QVERIFY(averages.HasMessage());
}

void TestCore::deleteScalesLinearly()
{
    // 50,000 selected rows of 100,000 go in one pass (a quadratic walk would take minutes).
    ReadingsModel model;
    MeterReading averages;
    averages.Clear();
    for (int i = 0; i < 100000; ++i) {
        MeterReading r = Make(i % 100, 90, 1, 2);
        // Each reading older than the last: it goes to the end of the newest-first list, so
        // building the list stays linear (also under the sanitizers' slow memmove).
        r.TimeStamp = r.TimeStamp.addSecs(-i);
        model.AddRow(ReadingsModel::MakeReading(r, 2, QString()));
        averages.Add(r);
    }
    std::vector<bool> sel(100000);
    for (std::size_t i = 0; i < sel.size(); ++i) sel[i] = (i % 2) == 0;
    QElapsedTimer t;
    t.start();
    model.DeleteRows(sel, averages);
    QVERIFY2(t.elapsed() < 20000, "delete of half of 100,000 rows must not grow with the square of the list");
    QCOMPARE(model.RowCount(), 50000);
    QCOMPARE(averages.Count(), 50000L);
    QVERIFY(!averages.HasMessage());
}

void TestCore::summaryShowsDashesWhileAveragesCarryAMessage()
{
    MeterReading averages;
    averages.Clear();
    const SummaryTexts empty = MakeSummary(averages, 2, 0);
    QCOMPARE(empty.Specular, QStringLiteral("---"));
    QCOMPARE(empty.Count, QStringLiteral("---"));
    averages.Add(Make(12.0, 90.0, 1.0, 3.0));
    averages.Add(Make(13.0, 91.0, 2.0, 4.0));
    const SummaryTexts two = MakeSummary(averages, 0, 2);
    QCOMPARE(two.Specular, QStringLiteral("13."));  // 12.5 rounds away from zero
    QCOMPARE(two.DOI, QStringLiteral("91."));
    QCOMPARE(two.Count, QStringLiteral("2"));
}

void TestCore::statusTableAndBusyFlags()
{
    QStatusBar bar;
    TestMeter meter;
    int updates = 0;
    StatusDisplay status(&bar, meter, [&] { ++updates; });

    meter.connected = false;
    meter.serialNumber = QStringLiteral("X1");
    status.ShowMeterStatus();
    QCOMPARE(status.PanelText(4), QStringLiteral("No haze meter found"));
    QCOMPARE(status.PanelText(3), QStringLiteral("Battery: ---"));
    QCOMPARE(status.PanelText(1), QStringLiteral("S/N: X1"));
    QCOMPARE(status.PanelText(2), QStringLiteral("Version: 3.1"));
    QVERIFY(!status.MeterOn);
    QVERIFY(!meter.log.contains(QStringLiteral("BatteryState?")));
    QCOMPARE(updates, 1);

    meter.connected = true;
    meter.meterState = 0;
    status.ShowMeterStatus();
    QCOMPARE(status.PanelText(4), QStringLiteral("Getting parameters"));
    QVERIFY(status.MeterBusy);
    meter.meterState = 1;
    status.ShowMeterStatus();  // no idle notification yet
    QCOMPARE(status.PanelText(4), QStringLiteral("Busy gathering data"));
    QCOMPARE(status.PanelText(3), QStringLiteral("Battery: Ok"));
    status.MeterBusy = false;  // code 10
    status.ShowMeterStatus();
    QCOMPARE(status.PanelText(4), QStringLiteral("Waiting for commands"));

    meter.meterState = 2;
    status.ShowMeterStatus();
    QCOMPARE(status.PanelText(4), QStringLiteral("Haze meter is off"));
    QCOMPARE(status.PanelText(3), QStringLiteral("Battery: ---"));
    QVERIFY(!status.MeterOn);
    QVERIFY(status.MeterBusy);

    const std::pair<int, const char*> states[] = {{3, "Actively scanning"}, {4, "Running correction algorithms"}, {7, "Unknown"}};
    for (auto [state, text] : states) {
        status.MeterBusy = false;
        meter.meterState = state;
        status.ShowMeterStatus();
        QCOMPARE(status.PanelText(4), QString::fromLatin1(text));
        QVERIFY(status.MeterBusy);
        QVERIFY(status.MeterOn);
    }
    meter.meterState = 1;
    meter.batteryState = 1;
    status.ShowMeterStatus();
    QCOMPARE(status.PanelText(3), QStringLiteral("Battery: Low"));
    meter.batteryState = 5;
    status.ShowMeterStatus();
    QCOMPARE(status.PanelText(3), QStringLiteral("Battery: ---"));
}

void TestCore::readingMessageAndTimer()
{
    QStatusBar bar;
    TestMeter meter;
    StatusDisplay status(&bar, meter, {});
    QVERIFY(!status.Timer1.isActive());
    MeterReading plain = Make(1, 2, 3, 4);
    meter.center = 512;
    meter.dutyCycle = 37;
    status.ShowReadingMessage(plain);
    QCOMPARE(status.PanelText(5), QStringLiteral("512, 37"));
    QVERIFY(status.Timer1.isActive());
    QCOMPARE(status.Timer1.interval(), 9000);
    MeterReading withMessage = plain;
    withMessage.SetMessage(QStringLiteral("Sample moved"));
    status.ShowReadingMessage(withMessage);
    QCOMPARE(status.PanelText(5), QStringLiteral("Sample moved"));
    status.Timer1.setInterval(20);
    status.Timer1.start();
    QTRY_COMPARE(status.PanelText(5), QString());
    QVERIFY(!status.Timer1.isActive());
}

void TestCore::scanFileLayoutAndSeparators()
{
    QTemporaryDir dir;
    ScanData scan;
    scan.HasData = true;
    for (int i = 0; i <= 300; ++i) scan.SetPoint(i, i == 7 ? 1.5 : (i == 8 ? -2.25 : i * 0.1));
    const QDateTime when(QDate(2002, 7, 4), QTime(14, 5, 9));

    const QString csv = dir.filePath(QStringLiteral("scan.csv"));
    QVERIFY(WriteScanFile(csv, scan, when));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    QVERIFY(all.endsWith("\r\n"));
    const QList<QByteArray> lines = all.left(all.size() - 2).split('\n');
    QCOMPARE(lines.size(), 302);
    for (const QByteArray& l : lines) QVERIFY(l.isEmpty() || l.endsWith('\r') || &l == &lines.last());
    QCOMPARE(lines[0], QByteArray("07/04/2002 14:05:09\r"));
    QCOMPARE(lines[8], QByteArray("007, 1.5 \r"));
    QCOMPARE(lines[9], QByteArray("008,-2.25 \r"));
    QVERIFY(lines[301].startsWith("300, 30 "));

    QCOMPARE(ScanSeparatorFor(QStringLiteral("/a/b.txt")), QStringLiteral("\t"));
    QCOMPARE(ScanSeparatorFor(QStringLiteral("/a/b.CSV")), QStringLiteral("\t"));
    QCOMPARE(ScanSeparatorFor(QStringLiteral("/a.csv/b")), QStringLiteral("\t"));
    QCOMPARE(ScanSeparatorFor(QStringLiteral("/a/b.tar.csv")), QStringLiteral(","));
    const QString txt = dir.filePath(QStringLiteral("scan.txt"));
    QVERIFY(WriteScanFile(txt, scan, when));
    QFile t(txt);
    QVERIFY(t.open(QIODevice::ReadOnly));
    QCOMPARE(t.readAll().split('\n').at(8), QByteArray("007\t 1.5 \r"));
}

void TestCore::scanFileFailsQuietly()
{
    QTemporaryDir dir;
    ScanData scan;
    scan.HasData = true;
    QVERIFY(!WriteScanFile(dir.filePath(QStringLiteral("missing/folder/scan.csv")), scan, QDateTime::currentDateTime()));
    QVERIFY(!WriteScanFile(QStringLiteral("/dev/full"), scan, QDateTime::currentDateTime()));
    QFileDialog dialog;
    PrepareScanSaveDialog(dialog);
    QCOMPARE(dialog.defaultSuffix(), QStringLiteral("csv"));
    const QStringList filters = {QStringLiteral("Excel (*.csv)"), QStringLiteral("Text (*.txt)"), QStringLiteral("All Files (*.*)")};
    QCOMPARE(dialog.nameFilters(), filters);
    QCOMPARE(dialog.selectedNameFilter(), QStringLiteral("Excel (*.csv)"));
    QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
}

void TestCore::settingsStoreKeepsOldFileWhenNewCannotBeWritten()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cfg/Glimora.ini"));
    {
        SettingsStore store(path);
        store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("a=b;\"c\" d"));
        store.SaveSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile1"), QStringLiteral("/tmp/x, y.csv"));
        QVERIFY(store.Sync());
        QVERIFY(!store.Dirty());
    }
    QCOMPARE(QFile(path).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    SettingsStore again(path);
    QCOMPARE(again.GetSetting(QStringLiteral("Preferences"), QStringLiteral("Password")), QStringLiteral("a=b;\"c\" d"));
    QCOMPARE(again.GetSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile1")), QStringLiteral("/tmp/x, y.csv"));
    QCOMPARE(again.GetSetting(QStringLiteral("Preferences"), QStringLiteral("Missing"), QStringLiteral("d")), QStringLiteral("d"));

    // A store whose folder cannot take the new file keeps the old file whole.
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    QFile::remove(path + QStringLiteral(".new"));
    QVERIFY(QDir().mkpath(path + QStringLiteral(".new/blocker")));  // a folder where the temporary file goes
    again.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Digits"), QStringLiteral("3"));
    QVERIFY(!again.Sync());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

QTEST_MAIN(TestCore)
#include "tst_core.moc"
