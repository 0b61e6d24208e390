#include "quality/ControlChartWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlError>
#include <QSqlQuery>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

#include "quality/StandardsLibrary.h"
#include "support/Numbers.h"

namespace quality {

namespace {

// The readings table's column of each parameter (fixed names, never values).
const char* const kValueColumn[kParameterCount] = {"specular", "doi", "haze2", "haze15"};

// Points a long run is thinned to before it is drawn (see spc::PlotEnvelope): more columns than
// any plot area has pixels, so the thinned line looks the same as the whole run.
constexpr std::size_t kPlotColumns = 2048;

const char* const kRuleText[4] = {"Rule 1: one point beyond 3 sigma", "Rule 2: two of three beyond 2 sigma",
                                  "Rule 3: four of five beyond 1 sigma", "Rule 4: eight in a row on one side"};

QLineSeries* Level(QChart* chart, const QString& name, double y, double lastX, const QColor& colour, Qt::PenStyle style)
{
    auto* line = new QLineSeries(chart);
    line->setName(name);
    line->append(0, y);
    line->append(lastX, y);
    QPen pen(colour);
    pen.setStyle(style);
    pen.setWidthF(1.5);
    line->setPen(pen);
    chart->addSeries(line);
    return line;
}

void Axes(QChart* chart, double lastX, double low, double high)
{
    auto* x = new QValueAxis(chart);
    x->setRange(0, std::max(1.0, lastX));
    x->setLabelFormat(QStringLiteral("%d"));
    x->setTitleText(QStringLiteral("Reading"));
    auto* y = new QValueAxis(chart);
    const double margin = high > low ? (high - low) * 0.08 : 1.0;
    y->setRange(low == 0 ? 0 : low - margin, high + margin);  // ranges start at zero
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

QChart* FreshChart(QChartView* view, const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
    return chart;
}

}  // namespace

std::vector<HistoryPoint> LoadHistory(QSqlDatabase db, const QString& standard, int parameter, QString* problem)
{
    std::vector<HistoryPoint> points;
    if (parameter < 0 || parameter >= kParameterCount) return points;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT taken_at, %1 FROM readings WHERE standard = ? ORDER BY taken_at")
                  .arg(QLatin1String(kValueColumn[parameter])));
    q.addBindValue(standard);
    if (!q.exec()) {
        if (problem) *problem = q.lastError().text();
        return points;
    }
    while (q.next()) {
        const QVariant when = q.value(0);
        points.push_back({when.typeId() == QMetaType::QDateTime
                              ? when.toDateTime()
                              : QDateTime::fromString(when.toString(), Qt::ISODateWithMs),
                          q.value(1).toDouble()});
    }
    return points;
}

spc::ImrLimits LimitsOf(const Baseline& b)
{
    spc::ImrLimits l;
    l.valid = b.count >= 2;
    l.centre = b.centre;
    l.sigma = b.sigma;
    l.ucl = b.centre + 3 * b.sigma;
    l.lcl = b.centre - 3 * b.sigma;
    l.mrCentre = b.mrCentre;
    l.mrUcl = spc::kD4 * b.mrCentre;
    return l;
}

ControlChartWindow::ControlChartWindow(StandardsLibrary& library, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_library(library)
{
    setWindowTitle(QStringLiteral("Control Chart"));
    setObjectName(QStringLiteral("frmControlChart"));
    auto named = [](QWidget* w, const QString& name) {
        w->setObjectName(name);
        w->setAccessibleName(name);
    };
    cboStandard = new QComboBox(this);
    named(cboStandard, QStringLiteral("Standard"));
    cboParameter = new QComboBox(this);
    named(cboParameter, QStringLiteral("Parameter"));
    for (int p = 0; p < kParameterCount; ++p) cboParameter->addItem(ParameterName(p));
    cboSource = new QComboBox(this);
    named(cboSource, QStringLiteral("History"));
    cboSource->addItem(QStringLiteral("This station"));
    cboSource->addItem(QStringLiteral("Lab database"));

    optFirstN = new QRadioButton(QStringLiteral("First"), this);
    named(optFirstN, QStringLiteral("Baseline of the first readings"));
    optFirstN->setChecked(true);
    spnFirstN = new QSpinBox(this);
    named(spnFirstN, QStringLiteral("Readings in the baseline"));
    spnFirstN->setRange(2, 100000);
    spnFirstN->setValue(20);
    optDateRange = new QRadioButton(QStringLiteral("From"), this);
    named(optDateRange, QStringLiteral("Baseline of a date range"));
    dtFrom = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-30), this);
    named(dtFrom, QStringLiteral("Baseline from"));
    dtTo = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    named(dtTo, QStringLiteral("Baseline to"));
    for (QDateTimeEdit* e : {dtFrom, dtTo}) e->setDisplayFormat(QStringLiteral("MM/dd/yyyy HH:mm"));
    btnFixBaseline = new QPushButton(QStringLiteral("&Fix Baseline"), this);
    btnFixBaseline->setObjectName(QStringLiteral("btnFixBaseline"));
    lblBaseline = new QLabel(this);
    lblBaseline->setObjectName(QStringLiteral("lblBaseline"));
    lblBaseline->setWordWrap(true);

