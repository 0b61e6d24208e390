#include "dataviews/ScanProfileWindow.h"

#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "dialogs/WindowRules.h"
#include "meter/ScanFile.h"
#include "support/Folders.h"
#include "support/Numbers.h"

namespace {
const QString kAngleTitle = QStringLiteral("Angle offset from specular (degrees)");
const QString kIntensityTitle = QStringLiteral("Intensity");
const QString kNoScan = QStringLiteral(
    "No scan yet in this run. Choose Scan Data in the Data menu, or Scan on the toolbar: the profile shows "
    "here as soon as the meter delivers it. A saved scan opens with Open Scan File...");

QLineSeries* VerticalLine(QChart* chart, double angle, double low, double high, const QColor& colour,
                          const QString& name)
{
    auto* line = new QLineSeries(chart);
    line->setName(name);
    line->append(angle, low);
    line->append(angle, high);
    QPen pen(colour);
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.2);
    line->setPen(pen);
    return line;
}
}  // namespace

int ScanProfileWindow::IndexNearest(double angle)
{
    if (!std::isfinite(angle)) return 0;
    const long index = std::lround((angle - FirstAngle) / AngleStep);
    return static_cast<int>(std::clamp<long>(index, 0, ScanData::PointCount - 1));
}

ScanProfileWindow::ScanProfileWindow(std::function<int()> digits, support::SettingsStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_digits(std::move(digits))
    , m_store(store)
{
    setObjectName(QStringLiteral("ScanProfile"));
    setWindowTitle(QStringLiteral("Scan Profile"));
    setAccessibleName(windowTitle());

    m_hint = new QLabel(kNoScan, this);
    m_hint->setObjectName(QStringLiteral("lblNoScan"));
    m_hint->setWordWrap(true);
    m_hint->setAccessibleName(kNoScan);

    m_view = new QChartView(new QChart, this);
    m_view->setObjectName(QStringLiteral("chtScanProfile"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setFocusPolicy(Qt::StrongFocus);
    m_view->setMouseTracking(true);
    m_view->viewport()->setMouseTracking(true);
    m_view->viewport()->installEventFilter(this);
    m_view->installEventFilter(this);
    m_view->setToolTip(
        QStringLiteral("Move the pointer, or the Left and Right keys, over the profile to read angle and value"));

    m_readout = new QLabel(this);
    m_readout->setObjectName(QStringLiteral("lblReadout"));
    m_readout->setMinimumWidth(260);

    m_linear = new QRadioButton(QStringLiteral("&Linear"), this);
    m_linear->setObjectName(QStringLiteral("radLinear"));
    m_linear->setAccessibleName(QStringLiteral("Linear intensity axis"));
    m_linear->setChecked(true);
    m_logarithmic = new QRadioButton(QStringLiteral("Lo&garithmic"), this);
    m_logarithmic->setObjectName(QStringLiteral("radLogarithmic"));
    m_logarithmic->setAccessibleName(QStringLiteral("Logarithmic intensity axis"));
    connect(m_logarithmic, &QRadioButton::toggled, this, [this] { Plot(); });

    m_open = new QPushButton(QStringLiteral("&Open Scan File..."), this);
    m_open->setObjectName(QStringLiteral("cmdOpenScanFile"));
    m_open->setAccessibleName(QStringLiteral("Open Scan File..."));
    m_open->setToolTip(QStringLiteral("Show a saved scan file"));
    connect(m_open, &QPushButton::clicked, this, &ScanProfileWindow::OpenScanFile);
    m_save = new QPushButton(QStringLiteral("&Save Image..."), this);
    m_save->setObjectName(QStringLiteral("cmdSaveImage"));
    m_save->setAccessibleName(QStringLiteral("Save Image..."));
    m_save->setToolTip(QStringLiteral("Save the plot as a PNG image"));
    connect(m_save, &QPushButton::clicked, this, &ScanProfileWindow::SaveImage);

    auto* axisLabel = new QLabel(QStringLiteral("Intensity axis:"), this);
    auto* controls = new QHBoxLayout;
    controls->addWidget(axisLabel);
    controls->addWidget(m_linear);
    controls->addWidget(m_logarithmic);
    controls->addSpacing(12);
    controls->addWidget(m_readout, 1);
    controls->addWidget(m_open);
    controls->addWidget(m_save);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_hint);
    layout->addWidget(m_view, 1);
    layout->addLayout(controls);
    resize(820, 560);
    KeepWindowPlace(this, m_store, QStringLiteral("ScanProfile"));
    CloseOnEscape(this);
    Plot();
}

QChart* ScanProfileWindow::Chart() const
{
    return m_view->chart();
}

void ScanProfileWindow::ShowScan(const ScanData& scan, const QDateTime& when, const QString& source)
{
    m_scan = scan;
    m_when = when;
    m_source = source;
    Plot();
}

void ScanProfileWindow::RefreshNumberFormat()
{
    Plot();
}

QString ScanProfileWindow::ReadoutText(double angle) const
{
    const int index = IndexNearest(angle);
    return QStringLiteral("Angle: %1°  Value: %2")
        .arg(QString::number(AngleOf(index), 'f', 1), support::FormatValue(m_scan.Point(index), m_digits()));
}

void ScanProfileWindow::Plot()
{
    QChart* chart = Chart();
    chart->removeAllSeries();
    m_markers.clear();
    m_profile = nullptr;
    m_peak = m_cursor = nullptr;
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    m_hint->setVisible(!m_scan.HasData);
    m_save->setEnabled(m_scan.HasData);
    m_readout->clear();
    m_readout->setAccessibleName(QStringLiteral("Cursor read-out"));
    if (!m_scan.HasData) {
        chart->setTitle(QStringLiteral("No scan"));
        m_view->setAccessibleName(QStringLiteral("Scan profile plot, empty"));
        return;
    }

    const bool logarithmic = m_logarithmic->isChecked();
    const int digits = m_digits();
    m_profile = new QLineSeries(chart);
    m_profile->setName(QStringLiteral("Profile"));
    int peak = 0;
    double low = std::numeric_limits<double>::infinity(), high = -low, lowPositive = low;
    for (int i = 0; i < ScanData::PointCount; ++i) {
        const double v = m_scan.Point(i);
        if (v > m_scan.Point(peak)) peak = i;
        low = std::min(low, v);
        high = std::max(high, v);
        if (v > 0) lowPositive = std::min(lowPositive, v);
        // A logarithmic axis has no place for zero or less: such points are left out.
        if (!logarithmic || v > 0) m_profile->append(AngleOf(i), v);
    }

    auto* x = new QValueAxis(chart);
    x->setTitleText(kAngleTitle);
    x->setRange(FirstAngle - 1.0, -FirstAngle + 1.0);
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0.0);
    x->setTickInterval(5.0);
    // Both axes write plain decimal numbers, never an exponent: angles whole, intensities in the
    // number format in force.
    x->setLabelFormat(QStringLiteral("%.0f"));
    double bottom, top;
    QAbstractAxis* y;
    if (logarithmic) {
        auto* axis = new QLogValueAxis(chart);
        axis->setBase(10.0);
        // Whole decades from below the smallest positive value (six at most under the top, which
        // shows the peak, its flanks and the noise floor) to above the largest: a label on every
        // power of ten, the ends included, with as many decimals as the lowest decade needs.
        const double lowest = std::isfinite(lowPositive) ? lowPositive : 0.1;
        const double highDecade = std::ceil(std::log10(std::max(high, lowest)));
        const double lowDecade = std::clamp(std::floor(std::log10(lowest)), highDecade - 6.0, highDecade - 1.0);
        // A tenth of a decade more at each end keeps the end labels inside the plot, where the
        // chart shows them.
        bottom = std::pow(10.0, lowDecade - 0.1);
        top = std::pow(10.0, highDecade + 0.1);
        axis->setRange(bottom, top);
        axis->setLabelFormat(
            QStringLiteral("%.%1f").arg(std::max(digits, static_cast<int>(-std::min(lowDecade, 0.0)))));
        axis->setMinorTickCount(-1);
        axis->setTitleText(kIntensityTitle + QStringLiteral(" (logarithmic)"));
        y = axis;
    } else {
        auto* axis = new QValueAxis(chart);
        const double span = std::max(high - std::min(low, 0.0), 1e-9);
        bottom = std::min(low, 0.0);
        top = high + span * 0.05;
        axis->setRange(bottom, top);
        axis->setLabelFormat(QStringLiteral("%.%1f").arg(digits));
        axis->applyNiceNumbers();
        bottom = axis->min();
        top = axis->max();
        axis->setTitleText(kIntensityTitle);
        y = axis;
    }
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    const QColor twoDegrees(0xd9, 0x5f, 0x02), fifteenDegrees(0x75, 0x70, 0xb3);
    for (double a : {-2.0, 2.0})
        m_markers.push_back(VerticalLine(chart, a, bottom, top, twoDegrees, QStringLiteral("2° haze angle")));
    for (double a : {-15.0, 15.0})
        m_markers.push_back(VerticalLine(chart, a, bottom, top, fifteenDegrees, QStringLiteral("15° haze angle")));

    m_peak = new QScatterSeries(chart);
    m_peak->setName(QStringLiteral("Specular peak %1° %2")
                        .arg(QString::number(AngleOf(peak), 'f', 1), support::FormatValue(m_scan.Point(peak), digits)));
    m_peak->setMarkerSize(9);
    m_peak->setColor(QColor(0xc0, 0x10, 0x10));
    m_peak->append(AngleOf(peak), m_scan.Point(peak));
    m_cursor = new QScatterSeries(chart);
    m_cursor->setName(QStringLiteral("Cursor"));
    m_cursor->setMarkerSize(7);
    m_cursor->setColor(Qt::black);

    QList<QAbstractSeries*> all = {m_profile};
    for (QLineSeries* m : m_markers) all << m;
    all << m_peak << m_cursor;
    for (QAbstractSeries* s : all) {
        chart->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // One legend entry per kind of mark.
    chart->legend()->markers(m_markers[1]).first()->setVisible(false);
    chart->legend()->markers(m_markers[3]).first()->setVisible(false);
    chart->legend()->markers(m_cursor).first()->setVisible(false);
    chart->legend()->setAlignment(Qt::AlignBottom);

    QString title = QStringLiteral("Scan of %1").arg(support::FormatDateTime(m_when));
    if (!m_source.isEmpty()) title += QStringLiteral(" from %1").arg(QFileInfo(m_source).fileName());
    chart->setTitle(title);
    m_view->setAccessibleName(QStringLiteral("Scan profile plot: %1").arg(title));
    m_view->setAccessibleDescription(
        QStringLiteral("%1 against %2; %3").arg(y->titleText(), x->titleText(), m_peak->name()));
}

bool ScanProfileWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_scan.HasData || !m_cursor) return QWidget::eventFilter(watched, event);
    int index = -1;
    if (watched == m_view->viewport() && event->type() == QEvent::MouseMove) {
        const QPointF scene = m_view->mapToScene(static_cast<QMouseEvent*>(event)->position().toPoint());
        const QPointF value = Chart()->mapToValue(Chart()->mapFromScene(scene));
        if (Chart()->plotArea().contains(Chart()->mapFromScene(scene))) index = IndexNearest(value.x());
    } else if (watched == m_view && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            const int current = m_cursor->count() > 0 ? IndexNearest(m_cursor->at(0).x()) : 150;
            index = std::clamp(current + (key == Qt::Key_Left ? -1 : 1), 0, ScanData::PointCount - 1);
        }
    }
    if (index < 0) return QWidget::eventFilter(watched, event);
    const double value = m_scan.Point(index);
    if (!m_logarithmic->isChecked() || value > 0) m_cursor->replace(QList<QPointF>{QPointF(AngleOf(index), value)});
    else m_cursor->clear();
    m_readout->setText(ReadoutText(AngleOf(index)));
    m_readout->setAccessibleName(m_readout->text());
    return watched == m_view && event->type() == QEvent::KeyPress;
}

