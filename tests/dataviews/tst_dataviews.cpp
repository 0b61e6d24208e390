// The scan profile and the reading statistics: the statistics against values worked out
// independently, the scan file read back, and both windows on a real main window.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QHeaderView>
#include <QImage>
#include <QLineSeries>
#include <QLocale>
#include <QLogValueAxis>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <cmath>

#include "dataviews/ReadingStatistics.h"
#include "dataviews/ReadingStatisticsWindow.h"
#include "dataviews/ScanProfileWindow.h"
#include "meter/ScanFile.h"
#include "readings/ReadingsModel.h"
#include "readings/ReadingsView.h"
#include "support/Numbers.h"
#include "tests/app/AppFixture.h"

namespace {
QString MessageText;
void AnswerMessage(const QString& title)
{
    testing::WhenModal(
        [](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            MessageText = box->text();
            box->accept();
        },
        title);
}
ScanData SampleScan()
{
    ScanData scan;
    scan.HasData = true;
    for (int i = 0; i <= 300; ++i) scan.SetPoint(i, 1000.0 / (1.0 + (i - 150) * (i - 150) / 9.0) + 1.0 / 3.0);
    scan.SetPoint(0, 0.0);
    scan.SetPoint(1, 1e-5);
    scan.SetPoint(300, -2.25);
    return scan;
}
}  // namespace

class TestDataViews : public QObject {
    Q_OBJECT
private slots:
    void statisticsAgreeWithIndependentValues_data();
    void statisticsAgreeWithIndependentValues();
    void trendKeepsEverySpikeInFewPoints();
    void scanFileReadsBackOnlyItsOwnFormat_data();
    void scanFileReadsBackOnlyItsOwnFormat();
    void statisticsWindowFollowsTheList();
    void scanProfileFollowsScansAndOpensFiles();
};

void TestDataViews::statisticsAgreeWithIndependentValues_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("stdDev");  // sample standard deviation; -1 where there is none
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<QStringList>("texts");  // at two decimals, where checked

    QTest::newRow("none") << QList<double>{} << 0.0 << -1.0 << 0.0
                          << QStringList{"0", "---", "---", "---", "---", "---"};
    QTest::newRow("one reading") << QList<double>{85.346} << 85.346 << -1.0 << 1e-12
                                 << QStringList{"1", "85.35", "---", "85.35", "85.35", "0.00"};
    QTest::newRow("equal readings") << QList<double>(7, 2.675) << 2.675 << 0.0 << 0.0
                                    << QStringList{"7", "2.68", "0.00", "2.68", "2.68", "0.00"};
    QTest::newRow("small list") << QList<double>{2, 4, 4, 4, 5, 5, 7, 9} << 5.0 << std::sqrt(32.0 / 7.0) << 1e-12
                                << QStringList{"8", "5.00", "2.14", "2.00", "9.00", "7.00"};
    QTest::newRow("signs") << QList<double>{-1.5, 0.5} << -0.5 << std::sqrt(2.0) << 1e-12
                           << QStringList{"2", "-0.50", "1.41", "-1.50", "0.50", "2.00"};
    // A large common offset: the sum of squares would lose the whole spread.
    QList<double> offset;
    for (int i = 0; i < 100000; ++i) offset << 1e9 + (i % 10) * 0.1;
    QTest::newRow("100000 readings at 1e9") << offset << 1e9 + 0.45 << std::sqrt(0.0825 * 100000.0 / 99999.0) << 1e-6
                                            << QStringList{"100000", "1000000000.45", "0.29", "1000000000.00", "1000000000.90", "0.90"};
}

void TestDataViews::statisticsAgreeWithIndependentValues()
{
    QFETCH(QList<double>, values);
    QFETCH(double, mean);
    QFETCH(double, stdDev);
    QFETCH(double, tolerance);
    QFETCH(QStringList, texts);
    RunningStatistics s;
    for (double v : values) s.Add(v);
    QCOMPARE(s.Count(), values.size());
    if (!values.isEmpty()) {
        QVERIFY2(std::abs(s.Mean() - mean) <= tolerance * std::max(1.0, std::abs(mean)), qPrintable(QString::number(s.Mean(), 'g', 17)));
        QCOMPARE(s.Min(), *std::min_element(values.begin(), values.end()));
        QCOMPARE(s.Max(), *std::max_element(values.begin(), values.end()));
    }
    if (stdDev >= 0) QVERIFY2(std::abs(s.StdDev() - stdDev) <= tolerance, qPrintable(QString::number(s.StdDev(), 'g', 17)));
    const auto shown = StatisticsTexts(s, 2);
    QCOMPARE(QStringList(shown.begin(), shown.end()), texts);
}

