#include "dataviews/ReadingStatisticsWindow.h"

#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "dialogs/WindowRules.h"
#include "readings/ReadingsModel.h"

const std::array<QString, ReadingStatisticsWindow::ValueCount>& ReadingStatisticsWindow::RowTitles()
{
    static const std::array<QString, ValueCount> titles = {QStringLiteral("Specular"), QStringLiteral("DOI"),
                                                           QStringLiteral("2 Degree"), QStringLiteral("15 Degree")};
    return titles;
}

ReadingStatisticsWindow::ReadingStatisticsWindow(const ReadingsModel& readings, std::function<int()> digits,
                                                 support::SettingsStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_readings(readings)
    , m_digits(std::move(digits))
{
    setObjectName(QStringLiteral("ReadingStatistics"));
    setWindowTitle(QStringLiteral("Reading Statistics"));
    setAccessibleName(windowTitle());

    m_table = new QTableWidget(ValueCount, StatColumnCount, this);
    m_table->setObjectName(QStringLiteral("tblStatistics"));
    m_table->setAccessibleName(QStringLiteral("Statistics of the listed readings"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setToolTip(QStringLiteral("Choose a row to plot its values in the order taken"));
    QStringList columns, rows;
    for (const QString& c : StatisticsColumnTitles()) columns << c;
    for (const QString& r : RowTitles()) rows << r;
    m_table->setHorizontalHeaderLabels(columns);
    m_table->setVerticalHeaderLabels(rows);
    for (int r = 0; r < ValueCount; ++r)
        for (int c = 0; c < StatColumnCount; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(r, c, item);
        }
    // Fixed geometry: a new reading changes texts only, never the table's layout.
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setFixedHeight(m_table->horizontalHeader()->sizeHint().height()
                            + ValueCount * m_table->verticalHeader()->defaultSectionSize() + 2 * m_table->frameWidth());
    m_table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    m_trendSeries = new QLineSeries(chart);
    m_trendSeries->setObjectName(QStringLiteral("trendSeries"));
    chart->addSeries(m_trendSeries);
    m_trendX = new QValueAxis(chart);
    m_trendX->setTitleText(QStringLiteral("Reading, in the order taken"));
    m_trendX->setLabelFormat(QStringLiteral("%d"));
    m_trendY = new QValueAxis(chart);
    chart->addAxis(m_trendX, Qt::AlignBottom);
    chart->addAxis(m_trendY, Qt::AlignLeft);
    m_trendSeries->attachAxis(m_trendX);
    m_trendSeries->attachAxis(m_trendY);
    m_trendView = new QChartView(chart, this);
    m_trendView->setObjectName(QStringLiteral("chtTrend"));
    m_trendView->setRenderHint(QPainter::Antialiasing);
    m_trendView->setMinimumHeight(200);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addWidget(m_trendView, 1);
    resize(640, 460);
    KeepWindowPlace(this, store, QStringLiteral("ReadingStatistics"));
    CloseOnEscape(this);

    m_trendTimer.setSingleShot(true);
    m_trendTimer.setInterval(50);
    connect(&m_trendTimer, &QTimer::timeout, this, &ReadingStatisticsWindow::ShowTrend);
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
        if (row != previous) ShowTrend();
    });
    connect(&m_readings, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { AddNewestRows(last - first + 1); });
    connect(&m_readings, &QAbstractItemModel::modelReset, this, &ReadingStatisticsWindow::RecomputeAll);

    m_table->setCurrentCell(0, 0);
    RecomputeAll();
}

QChart* ReadingStatisticsWindow::TrendChart() const
{
    return m_trendView->chart();
}

void ReadingStatisticsWindow::AddNewestRows(int count)
{
    // New rows are the newest taken, whatever place the sort gives them in the list.
    const int total = m_readings.RowCount();
    for (int i = std::max(0, total - count); i < total; ++i) {
        const Reading& row = m_readings.RowTaken(i);
        for (std::size_t v = 0; v < ValueCount; ++v) {
            m_stats[v].Add(row.Values[v]);
            m_trends[v].Add(row.Values[v]);
        }
    }
    ShowTexts();
    m_trendTimer.start();
}

void ReadingStatisticsWindow::RecomputeAll()
{
    m_stats = {};
    for (TrendEnvelope& t : m_trends) t.Clear();
    for (int i = 0; i < m_readings.RowCount(); ++i) {
        const Reading& row = m_readings.RowTaken(i);
        for (std::size_t v = 0; v < ValueCount; ++v) {
            m_stats[v].Add(row.Values[v]);
            m_trends[v].Add(row.Values[v]);
        }
    }
    ShowTexts();
    ShowTrend();
}

void ReadingStatisticsWindow::RefreshNumberFormat()
{
    ShowTexts();
    ShowTrend();
}

void ReadingStatisticsWindow::ShowTexts()
{
    const int digits = m_digits();
    const auto& shift = m_readings.RoundingTakenOut();
    for (int r = 0; r < ValueCount; ++r) {
        const auto& stats = m_stats[static_cast<std::size_t>(r)];
        const double meanShift =
            stats.Count() > 0 ? shift[static_cast<std::size_t>(r)] / static_cast<double>(stats.Count()) : 0.0;
        const auto texts = StatisticsTexts(stats, digits, meanShift);
        for (int c = 0; c < StatColumnCount; ++c) {
            QTableWidgetItem* item = m_table->item(r, c);
            const QString& text = texts[static_cast<std::size_t>(c)];
            if (item->text() == text) continue;
            item->setText(text);
            item->setData(Qt::AccessibleTextRole,
                          QStringLiteral("%1 %2: %3")
                              .arg(RowTitles()[static_cast<std::size_t>(r)],
                                   StatisticsColumnTitles()[static_cast<std::size_t>(c)], text));
        }
    }
}

void ReadingStatisticsWindow::ShowTrend()
{
    m_trendTimer.stop();
    const int row = std::clamp(m_table->currentRow(), 0, ValueCount - 1);
    const QString& name = RowTitles()[static_cast<std::size_t>(row)];
    const TrendEnvelope& trend = m_trends[static_cast<std::size_t>(row)];
    const RunningStatistics& stats = m_stats[static_cast<std::size_t>(row)];
    const std::vector<QPointF> points = trend.Points();
    m_trendSeries->replace(QList<QPointF>(points.begin(), points.end()));
    m_trendSeries->setName(name);
    // A trend needs two readings: with fewer the chart says so instead of drawing empty axes.
    const bool trendShown = trend.Count() >= 2;
    m_trendX->setVisible(trendShown);
    m_trendY->setVisible(trendShown);
    if (trendShown) TrendChart()->setTitle(QStringLiteral("%1 in the order taken").arg(name));
    else if (trend.Count() == 1)
        TrendChart()->setTitle(
            QStringLiteral("%1: one reading so far; the trend shows from the second reading on").arg(name));
    else TrendChart()->setTitle(QStringLiteral("%1: no readings in the list").arg(name));
    m_trendY->setTitleText(name);
    m_trendY->setLabelFormat(QStringLiteral("%.%1f").arg(m_digits()));
    // Whole reading numbers on the x axis, at a step of 1, 2 or 5 times a power of ten.
    const double last = std::max(static_cast<double>(trend.Count()), 2.0);
    double step = std::pow(10.0, std::floor(std::log10(last / 5.0)));
    if (last / step > 25) step *= 5;
    else if (last / step > 10) step *= 2;
    m_trendX->setRange(1.0, last);
    m_trendX->setTickType(QValueAxis::TicksDynamic);
    m_trendX->setTickAnchor(0.0);
    m_trendX->setTickInterval(std::max(step, 1.0));
    if (stats.Count() == 0) {
        m_trendY->setRange(0.0, 1.0);
    } else {
        const double pad = std::max(stats.Range() * 0.1, std::max(std::abs(stats.Mean()) * 1e-3, 1e-3));
        m_trendY->setRange(stats.Min() - pad, stats.Max() + pad);
        m_trendY->applyNiceNumbers();
    }
    m_trendView->setAccessibleName(trendShown ? QStringLiteral("Trend of %1").arg(name) : TrendChart()->title());
    m_trendView->setAccessibleDescription(QStringLiteral("%1 against %2, %3 readings")
                                              .arg(m_trendY->titleText(), m_trendX->titleText())
                                              .arg(trend.Count()));
}