    auto* baseline = new QGroupBox(QStringLiteral("Baseline"), this);
    auto* bl = new QGridLayout(baseline);
    bl->addWidget(optFirstN, 0, 0);
    bl->addWidget(spnFirstN, 0, 1);
    bl->addWidget(new QLabel(QStringLiteral("readings"), baseline), 0, 2);
    bl->addWidget(optDateRange, 1, 0);
    bl->addWidget(dtFrom, 1, 1);
    bl->addWidget(new QLabel(QStringLiteral("to"), baseline), 1, 2);
    bl->addWidget(dtTo, 1, 3);
    bl->addWidget(btnFixBaseline, 0, 3);

    auto* rules = new QGroupBox(QStringLiteral("Western Electric rules"), this);
    auto* rl = new QVBoxLayout(rules);
    for (int r = 0; r < 4; ++r) {
        chkRule[static_cast<std::size_t>(r)] = new QCheckBox(QLatin1String(kRuleText[r]), rules);
        chkRule[static_cast<std::size_t>(r)]->setObjectName(QStringLiteral("chkRule%1").arg(r + 1));
        chkRule[static_cast<std::size_t>(r)]->setChecked(true);
        rl->addWidget(chkRule[static_cast<std::size_t>(r)]);
        connect(chkRule[static_cast<std::size_t>(r)], &QCheckBox::toggled, this, &ControlChartWindow::Redraw);
    }

    chartIndividuals = new QChartView(this);
    named(chartIndividuals, QStringLiteral("Individuals chart"));
    chartMovingRange = new QChartView(this);
    named(chartMovingRange, QStringLiteral("Moving range chart"));
    for (QChartView* v : {chartIndividuals, chartMovingRange}) {
        v->setRenderHint(QPainter::Antialiasing, false);
        v->setMinimumHeight(180);
    }
    lstBreaks = new QListWidget(this);
    named(lstBreaks, QStringLiteral("Points that break a rule"));
    lblCapability = new QLabel(this);
    named(lblCapability, QStringLiteral("Capability"));

    auto* choice = new QFormLayout;
    choice->addRow(QStringLiteral("&Standard:"), cboStandard);
    choice->addRow(QStringLiteral("&Parameter:"), cboParameter);
    choice->addRow(QStringLiteral("&History:"), cboSource);
    auto* side = new QVBoxLayout;
    side->addLayout(choice);
    side->addWidget(baseline);
    side->addWidget(lblBaseline);
    side->addWidget(rules);
    side->addWidget(new QLabel(QStringLiteral("Points that break a rule:"), this));
    side->addWidget(lstBreaks, 1);
    side->addWidget(lblCapability);
    auto* charts = new QVBoxLayout;
    charts->addWidget(chartIndividuals, 3);
    charts->addWidget(chartMovingRange, 2);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(side, 2);
    layout->addLayout(charts, 5);
    resize(1100, 680);

    FillStandards();
    connect(&m_library, &StandardsLibrary::Changed, this, &ControlChartWindow::FillStandards);
    for (QComboBox* c : {cboStandard, cboParameter, cboSource})
        connect(c, &QComboBox::currentIndexChanged, this, &ControlChartWindow::Reload);
    connect(btnFixBaseline, &QPushButton::clicked, this, &ControlChartWindow::FixBaseline);
    connect(optFirstN, &QRadioButton::toggled, this, &ControlChartWindow::Redraw);
    connect(spnFirstN, &QSpinBox::valueChanged, this, &ControlChartWindow::Redraw);
    connect(dtFrom, &QDateTimeEdit::dateTimeChanged, this, &ControlChartWindow::Redraw);
    connect(dtTo, &QDateTimeEdit::dateTimeChanged, this, &ControlChartWindow::Redraw);
    Reload();
}

void ControlChartWindow::FillStandards()
{
    const QString was = cboStandard->currentText();
    {
        const QSignalBlocker block(cboStandard);
        cboStandard->clear();
        for (const Standard& s : m_library.Standards()) cboStandard->addItem(s.name);
        const int at = cboStandard->findText(was, Qt::MatchExactly);
        if (at >= 0) cboStandard->setCurrentIndex(at);
    }
    if (cboStandard->currentText() != was) Reload();
}