void TestDataViews::trendKeepsEverySpikeInFewPoints()
{
    TrendEnvelope trend;
    for (double v : {3.0, 1.0, 2.0}) trend.Add(v);
    QCOMPARE(trend.Points(), (std::vector<QPointF>{{1, 3}, {2, 1}, {3, 2}}));
    for (int i = 3; i < 100000; ++i) trend.Add(i == 73000 ? 500.0 : (i == 41234 ? -7.0 : 10.0));
    const std::vector<QPointF> points = trend.Points();
    QCOMPARE(trend.Count(), 100000);
    QVERIFY(points.size() <= 2 * TrendEnvelope::MaxBuckets);
    double top = 0, bottom = 0, topAt = 0;
    for (const QPointF& p : points) {
        if (p.y() > top) { top = p.y(); topAt = p.x(); }
        bottom = std::min(bottom, p.y());
    }
    QCOMPARE(top, 500.0);
    QCOMPARE(bottom, -7.0);
    QVERIFY2(std::abs(topAt - 73001) < 100000.0 / TrendEnvelope::MaxBuckets * 2, qPrintable(QString::number(topAt)));
    QVERIFY(points.front().x() >= 1 && points.back().x() <= 100000);
}

void TestDataViews::scanFileReadsBackOnlyItsOwnFormat_data()
{
    QTest::addColumn<QString>("from");  // replaced once in the written csv text ...
    QTest::addColumn<QString>("to");    // ... by this; both empty: the file as written
    QTest::addColumn<QString>("error");  // part of the reason given; empty: the file is read

    QTest::newRow("as written") << "" << "" << "";
    QTest::newRow("empty") << "*" << "" << "complete line";
    QTest::newRow("line missing") << "\r\n300,-2.25 \r\n" << "\r\n" << "301 lines";
    QTest::newRow("line added") << "*" << "*\r\n301, 1 \r\n" << "lines";
    QTest::newRow("LF alone") << "\r\n005," << "\n005," << "Line 6 does not end";
    QTest::newRow("index out of turn") << "\r\n005," << "\r\n006," << "Line 7 does not start with the index 005";
    QTest::newRow("mixed separators") << "\r\n005," << "\r\n005\t" << "separator";
    QTest::newRow("no value") << "\r\n005, " << "\r\n005, x" << "Line 7 does not hold a value";
    QTest::newRow("value not as written") << "\r\n300,-2.25 " << "\r\n300,-2.250 " << "Line 302";
    QTest::newRow("trailing blank lost") << "\r\n300,-2.25 " << "\r\n300,-2.25" << "Line 302";
    QTest::newRow("date") << "07/04/2002" << "13/04/2002" << "Line 1";
}

void TestDataViews::scanFileReadsBackOnlyItsOwnFormat()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, error);
    // Values are written with the locale's decimal separator.
    from.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
    to.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
    const ScanData written = SampleScan();
    const QDateTime when(QDate(2002, 7, 4), QTime(14, 5, 9));
    QByteArray text = ScanFileText(written, when, QStringLiteral(","));
    if (from == QLatin1String("*")) text = to == QLatin1String("") ? QByteArray() : text + to.mid(1).toLatin1();
    else if (!from.isEmpty()) {
        const int at = text.indexOf(from.toLatin1());
        QVERIFY(at >= 0);
        text.replace(at, from.size(), to.toLatin1());
    }
    ScanData read;
    read.SetPoint(3, 42.0);
    QDateTime readWhen;
    QString reason;
    const bool ok = ParseScanFileText(text, read, readWhen, reason);
    QCOMPARE(ok, error.isEmpty());
    if (!ok) {
        QVERIFY2(reason.contains(error), qPrintable(reason));
        QCOMPARE(read.Point(3), 42.0);  // refused: nothing taken over
        QVERIFY(!read.HasData);
        return;
    }
    QCOMPARE(readWhen, when);
    QVERIFY(read.HasData);
    for (int i = 0; i <= 300; ++i) QCOMPARE(read.Point(i), written.Point(i));
    // The tab-separated form reads back the same, and a file far too large is refused unread.
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("scan.txt"));
    QVERIFY(WriteScanFile(txt, written, when));
    ScanData again;
    QVERIFY(ReadScanFile(txt, again, readWhen, reason));
    QCOMPARE(again.Point(150), written.Point(150));
    QFile big(dir.filePath(QStringLiteral("big.csv")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(200000, 'x'));
    big.close();
    QVERIFY(!ReadScanFile(big.fileName(), again, readWhen, reason));
    QVERIFY(!ReadScanFile(dir.filePath(QStringLiteral("missing.csv")), again, readWhen, reason));
}

