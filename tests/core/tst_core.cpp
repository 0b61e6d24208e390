// Number formats, parsing, the readings list and its averages, the status display and the
// scan file: the pure logic under the main window.
#include <QFile>
#include <QFileDialog>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
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
#include "tests/common/ModalHelper.h"
#include "tests/common/TestMeter.h"
#include "tests/common/Unwritable.h"

using namespace support;
using testing::PumpUntil;

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
    void readsNumbers_data();
    void readsNumbers();
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
    void scanSaveDialogRefusesUnwritableNamesAndListsEveryFile();

    void settingsStoreKeepsOldFileWhenNewCannotBeWritten();
    void settingsStoreReadsWhatItCanOfADamagedFile_data();
    void settingsStoreReadsWhatItCanOfADamagedFile();
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

void TestCore::readsNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("leading");
    QTest::addColumn<double>("stored");
    QTest::newRow("blanks and trailing text") << "  139.6abc" << 139.6 << 0.0;
    QTest::newRow("negative") << "-12" << -12.0 << -12.0;
    QTest::newRow("plus and bare fraction") << "+.5" << 0.5 << 0.5;
    QTest::newRow("exponent") << "1e3x" << 1000.0 << 0.0;
    QTest::newRow("exponent without digits") << "1e" << 1.0 << 0.0;
    QTest::newRow("text") << "abc" << 0.0 << 0.0;
    QTest::newRow("empty") << "" << 0.0 << 0.0;
    QTest::newRow("point only") << "." << 0.0 << 0.0;
    QTest::newRow("sign only") << "-" << 0.0 << 0.0;
    QTest::newRow("overflowing exponent") << "1e999999" << 1.0 << 0.0;
    QTest::newRow("unit after blank") << "85.00 GU" << 85.0 << 0.0;
    QTest::newRow("unit") << "12pt" << 12.0 << 0.0;
    QTest::newRow("blanks around") << " 20.01 " << 20.01 << 20.01;
    QTest::newRow("two signs") << "+-3" << 0.0 << 0.0;
    QTest::newRow("decimal comma is not a point") << "20,01" << 20.0 << 0.0;
}

// Numbers read the same whatever the C library's locale: run under one with a decimal comma.
void TestCore::readsNumbers()
{
    QFETCH(QString, text);
    QFETCH(double, leading);
    QFETCH(double, stored);
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    QVERIFY2(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), "the de_DE.UTF-8 locale is missing: run scripts/setup.sh");
    const double gotLeading = LeadingNumber(text);
    const double gotStored = StoredNumber(text);
    std::setlocale(LC_NUMERIC, before.c_str());
    QCOMPARE(gotLeading, leading);
    QCOMPARE(gotStored, stored);
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
    // Printed doubles carry the decimal separator of the operator's locale.
    QCOMPARE(FormatPrintedDouble(1.5), Local(" 1.5 "));
    QCOMPARE(FormatPrintedDouble(-2.25), Local("-2.25 "));
    QCOMPARE(FormatPrintedDouble(0.1 + 0.2), Local(" 0.3 "));
    QCOMPARE(FormatPrintedDouble(123456789012345678.0), Local(" 1.23456789012346e+17 "));
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
    QVERIFY(model.Averages().HasMessage());
    const double values[] = {10.004, 20.006, 30.0};
    for (double v : values) model.AddReading(Make(v, v, v, v), 2, QStringLiteral("  note  "));
    QCOMPARE(model.Text(0, 6), QStringLiteral("note"));
    QVERIFY(!model.Averages().HasMessage());

    // Nothing selected: nothing removed, the message check still runs.
    model.DeleteRows(std::vector<bool>(3, false));
    QCOMPARE(model.RowCount(), 3);

    // The values removed are those shown (20.01), not the meter's (20.006).
    std::vector<bool> sel(3, false);
    for (int r = 0; r < 3; ++r) sel[static_cast<std::size_t>(r)] = model.Text(r, 1) == QLatin1String("20.01");
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

    // Clear Readings clears the averages with the rows.
    model.AddReading(Make(5, 5, 5, 5), 2, QString());
    model.ClearRows();
    QCOMPARE(model.Averages().Count(), 0L);
}