void ControlChartWindow::Reload()
{
    m_points.clear();
    QString problem;
    const bool lab = cboSource->currentIndex() == 1;
    const QSqlDatabase db = lab ? m_library.Lab(&problem) : m_library.Local();
    if (lab && !db.isValid() && problem.isEmpty()) problem = QStringLiteral("no lab database is set");
    if (db.isValid() && !cboStandard->currentText().isEmpty())
        m_points = LoadHistory(db, cboStandard->currentText(), cboParameter->currentIndex(), &problem);
    if (!problem.isEmpty()) lblBaseline->setText(QStringLiteral("The history cannot be read: %1").arg(problem));
    Redraw();
}

std::vector<double> ControlChartWindow::BaselineValues() const
{
    std::vector<double> values;
    if (optFirstN->isChecked()) {
        const std::size_t n = std::min<std::size_t>(m_points.size(), static_cast<std::size_t>(spnFirstN->value()));
        for (std::size_t i = 0; i < n; ++i) values.push_back(m_points[i].value);
    } else {
        const QDateTime from = dtFrom->dateTime().toUTC(), to = dtTo->dateTime().toUTC();
        for (const HistoryPoint& p : m_points)
            if (p.takenAt >= from && p.takenAt <= to) values.push_back(p.value);
    }
    return values;
}

void ControlChartWindow::FixBaseline()
{
    const Standard* standard = m_library.Find(cboStandard->currentText());
    if (!standard) return;
    const std::vector<double> values = BaselineValues();
    const spc::ImrLimits l = spc::IndividualsLimits(values);
    if (!l.valid) {
        lblBaseline->setText(QStringLiteral("The baseline needs at least two readings."));
        return;
    }
    Baseline b;
    b.standardId = standard->id;
    b.parameter = cboParameter->currentIndex();
    b.firstN = optFirstN->isChecked() ? spnFirstN->value() : 0;
    if (!optFirstN->isChecked()) {
        b.from = dtFrom->dateTime().toUTC();
        b.to = dtTo->dateTime().toUTC();
    }
    b.count = static_cast<int>(values.size());
    b.centre = l.centre;
    b.sigma = l.sigma;
    b.mrCentre = l.mrCentre;
    b.fixedAt = QDateTime::currentDateTimeUtc();
    QString problem;
    if (!m_library.SaveBaseline(b, &problem)) {
        lblBaseline->setText(QStringLiteral("The baseline could not be kept: %1").arg(problem));
        return;
    }
    Redraw();
}

