// The scan profile and the reading statistics: the statistics against values worked out
// independently, the scan file read back, and both windows on a real main window.
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QRadioButton>
#include <QScreen>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QPushButton>
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

// The windows' parts, found by their names as a screen reader finds them.
QChart* ChartIn(QWidget* window, const char* view)
{
    auto* v = window->findChild<QChartView*>(QLatin1String(view));
    return v ? v->chart() : nullptr;
}
QXYSeries* SeriesIn(QChart* chart, const QString& name)
{
    for (QAbstractSeries* series : chart->series())
        if (series->name() == name || series->objectName() == name) return qobject_cast<QXYSeries*>(series);
    return nullptr;
}

// The pointer resting over the scan profile at an angle and value.
void PointAt(QWidget* window, double angle, double value)
{
    auto* view = window->findChild<QChartView*>(QStringLiteral("chtScanProfile"));
    QChart* chart = view->chart();
    const QPoint over = view->mapFromScene(chart->mapToScene(chart->mapToPosition(QPointF(angle, value))));
    QMouseEvent move(QEvent::MouseMove, over, view->viewport()->mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);  // the offscreen screen moves no pointer for QTest::mouseMove
}

// The Digits preference, chosen as the operator does in File > Properties.
void SetDigits(AppFixture& f, int digits)
{
    testing::WhenModal(
        [digits](QWidget* w) {
            testing::Click(w, QStringLiteral("rad%1Digit").arg(digits));
            testing::Click(w, QStringLiteral("btnOK"));
        },
        QStringLiteral("Properties"));
    f.Find(QStringLiteral("mnuFilePropProperties"))->trigger();
    QCOMPARE(testing::PendingModals(), 0);
}
}  // namespace

class TestDataViews : public QObject {
    Q_OBJECT
private slots:
    void statisticsAgreeWithIndependentValues_data()
    {
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<double>("stdDev");  // sample standard deviation; -1 where there is none
        QTest::addColumn<QStringList>("texts");  // count, mean, std dev, min, max, range at two decimals
        QTest::newRow("none") << QList<double>{} << -1.0 << QStringList{"0", "---", "---", "---", "---", "---"};
        QTest::newRow("one reading") << QList<double>{85.346} << -1.0
                                     << QStringList{"1", "85.35", "---", "85.35", "85.35", "0.00"};
        QTest::newRow("small list") << QList<double>{2, 4, 4, 4, 5, 5, 7, 9} << std::sqrt(32.0 / 7.0)
                                    << QStringList{"8", "5.00", "2.14", "2.00", "9.00", "7.00"};
        QTest::newRow("signs") << QList<double>{-1.5, 0.5} << std::sqrt(2.0)
                               << QStringList{"2", "-0.50", "1.41", "-1.50", "0.50", "2.00"};
        // A large common offset: the sum of squares would lose the whole spread.
        QList<double> offset;
        for (int i = 0; i < 100000; ++i) offset << 1e9 + (i % 10) * 0.1;
        QTest::newRow("100000 readings at 1e9")
            << offset << std::sqrt(0.0825 * 100000.0 / 99999.0)
            << QStringList{"100000", "1000000000.45", "0.29", "1000000000.00", "1000000000.90", "0.90"};
    }

    void statisticsAgreeWithIndependentValues()
    {
        QFETCH(QList<double>, values);
        QFETCH(double, stdDev);
        QFETCH(QStringList, texts);
        RunningStatistics s;
        for (double v : values) s.Add(v);
        if (stdDev >= 0)
            QVERIFY2(std::abs(s.StdDev() - stdDev) <= 1e-6, qPrintable(QString::number(s.StdDev(), 'g', 17)));
        const auto shown = StatisticsTexts(s, 2);
        QCOMPARE(QStringList(shown.begin(), shown.end()), texts);
    }