void TestCore::deleteOfOddCalStandardBringsAveragesBack()
{
    ReadingsModel model;
    const QStringList cals = {QStringLiteral("Std A"), QStringLiteral("Std B"), QStringLiteral("Std A")};
    for (const QString& cal : cals) model.AddReading(Make(50, 60, 1, 2, cal), 2, QString());
    QVERIFY(model.Averages().HasMessage());
    QCOMPARE(MakeSummary(model.Averages(), 2, model.RowCount()).Count, QStringLiteral("---"));
    std::vector<bool> sel(3, false);
    for (int r = 0; r < 3; ++r) sel[static_cast<std::size_t>(r)] = model.Text(r, 5) == QLatin1String("Std B");
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

void TestCore::deleteScalesLinearly()
{
    // 50,000 selected rows of 100,000 go in one pass (a quadratic walk would take minutes).
    ReadingsModel model;
    for (int i = 0; i < 100000; ++i) {
        MeterReading r = Make(i % 100, 90, 1, 2);
        // Each reading older than the last: it goes to the end of the newest-first list, so
        // building the list stays linear (also under the sanitizers' slow memmove).
        r.TimeStamp = r.TimeStamp.addSecs(-i);
        model.AddReading(r, 2, QString());
    }
    std::vector<bool> sel(100000);
    for (std::size_t i = 0; i < sel.size(); ++i) sel[i] = (i % 2) == 0;
    QElapsedTimer t;
    t.start();
    model.DeleteRows(sel);
    QVERIFY2(t.elapsed() < 20000, "delete of half of 100,000 rows must not grow with the square of the list");
    QCOMPARE(model.RowCount(), 50000);
    QCOMPARE(model.Averages().Count(), 50000L);
    QVERIFY(!model.Averages().HasMessage());
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
    QVERIFY(!status.MeterOn());
    QVERIFY(!meter.log.contains(QStringLiteral("BatteryState?")));
    QCOMPARE(updates, 1);

    meter.connected = true;
    meter.meterState = 0;
    status.ShowMeterStatus();
    QCOMPARE(status.PanelText(4), QStringLiteral("Getting parameters"));
    QVERIFY(status.MeterBusy());
    meter.meterState = 1;
    status.ShowMeterStatus();  // no idle notification yet
    QCOMPARE(status.PanelText(4), QStringLiteral("Busy gathering data"));
    QCOMPARE(status.PanelText(3), QStringLiteral("Battery: Ok"));
    status.SetMeterBusy(false);  // code 10
    status.ShowMeterStatus();
    QCOMPARE(status.PanelText(4), QStringLiteral("Waiting for commands"));

    meter.meterState = 2;
    status.ShowMeterStatus();
    QCOMPARE(status.PanelText(4), QStringLiteral("Haze meter is off"));
    QCOMPARE(status.PanelText(3), QStringLiteral("Battery: ---"));
    QVERIFY(!status.MeterOn());
    QVERIFY(status.MeterBusy());

    const std::pair<int, const char*> states[] = {{3, "Actively scanning"}, {4, "Running correction algorithms"}, {7, "Unknown"}};
    for (auto [state, text] : states) {
        status.SetMeterBusy(false);
        meter.meterState = state;
        status.ShowMeterStatus();
        QCOMPARE(status.PanelText(4), QString::fromLatin1(text));
        QVERIFY(status.MeterBusy());
        QVERIFY(status.MeterOn());
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
    QTimer& Timer1 = *status.findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(!Timer1.isActive());
    MeterReading plain = Make(1, 2, 3, 4);
    meter.center = 512;
    meter.dutyCycle = 37;
    status.ShowReadingMessage(plain);
    QCOMPARE(status.PanelText(5), QStringLiteral("512, 37"));
    QVERIFY(Timer1.isActive());
    QCOMPARE(Timer1.interval(), 9000);
    MeterReading withMessage = plain;
    withMessage.SetMessage(QStringLiteral("Sample moved"));
    status.ShowReadingMessage(withMessage);
    QCOMPARE(status.PanelText(5), QStringLiteral("Sample moved"));
    Timer1.setInterval(20);
    Timer1.start();
    QTRY_COMPARE(status.PanelText(5), QString());
    QVERIFY(!Timer1.isActive());
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
    QCOMPARE(lines[8], Local("007, 1.5 \r").toUtf8());
    QCOMPARE(lines[9], Local("008,-2.25 \r").toUtf8());
    QVERIFY(lines[301].startsWith("300, 30 "));

    QCOMPARE(ScanSeparatorFor(QStringLiteral("/a/b.txt")), QStringLiteral("\t"));
    QCOMPARE(ScanSeparatorFor(QStringLiteral("/a/b.CSV")), QStringLiteral("\t"));
    QCOMPARE(ScanSeparatorFor(QStringLiteral("/a.csv/b")), QStringLiteral("\t"));
    QCOMPARE(ScanSeparatorFor(QStringLiteral("/a/b.tar.csv")), QStringLiteral(","));
    const QString txt = dir.filePath(QStringLiteral("scan.txt"));
    QVERIFY(WriteScanFile(txt, scan, when));
    QFile t(txt);
    QVERIFY(t.open(QIODevice::ReadOnly));
    QCOMPARE(t.readAll().split('\n').at(8), Local("007\t 1.5 \r").toUtf8());
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

// An unwritable name is refused in the dialog, which stays open for another one; the scan is kept.
// "All Files (*.*)" lists names without a point too.
void TestCore::scanSaveDialogRefusesUnwritableNamesAndListsEveryFile()
{
    QTemporaryDir dir;
    for (const char* name : {"locked.csv", "README", "a.csv"}) {
        QFile f(dir.filePath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("closed")));
    const testing::Unwritable lockedFile(dir.filePath(QStringLiteral("locked.csv")));
    const testing::Unwritable closedFolder(dir.filePath(QStringLiteral("closed")));
    QVERIFY(lockedFile.Holds() && closedFolder.Holds());

    QStringList tried = {dir.filePath(QStringLiteral("locked.csv")), dir.filePath(QStringLiteral("closed/new.csv")),
                         dir.filePath(QStringLiteral("fine.csv"))};
    QStringList refusals;
    bool listsEveryFile = false;
    std::function<void(QWidget*)> choose = [&](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        QVERIFY(d);
        const auto bail = qScopeGuard([d] {
            if (QTest::currentTestFailed()) QTimer::singleShot(0, d, [d] { d->reject(); });
        });
        d->setDirectory(dir.path());
        auto* model = d->findChild<QFileSystemModel*>();
        auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(model && types);
        const auto listed = [&] {
            QStringList names;
            const QModelIndex folder = model->index(dir.path());
            for (int r = 0; r < model->rowCount(folder); ++r) names << model->index(r, 0, folder).data().toString();
            return names;
        };
        if (refusals.isEmpty()) {
            QVERIFY(PumpUntil([&] { return listed().contains(QStringLiteral("a.csv")); }));
            QVERIFY(!listed().contains(QStringLiteral("README")));
            QTest::keyClick(types, Qt::Key_End);  // the operator picks "All Files (*.*)"
            QCOMPARE(types->currentText(), QStringLiteral("All Files (*.*)"));
            listsEveryFile = PumpUntil([&] { return listed().contains(QStringLiteral("README")); });
        }
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        for (auto* view : d->findChildren<QAbstractItemView*>()) view->clearSelection();
        name->setText(tried.takeFirst());  // typed by the operator
        if (!tried.isEmpty())
            testing::WhenModal([&](QWidget* box) {
                refusals << static_cast<QMessageBox*>(box)->text();
                box->close();
                QTimer::singleShot(0, [&] { choose(QApplication::activeModalWidget()); });
            });
        QTimer::singleShot(0, d, [d] { static_cast<QDialog*>(d)->accept(); });
    };
    testing::WhenModal(choose);
    QCOMPARE(ChooseScanFile(nullptr), dir.filePath(QStringLiteral("fine.csv")));
    QVERIFY(listsEveryFile);
    QCOMPARE(refusals.size(), 2);
    QVERIFY2(refusals[0].startsWith(QStringLiteral("locked.csv\nThis file is set to read-only.")), qPrintable(refusals[0]));
    QVERIFY2(refusals[1].startsWith(dir.filePath(QStringLiteral("closed"))), qPrintable(refusals[1]));
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

void TestCore::settingsStoreReadsWhatItCanOfADamagedFile_data()
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
void TestCore::settingsStoreReadsWhatItCanOfADamagedFile()
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
    SettingsStore again(path);
    QVERIFY(again.Problem().isEmpty());
    QCOMPARE(again.GetSetting(QStringLiteral("Preferences"), QStringLiteral("SoundOn")), QStringLiteral("False"));
    QCOMPARE(again.GetSetting(QStringLiteral("Preferences"), QStringLiteral("Digits")), QStringLiteral("3"));
    // A later damage does not overwrite the copy kept earlier.
    QVERIFY(f.open(QIODevice::Append) && f.write("[Broken\n") > 0);
    f.close();
    SettingsStore third(path);
    third.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("SoundOn"), QStringLiteral("True"));
    QVERIFY(third.Sync());
    QCOMPARE(bytes(path + QStringLiteral(".damaged")), content);
    QVERIFY(bytes(path + QStringLiteral(".damaged.1")).endsWith("[Broken\n"));
}

QTEST_MAIN(TestCore)
#include "tst_core.moc"