void ControlChartWindow::Redraw()
{
    const Standard* standard = m_library.Find(cboStandard->currentText());
    const int parameter = cboParameter->currentIndex();
    std::vector<double> values;
    values.reserve(m_points.size());
    for (const HistoryPoint& p : m_points) values.push_back(p.value);

    // The kept baseline, or (until one is fixed) the one the controls describe.
    const auto kept = standard ? m_library.FindBaseline(standard->id, parameter) : std::nullopt;
    if (kept) {
        m_limits = LimitsOf(*kept);
        lblBaseline->setText(QStringLiteral("Fixed %1 from %2 readings: centre %3, sigma %4")
                                 .arg(support::FormatDateTime(kept->fixedAt.toLocalTime()))
                                 .arg(kept->count)
                                 .arg(support::FormatValue(kept->centre, 3), support::FormatValue(kept->sigma, 3)));
    } else {
        const std::vector<double> base = BaselineValues();
        m_limits = spc::IndividualsLimits(base);
        lblBaseline->setText(
            m_points.empty() ? QStringLiteral("No readings judged against this standard yet.")
                             : QStringLiteral("Not fixed: limits from %1 readings as chosen above.").arg(base.size()));
    }

    const double lastX = std::max<double>(1, static_cast<double>(values.size()));
    const Tolerance* tol = standard ? &standard->tolerances[static_cast<std::size_t>(parameter)] : nullptr;

    // Individuals chart.
    QChart* xChart = FreshChart(chartIndividuals, QStringLiteral("Individuals: %1").arg(ParameterName(parameter)));
    QList<QPointF> xs;
    xs.reserve(static_cast<qsizetype>(values.size()));
    double low = values.empty() ? 0 : *std::min_element(values.begin(), values.end());
    double high = values.empty() ? 1 : *std::max_element(values.begin(), values.end());
    for (std::size_t i : spc::PlotEnvelope(values, kPlotColumns))
        xs.append(QPointF(static_cast<double>(i + 1), values[i]));
    auto* series = new QLineSeries(xChart);
    series->setName(QStringLiteral("Value"));
    series->replace(xs);
    xChart->addSeries(series);
    if (m_limits.valid) {
        Level(xChart, QStringLiteral("Centre"), m_limits.centre, lastX, Qt::darkGreen, Qt::SolidLine);
        Level(xChart, QStringLiteral("UCL"), m_limits.ucl, lastX, Qt::red, Qt::DashLine);
        Level(xChart, QStringLiteral("LCL"), m_limits.lcl, lastX, Qt::red, Qt::DashLine);
        low = std::min(low, m_limits.lcl);
        high = std::max(high, m_limits.ucl);
    }
    if (tol && tol->judged) {
        Level(xChart, QStringLiteral("Lower limit"), tol->lower, lastX, Qt::darkBlue, Qt::DotLine);
        Level(xChart, QStringLiteral("Upper limit"), tol->upper, lastX, Qt::darkBlue, Qt::DotLine);
        low = std::min(low, tol->lower);
        high = std::max(high, tol->upper);
    }

    // The points that break a switched-on rule, marked and listed.
    lstBreaks->clear();
    std::vector<std::vector<std::size_t>> broken(values.size());
    for (int r = 0; r < 4; ++r) {
        if (!chkRule[static_cast<std::size_t>(r)]->isChecked()) continue;
        for (std::size_t i : spc::WesternElectricRule(r + 1, values, m_limits))
            broken[i].push_back(static_cast<std::size_t>(r + 1));
    }
    auto* breaks = new QScatterSeries(xChart);
    breaks->setName(QStringLiteral("Rule broken"));
    breaks->setColor(Qt::red);
    breaks->setMarkerSize(9);
    // Gathered first and handed over at once: a long history breaks the rules at thousands of
    // points, and each single append would update the chart and the list again.
    // Of the marks that would fall on the same spot of a long chart only the first is drawn;
    // the list keeps every one.
    QList<QPointF> marked;
    QStringList listed;
    std::set<std::pair<std::size_t, long>> spots;
    const double spotHeight = (high - low) / 400;
    for (std::size_t i = 0; i < broken.size(); ++i) {
        if (broken[i].empty()) continue;
        const std::size_t column = i * kPlotColumns / broken.size();
        const long row = spotHeight > 0 ? std::lround((values[i] - low) / spotHeight) : 0;
        if (spots.insert({column, row}).second) marked.append(QPointF(static_cast<double>(i + 1), values[i]));
        QStringList rulesText;
        for (std::size_t r : broken[i]) rulesText << QString::number(r);
        listed << QStringLiteral("Reading %1 (%2) %3: rule %4")
                      .arg(i + 1)
                      .arg(support::FormatDateTime(m_points[i].takenAt.toLocalTime()),
                           support::FormatValue(values[i], 3), rulesText.join(QStringLiteral(", ")));
    }
    breaks->replace(marked);
    lstBreaks->addItems(listed);
    xChart->addSeries(breaks);
    Axes(xChart, lastX, low, high);

    // Moving range chart.
    QChart* mrChart = FreshChart(chartMovingRange, QStringLiteral("Moving range"));
    const std::vector<double> ranges = spc::MovingRanges(values);
    QList<QPointF> mrs;
    mrs.reserve(static_cast<qsizetype>(ranges.size()));
    for (std::size_t i : spc::PlotEnvelope(ranges, kPlotColumns))
        mrs.append(QPointF(static_cast<double>(i + 2), ranges[i]));
    auto* mrSeries = new QLineSeries(mrChart);
    mrSeries->setName(QStringLiteral("Range"));
    mrSeries->replace(mrs);
    mrChart->addSeries(mrSeries);
    double mrHigh = ranges.empty() ? 1 : *std::max_element(ranges.begin(), ranges.end());
    if (m_limits.valid) {
        Level(mrChart, QStringLiteral("Centre"), m_limits.mrCentre, lastX, Qt::darkGreen, Qt::SolidLine);
        Level(mrChart, QStringLiteral("UCL"), m_limits.mrUcl, lastX, Qt::red, Qt::DashLine);
        mrHigh = std::max(mrHigh, m_limits.mrUcl);
    }
    Axes(mrChart, lastX, 0, mrHigh);

    // Capability against the standard's limits.
    const spc::Capability c =
        tol && tol->judged ? spc::CapabilityOf(values, tol->lower, tol->upper) : spc::Capability{};
    lblCapability->setText(c.valid
                               ? QStringLiteral("Cp %1   Cpk %2   Pp %3   Ppk %4")
                                     .arg(support::FormatValue(c.cp, 2), support::FormatValue(c.cpk, 2),
                                          support::FormatValue(c.pp, 2), support::FormatValue(c.ppk, 2))
                               : QStringLiteral("Cp, Cpk, Pp, Ppk: need two readings and a judged value with limits"));
    lblCapability->setAccessibleName(lblCapability->text());
}

}  // namespace quality