    void trendKeepsEverySpikeInFewPoints()
    {
        TrendEnvelope trend;
        for (double v : {3.0, 1.0, 2.0}) trend.Add(v);
        QCOMPARE(trend.Points(), (std::vector<QPointF>{{1, 3}, {2, 1}, {3, 2}}));
        for (int i = 3; i < 100000; ++i) trend.Add(i == 73000 ? 500.0 : (i == 41234 ? -7.0 : 10.0));
        const std::vector<QPointF> points = trend.Points();
        QVERIFY(points.size() <= 2 * TrendEnvelope::MaxBuckets);
        double top = 0, bottom = 0, topAt = 0;
        for (const QPointF& p : points) {
            if (p.y() > top) {
                top = p.y();
                topAt = p.x();
            }
            bottom = std::min(bottom, p.y());
        }
        QCOMPARE(QList<double>({top, bottom}), QList<double>({500.0, -7.0}));
        QVERIFY2(std::abs(topAt - 73001) < 100000.0 / TrendEnvelope::MaxBuckets * 2,
                 qPrintable(QString::number(topAt)));
    }

    void scanFileReadsBackOnlyItsOwnFormat_data()
    {
        QTest::addColumn<QString>("from");  // replaced once in the written csv text ...
        QTest::addColumn<QString>("to");  // ... by this; both empty: the file as written
        QTest::addColumn<QString>("error");  // part of the reason given; empty: the file is read
        QTest::newRow("as written") << ""
                                    << ""
                                    << "";
        QTest::newRow("line missing") << "\r\n300,-2.25 \r\n"
                                      << "\r\n"
                                      << "301 lines";
        QTest::newRow("LF alone") << "\r\n005,"
                                  << "\n005,"
                                  << "Line 6 does not end";
        QTest::newRow("LF alone before the last line") << "\r\n300,"
                                                       << "\n300,"
                                                       << "Line 301 does not end";
        QTest::newRow("index out of turn") << "\r\n005,"
                                           << "\r\n006,"
                                           << "Line 7 does not start with the index 005";
        QTest::newRow("value not as written") << "\r\n300,-2.25 "
                                              << "\r\n300,-2.250 "
                                              << "Line 302";
        QTest::newRow("date") << "07/04/2002"
                              << "13/04/2002"
                              << "Line 1";
    }