// The Digits preference, chosen as the operator does in File > Properties.
void SetDigits(AppFixture& f, int digits)
{
    testing::WhenModal([digits](QWidget* w) {
        testing::Click(w, QStringLiteral("rad%1Digit").arg(digits));
        testing::Click(w, QStringLiteral("btnOK"));
    }, QStringLiteral("Properties"));
    f.Find(QStringLiteral("mnuFilePropProperties"))->trigger();
    QCOMPARE(testing::PendingModals(), 0);
}

void TestDataViews::statisticsWindowFollowsTheList()
{
    AppFixture f;
    f.Start();
    QVERIFY(!f.Find(QStringLiteral("mnuDataStatistics"))->isEnabled());
    const QDateTime t0(QDate(2026, 3, 1), QTime(9, 0, 0));
    int taken = 0;
    const auto take = [&](double specular, double doi) {
        f.meter->SetNextReading(specular, doi, 1.25, 3.5, QStringLiteral("Std A"), t0.addSecs(taken++));
        f.meter->Emit(12);
    };
    take(1.004, 90.0);
    QVERIFY(f.Find(QStringLiteral("mnuDataStatistics"))->isEnabled());
    f.Find(QStringLiteral("mnuDataStatistics"))->trigger();
    auto* window = f.app->findChild<ReadingStatisticsWindow*>();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Reading Statistics"));
    QTableWidget* table = window->Table();
    const auto cell = [&](int r, int c) { return table->item(r, c)->text(); };
    const auto meansAgree = [&] {
        QCOMPARE(cell(0, StatMean), f.Label("SumSpecular"));
        QCOMPARE(cell(1, StatMean), f.Label("SumDOI"));
        QCOMPARE(cell(2, StatMean), f.Label("Sum2Deg"));
        QCOMPARE(cell(3, StatMean), f.Label("Sum15Deg"));
        QCOMPARE(cell(0, StatCount), f.Label("SumCount"));
    };
    meansAgree();
    take(1.0046, 91.0);
    take(1.005, 95.0);
    meansAgree();
    QCOMPARE(cell(0, StatMin), QStringLiteral("1.00"));
    QCOMPARE(cell(0, StatMax), QStringLiteral("1.01"));
    QCOMPARE(cell(1, StatStdDev), QStringLiteral("2.65"));
    QCOMPARE(cell(1, StatRange), QStringLiteral("5.00"));

    // The trend shows the chosen row in the order taken, whatever the list's sort.
    f.Rows()->HeaderClicked(3);  // DOI ascending
    f.Rows()->HeaderClicked(3);  // descending
    table->setCurrentCell(1, 0);
    QCOMPARE(window->TrendChart()->title(), QStringLiteral("DOI in the order taken"));
    QCOMPARE(window->TrendSeries()->points(), (QList<QPointF>{{1, 90}, {2, 91}, {3, 95}}));

    // Deleting the first reading: the summary takes its shown 1.00 out, not 1.004, and moves to
    // 1.01 where the two remaining readings average 1.0048; the statistics follow the summary.
    for (int r = 0; r < f.Rows()->RowCount(); ++r)
        if (f.Rows()->Text(r, 2) == QLatin1String("90.00")) f.List()->selectRow(r);
    f.Find(QStringLiteral("mnuDataDelete"))->trigger();
    QCOMPARE(cell(0, StatCount), QStringLiteral("2"));
    QCOMPARE(f.Label("SumSpecular"), QStringLiteral("1.01"));
    meansAgree();
    QTRY_COMPARE(window->TrendSeries()->points(), (QList<QPointF>{{1, 91}, {2, 95}}));

    // The number format in force, and names for a screen reader on every cell.
    SetDigits(f, 3);
    QCOMPARE(cell(1, StatMean), QStringLiteral("93.000"));
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(table);
    QVERIFY(access && access->tableInterface());
    QAccessibleInterface* meanCell = access->tableInterface()->cellAt(1, StatMean);
    QVERIFY(meanCell);
    QCOMPARE(meanCell->text(QAccessible::Name), QStringLiteral("DOI Mean: 93.000"));
    QCOMPARE(access->tableInterface()->columnDescription(StatStdDev), QStringLiteral("Std Dev"));

    f.Find(QStringLiteral("mnuDataClearReadings"))->trigger();
    QCOMPARE(cell(0, StatCount), QStringLiteral("0"));
    QCOMPARE(cell(0, StatMean), QStringLiteral("---"));
    QVERIFY(!f.Find(QStringLiteral("mnuDataStatistics"))->isEnabled());
    QVERIFY(window->TrendSeries()->points().isEmpty());
}