void ScanProfileWindow::OpenScanFile()
{
    QFileDialog dialog(this, QStringLiteral("Open Scan File"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setDirectory(support::LastFolder(m_store, support::ScanFilesFolder));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Scan files (*.csv *.txt)"), QStringLiteral("All Files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    support::RememberFolder(m_store, support::ScanFilesFolder, path);
    ScanData scan;
    QDateTime when;
    QString error;
    if (!ReadScanFile(path, scan, when, error)) {
        QMessageBox::warning(
            this, QStringLiteral("Open Scan File"),
            QStringLiteral("%1 is not a scan file, so it is not shown.\n\n%2").arg(QFileInfo(path).fileName(), error));
        return;
    }
    ShowScan(scan, when, path);
}

void ScanProfileWindow::SaveImage()
{
    if (!m_scan.HasData) return;
    QFileDialog dialog(this, QStringLiteral("Save Image"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    dialog.setNameFilters({QStringLiteral("PNG image (*.png)")});
    dialog.setDirectory(support::LastFolder(m_store, support::ImagesFolder));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().first();
    support::RememberFolder(m_store, support::ImagesFolder, path);
    // The marker that follows the pointer belongs to the screen, not to the saved plot.
    const QList<QPointF> marker = m_cursor ? m_cursor->points() : QList<QPointF>();
    if (m_cursor) m_cursor->clear();
    const QPixmap image = m_view->grab();
    if (m_cursor) m_cursor->replace(marker);
    if (!image.save(path, "PNG"))
        QMessageBox::warning(this, QStringLiteral("Save Image"),
                             QStringLiteral("The image could not be written to %1.").arg(path));
}