    void scanFileReadsBackOnlyItsOwnFormat()
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
        if (!from.isEmpty()) {
            const int at = text.indexOf(from.toUtf8());
            QVERIFY(at >= 0);
            text.replace(at, from.toUtf8().size(), to.toUtf8());
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
            return;
        }
        QCOMPARE(readWhen, when);
        for (int i = 0; i <= 300; ++i) QCOMPARE(read.Point(i), written.Point(i));
    }

    // The statistics follow the list as readings come and go, agree with the summary, and show
    // the number format in force, with names for a screen reader on every cell.
    void statisticsWindowFollowsTheList()
    {
        AppFixture f;
        f.Start();
        const QDateTime t0(QDate(2026, 3, 1), QTime(9, 0, 0));
        int taken = 0;
        const auto take = [&](double specular, double doi) {
            f.meter->SetNextReading(specular, doi, 1.25, 3.5, QStringLiteral("Std A"), t0.addSecs(taken++));
            f.meter->Emit(VantrelCntl::Event::ReadingReady);
        };
        QVERIFY(!f.Find(QStringLiteral("mnuDataStatistics"))->isEnabled());
        take(1.004, 90.0);
        f.Find(QStringLiteral("mnuDataStatistics"))->trigger();
        auto* window = f.app->findChild<ReadingStatisticsWindow*>();
        QVERIFY(window && window->isVisible());
        // Fewer than two readings: the chart says so, with no axes.
        const auto saysWhy = [&](const char* why) {
            return ChartIn(window, "chtTrend")->title().contains(QLatin1String(why))
                && !ChartIn(window, "chtTrend")->axes().first()->isVisible();
        };
        QVERIFY(saysWhy("one reading"));
        auto* table = window->findChild<QTableWidget*>(QStringLiteral("tblStatistics"));
        QCOMPARE(table->currentRow(), 0);  // the trend's row is current from the start, for the arrow keys
        const auto cell = [&](int r, int c) { return table->item(r, c)->text(); };
        take(1.0046, 91.0);
        take(1.005, 95.0);
        QCOMPARE(QStringList({cell(0, StatMean), cell(1, StatMean), cell(0, StatCount)}),
                 QStringList({f.Label("SumSpecular"), f.Label("SumDOI"), f.Label("SumCount")}));
        QCOMPARE(cell(1, StatStdDev), QStringLiteral("2.65"));

        // The trend shows the chosen row in the order taken, whatever the list's sort.
        f.Rows()->HeaderClicked(3);
        f.Rows()->HeaderClicked(3);
        table->setCurrentCell(1, 0);
        QCOMPARE(SeriesIn(ChartIn(window, "chtTrend"), QStringLiteral("trendSeries"))->points(),
                 (QList<QPointF>{{1, 90}, {2, 91}, {3, 95}}));

        // Deleting the first reading: the summary takes its shown 1.00 out, not 1.004, and moves to
        // 1.01 where the two remaining readings average 1.0048; the statistics follow the summary.
        for (int r = 0; r < f.Rows()->RowCount(); ++r)
            if (f.Rows()->Text(r, 2) == QLatin1String("90.00")) f.List()->selectRow(r);
        f.Find(QStringLiteral("mnuDataDelete"))->trigger();
        QCOMPARE(QStringList({cell(0, StatCount), cell(0, StatMean)}), QStringList({"2", "1.01"}));
        QCOMPARE(f.Label("SumSpecular"), QStringLiteral("1.01"));
        QTRY_COMPARE(SeriesIn(ChartIn(window, "chtTrend"), QStringLiteral("trendSeries"))->points(),
                     (QList<QPointF>{{1, 91}, {2, 95}}));

        SetDigits(f, 3);
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(table);
        QVERIFY(access && access->tableInterface() && access->tableInterface()->cellAt(1, StatMean));
        QCOMPARE(access->tableInterface()->cellAt(1, StatMean)->text(QAccessible::Name),
                 QStringLiteral("DOI Mean: 93.000"));
        f.Button(QStringLiteral("Clear"))->trigger();
        QVERIFY(saysWhy("no readings"));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    // A new scan shows at once against the angle, read out from the keyboard in the number format
    // in force; the saved scan file opens back, and the plot saves as a PNG image.
    void scanProfileFollowsScansAndOpensFiles()
    {
        AppFixture f;
        f.Start();
        const QString saved = f.dir.filePath(QStringLiteral("profile.csv"));
        f.Find(QStringLiteral("mnuDataScanProfile"))->trigger();
        auto* window = f.app->findChild<ScanProfileWindow*>();
        QVERIFY(window && window->isVisible() && window->findChild<QLabel*>(QStringLiteral("lblNoScan"))->isVisible());
        QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));  // 820 wide on 800
        auto* save = window->findChild<QPushButton*>(QStringLiteral("cmdSaveImage"));
        auto* open = window->findChild<QPushButton*>(QStringLiteral("cmdOpenScanFile"));
        QVERIFY(!save->isEnabled());

        const ScanData scan = SampleScan();
        f.meter->nextScan = scan;
        qint64 answered = 0;  // the operator takes a moment to choose the name: the file carries the time of saving
        testing::WhenModal(
            [&](QWidget* w) {
                const qint64 shown = QDateTime::currentSecsSinceEpoch();
                QVERIFY(QTest::qWaitFor([&] { return (answered = QDateTime::currentSecsSinceEpoch()) > shown; }));
                w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(saved);
                static_cast<QDialog*>(w)->accept();
            },
            QStringLiteral("Save As"));
        f.meter->Emit(VantrelCntl::Event::ScanReady);
        QXYSeries* profile = SeriesIn(ChartIn(window, "chtScanProfile"), QStringLiteral("Profile"));
        QVERIFY(profile);
        const QList<QPointF> points = profile->points();
        QCOMPARE(points.size(), 301);
        QCOMPARE(points.first(), QPointF(-15.0, 0.0));
        QCOMPARE(points[150], QPointF(0.0, scan.Point(150)));
        QVERIFY(std::abs(points.last().x() - 15.0) < 1e-9);

        // Read-out from the keyboard and under the pointer, in the number format in force.
        auto* view = window->findChild<QChartView*>(QStringLiteral("chtScanProfile"));
        auto* readout = window->findChild<QLabel*>(QStringLiteral("lblReadout"));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(readout->text(),
                 QStringLiteral("Angle: 0.1°  Value: %1").arg(support::FormatValue(scan.Point(151), 2)));
        PointAt(window, -5.0, scan.Point(100));
        QCOMPARE(readout->text(),
                 QStringLiteral("Angle: -5.0°  Value: %1").arg(support::FormatValue(scan.Point(100), 2)));
        SetDigits(f, 0);
        PointAt(window, 0.04, scan.Point(150));
        QCOMPARE(readout->text(), QStringLiteral("Angle: 0.0°  Value: 1000."));

        // The logarithmic axis shows a label on every decade, in plain decimals, from the sixth
        // below the top.
        window->findChild<QRadioButton*>(QStringLiteral("radLogarithmic"))->click();
        const auto everyDecadeShown = [&] {
            QSet<QString> shown;
            for (QGraphicsItem* item : ChartIn(window, "chtScanProfile")->scene()->items())
                if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->isVisible())
                    shown << text->toPlainText();
            return shown.contains(QSet<QString>{"0.01", "0.10", "1.00", "10.00", "100.00", "1000.00", "10000.00"});
        };
        QTRY_VERIFY(everyDecadeShown());

        ScanData other = scan;
        other.SetPoint(150, 1.0);
        window->ShowScan(other, QDateTime::currentDateTime());
        QString startedIn;  // where the scan was saved
        testing::WhenModal(
            [&](QWidget* w) {
                startedIn = static_cast<QFileDialog*>(w)->directory().path();
                static_cast<QFileDialog*>(w)->selectFile(saved);
                static_cast<QDialog*>(w)->accept();
            },
            QStringLiteral("Open Scan File"));
        open->click();
        QTRY_COMPARE(testing::PendingModals(), 0);
        const QList<QPointF> opened = SeriesIn(ChartIn(window, "chtScanProfile"), QStringLiteral("Profile"))->points();
        const auto centre =
            std::find_if(opened.begin(), opened.end(), [](QPointF p) { return std::abs(p.x()) < 1e-9; });
        QVERIFY(centre != opened.end()
                && qFuzzyCompare(centre->y(), scan.Point(150)));  // the logarithmic plot leaves out points <= 0
        QVERIFY(ChartIn(window, "chtScanProfile")->title().endsWith(QStringLiteral("from profile.csv")));
        QCOMPARE(startedIn, f.dir.path());
        QVERIFY(QDateTime::fromString(ChartIn(window, "chtScanProfile")->title().section(QLatin1Char(' '), 2, 3),
                                      QStringLiteral("MM/dd/yyyy HH:mm:ss"))
                    .toSecsSinceEpoch()
                >= answered);

        // The marker under the pointer stays out of the saved image: saved with the marker at two
        // places, the image is the same. Escape closes the window.
        QList<QImage> images;
        for (const QString& name :
             {f.dir.filePath(QStringLiteral("profile")), f.dir.filePath(QStringLiteral("again"))}) {
            QTest::keyClick(view, Qt::Key_Right);
            testing::AnswerFileDialog(name, QStringLiteral("Save Image"));
            save->click();
            images << QImage(name + QStringLiteral(".png"));
        }
        QVERIFY(!images[0].isNull() && images[0] == images[1]);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        // The profile is in the Tab order, so that the keys above reach it without a mouse.
        open->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 8 && QApplication::focusWidget() != view; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), view);
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(TestDataViews)
#include "tst_dataviews.moc"