void TestDataViews::scanProfileFollowsScansAndOpensFiles()
{
    AppFixture f;
    f.Start();
    const QString saved = f.dir.filePath(QStringLiteral("profile.csv"));
    QVERIFY(f.Find(QStringLiteral("mnuDataScanProfile"))->isEnabled());
    f.Find(QStringLiteral("mnuDataScanProfile"))->trigger();
    auto* window = f.app->findChild<ScanProfileWindow*>();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Scan Profile"));
    QVERIFY(!window->HasScan());
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("lblNoScan"))->isVisible());
    auto* save = window->findChild<QPushButton*>(QStringLiteral("cmdSaveImage"));
    auto* open = window->findChild<QPushButton*>(QStringLiteral("cmdOpenScanFile"));
    QVERIFY(!save->isEnabled());
    QCOMPARE(save->accessibleName(), QStringLiteral("Save Image..."));
    QCOMPARE(open->accessibleName(), QStringLiteral("Open Scan File..."));

    // A new scan shows at once, point by point against the angle.
    const ScanData scan = SampleScan();
    f.meter->nextScan = scan;
    testing::AnswerFileDialog(saved, QStringLiteral("Save As"));
    f.meter->Emit(21);
    QVERIFY(window->HasScan());
    const QList<QPointF> points = window->ProfileSeries()->points();
    QCOMPARE(points.size(), 301);
    QCOMPARE(points.first(), QPointF(-15.0, 0.0));
    QCOMPARE(points[150], QPointF(ScanProfileWindow::AngleOf(150), scan.Point(150)));
    QVERIFY(std::abs(points.last().x() - 15.0) < 1e-9);
    QVERIFY(window->Chart()->title().startsWith(QStringLiteral("Scan of ")));
    const auto peaks = window->Chart()->findChildren<QScatterSeries*>();
    QVERIFY(std::any_of(peaks.begin(), peaks.end(), [](QScatterSeries* s) { return s->name().startsWith(QStringLiteral("Specular peak 0.0° 1000.33")); }));

    // Read-out from the keyboard, in the number format in force.
    window->ChartView()->setFocus();
    QTest::keyClick(window->ChartView(), Qt::Key_Right);
    QCOMPARE(window->Readout()->text(), QStringLiteral("Angle: 0.1°  Value: %1").arg(support::FormatValue(scan.Point(151), 2)));
    SetDigits(f, 0);
    QCOMPARE(window->ReadoutText(0.04), QStringLiteral("Angle: 0.0°  Value: 1000."));

    // The logarithmic axis leaves out what it cannot show.
    window->findChild<QRadioButton*>(QStringLiteral("radLogarithmic"))->click();
    QVERIFY(!window->Chart()->axes(Qt::Vertical, window->ProfileSeries()).isEmpty());
    QVERIFY(qobject_cast<QLogValueAxis*>(window->Chart()->axes(Qt::Vertical, window->ProfileSeries()).first()));
    QCOMPARE(window->ProfileSeries()->count(), 299);

    // The saved scan file reads back to the same scan; a damaged one is refused and changes nothing.
    ScanData other = scan;
    other.SetPoint(150, 1.0);
    window->ShowScan(other, QDateTime::currentDateTime());
    testing::AnswerFileDialog(saved, QStringLiteral("Open Scan File"));
    open->click();
    QTRY_COMPARE(testing::PendingModals(), 0);
    for (int i = 0; i <= 300; ++i) QCOMPARE(window->Scan().Point(i), scan.Point(i));
    QVERIFY(window->Chart()->title().endsWith(QStringLiteral("from profile.csv")));

    const QString damaged = f.dir.filePath(QStringLiteral("damaged.csv"));
    QFile d(damaged);
    QVERIFY(d.open(QIODevice::WriteOnly));
    d.write("07/04/2002 14:05:09\r\n000, 1 \r\n");
    d.close();
    window->ShowScan(other, QDateTime::currentDateTime());
    testing::AnswerFileDialog(damaged, QStringLiteral("Open Scan File"));
    AnswerMessage(QStringLiteral("Open Scan File"));
    open->click();
    QTRY_COMPARE(testing::PendingModals(), 0);
    QVERIFY2(MessageText.startsWith(QStringLiteral("damaged.csv is not a scan file")), qPrintable(MessageText));
    QCOMPARE(window->Scan().Point(150), 1.0);

    // The plot as a PNG image.
    const QString image = f.dir.filePath(QStringLiteral("profile"));
    testing::AnswerFileDialog(image, QStringLiteral("Save Image"));
    save->click();
    QTRY_COMPARE(testing::PendingModals(), 0);
    QImage png(image + QStringLiteral(".png"));
    QVERIFY(!png.isNull());
    QCOMPARE(png.size(), window->ChartView()->size() * window->ChartView()->devicePixelRatio());
}

QTEST_MAIN(TestDataViews)
#include "tst_dataviews.moc"
