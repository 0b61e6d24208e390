#include "quality/Certificate.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRegularExpression>
#include <algorithm>

#include "spc/Spc.h"
#include "support/Numbers.h"

namespace quality {

namespace {

Verdict VerdictOf(const CertificateContent& c, const CertificateReading& r)
{
    return Judge(&c.standard, r.values).overall;
}

// Lays text out down the pages of a QPdfWriter in points (1/72 inch): the painter is scaled from
// the writer's pixels to points, so fonts are sized in pixels of that scale, that is in points.
class Pages {
public:
    Pages(QPdfWriter& writer, QPainter& painter, QString footer)
        : m_writer(writer)
        , m_p(painter)
        , m_footer(std::move(footer))
    {
        m_p.scale(writer.resolution() / 72.0, writer.resolution() / 72.0);
        m_width = writer.pageLayout().paintRectPoints().width();
        m_height = writer.pageLayout().paintRectPoints().height();
    }
    double Width() const { return m_width; }
    double y = 0;

    void Room(double needed)
    {
        if (y + needed <= m_height - 40) return;
        Footer();
        m_writer.newPage();
        ++m_page;
        y = 0;
    }
    void Text(const QString& text, double size, bool bold = false, double x = 0)
    {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(qRound(size));
        f.setBold(bold);
        m_p.setFont(f);
        m_p.setPen(Qt::black);
        const double h = size * 1.6;
        Room(h);
        m_p.drawText(QRectF(x, y, m_width - x, h), Qt::AlignLeft | Qt::AlignVCenter, text);
        y += h;
    }
    void Line(const QStringList& cells, const std::vector<double>& at, double size, bool bold = false)
    {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(qRound(size));
        f.setBold(bold);
        m_p.setFont(f);
        m_p.setPen(Qt::black);
        const double h = size * 1.5;
        Room(h);
        for (int i = 0; i < cells.size(); ++i) {
            const double x = at[static_cast<std::size_t>(i)] * m_width;
            const double w = (i + 1 < cells.size() ? at[static_cast<std::size_t>(i) + 1] * m_width : m_width) - x;
            m_p.drawText(QRectF(x, y, w, h), Qt::AlignLeft | Qt::AlignVCenter, cells[i]);
        }
        y += h;
    }
    void Gap(double h) { y += h; }
    void Footer()
    {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(7);
        m_p.setFont(f);
        m_p.setPen(Qt::black);
        m_p.drawText(QRectF(0, m_height - 24, m_width, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     m_footer + QStringLiteral("    Page %1").arg(m_page));
    }
    QPainter& Painter() { return m_p; }

private:
    QPdfWriter& m_writer;
    QPainter& m_p;
    QString m_footer;
    double m_width = 0, m_height = 0;
    int m_page = 1;
};

// A trend of each judged value, in its own band, with its limits.
void Trend(Pages& pages, const CertificateContent& c)
{
    std::vector<int> judged;
    for (int p = 0; p < kParameterCount; ++p)
        if (c.standard.tolerances[static_cast<std::size_t>(p)].judged) judged.push_back(p);
    if (judged.empty() || c.readings.empty()) return;
    const double bandHeight = 90;
    pages.Room(bandHeight * static_cast<double>(judged.size()) + 20);
    QPainter& painter = pages.Painter();
    const double left = 70, width = pages.Width() - left - 10;
    for (int p : judged) {
        const Tolerance& t = c.standard.tolerances[static_cast<std::size_t>(p)];
        double low = t.lower, high = t.upper;
        for (const CertificateReading& r : c.readings) {
            low = std::min(low, r.values[static_cast<std::size_t>(p)]);
            high = std::max(high, r.values[static_cast<std::size_t>(p)]);
        }
        const double margin = (high - low) * 0.1 + 1e-9;
        low -= margin;
        high += margin;
        const QRectF box(left, pages.y, width, bandHeight - 14);
        auto yOf = [&](double v) { return box.bottom() - (v - low) / (high - low) * box.height(); };
        auto xOf = [&](std::size_t i) {
            return c.readings.size() == 1 ? box.center().x()
                                          : box.left() + box.width() * double(i) / double(c.readings.size() - 1);
        };
        painter.setPen(QPen(Qt::black, 0.5));
        painter.drawRect(box);
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(7);
        painter.setFont(f);
        painter.drawText(QRectF(0, box.top(), left - 6, box.height()), Qt::AlignRight | Qt::AlignVCenter,
                         ParameterName(p));
        painter.setPen(QPen(QColor(0x1f4fa0), 0.6, Qt::DashLine));
        for (double limit : {t.lower, t.upper})
            painter.drawLine(QPointF(box.left(), yOf(limit)), QPointF(box.right(), yOf(limit)));
        painter.drawText(QRectF(box.right() - 60, yOf(t.upper) - 9, 60, 9), Qt::AlignRight,
                         support::FormatValue(t.upper, c.digits));
        painter.drawText(QRectF(box.right() - 60, yOf(t.lower), 60, 9), Qt::AlignRight,
                         support::FormatValue(t.lower, c.digits));
        QPainterPath path;
        for (std::size_t i = 0; i < c.readings.size(); ++i) {
            const QPointF at(xOf(i), yOf(c.readings[i].values[static_cast<std::size_t>(p)]));
            if (i == 0) path.moveTo(at);
            else path.lineTo(at);
        }
        painter.setPen(QPen(Qt::black, 0.8));
        painter.drawPath(path);
        for (std::size_t i = 0; i < c.readings.size(); ++i) {
            const Verdict v = JudgeValue(t, c.readings[i].values[static_cast<std::size_t>(p)]);
            painter.setBrush(v == Verdict::Fail ? Qt::red : v == Verdict::Warn ? QColor(0xe0a000) : QColor(0x208020));
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QPointF(xOf(i), yOf(c.readings[i].values[static_cast<std::size_t>(p)])), 1.8, 1.8);
        }
        painter.setBrush(Qt::NoBrush);
        pages.y += bandHeight;
    }
}

}  // namespace

QString CertificateRecords(const CertificateContent& c)
{
    QStringList lines;
    for (const CertificateReading& r : c.readings) {
        QStringList cells{r.time};
        for (double v : r.values) cells << support::FormatValue(v, c.digits);
        cells << r.calStandard << VerdictText(VerdictOf(c, r));
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

QString CertificateDigest(const CertificateContent& c)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(CertificateRecords(c).toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString CertificateFileName(const QString& standard, const QDate& date)
{
    QString name = standard.trimmed();
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]")), QStringLiteral("_"));
    if (name.isEmpty()) name = QStringLiteral("Certificate");
    return name + QLatin1Char(' ') + date.toString(Qt::ISODate) + QStringLiteral(".pdf");
}

bool WriteCertificate(const QString& path, const CertificateContent& c, QString* problem)
{
    {
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) {
            if (problem) *problem = probe.errorString();
            return false;
        }
    }
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
    writer.setResolution(300);
    writer.setTitle(QStringLiteral("Certificate: %1").arg(c.standard.name));
    writer.setCreator(QStringLiteral("Glimora"));
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (problem) *problem = QStringLiteral("the PDF could not be started");
        return false;
    }
    const QString digest = CertificateDigest(c);
    Pages pages(writer, painter, QStringLiteral("SHA-256 of the listed records: ") + digest);

    // Heading: the logo at the right, the lab's name and the title at the left.
    QImage logo;
    if (!c.logoPath.isEmpty() && logo.load(c.logoPath)) {
        const QSizeF size = QSizeF(logo.size()).scaled(QSizeF(120, 50), Qt::KeepAspectRatio);
        painter.drawImage(QRectF(pages.Width() - size.width(), 0, size.width(), size.height()), logo);
    }
    pages.Text(c.lab.isEmpty() ? QStringLiteral(" ") : c.lab, 16, true);
    pages.Gap(2);
    pages.Text(QStringLiteral("Certificate of Measurement"), 13, true);
    pages.Gap(10);

    const auto d = [&](double v) { return support::FormatValue(v, c.digits); };
    pages.Text(QStringLiteral("Standard: %1").arg(c.standard.name), 11, true);
    pages.Gap(2);
    const std::vector<double> limitCols{0, 0.2, 0.36, 0.52, 0.68, 0.84};
    pages.Line({QStringLiteral("Value"), QStringLiteral("Judged"), QStringLiteral("Target"), QStringLiteral("Lower"),
                QStringLiteral("Upper"), QStringLiteral("Warning band")},
               limitCols, 9, true);
    for (int p = 0; p < kParameterCount; ++p) {
        const Tolerance& t = c.standard.tolerances[static_cast<std::size_t>(p)];
        pages.Line(t.judged ? QStringList{ParameterName(p), QStringLiteral("yes"), d(t.target), d(t.lower), d(t.upper),
                                          QString::number(t.warnPercent) + QStringLiteral(" %")}
                            : QStringList{ParameterName(p), QStringLiteral("no")},
                   limitCols, 9);
    }
    pages.Gap(8);
    pages.Text(QStringLiteral("Instrument serial number: %1    Cal standard: %2").arg(c.serialNumber, c.calStandard),
               9);
    pages.Gap(0);
    pages.Text(QStringLiteral("Operator: %1    Time: %2").arg(c.operatorName, support::FormatDateTime(c.when)), 9);
    pages.Gap(10);

    // Summary of each value over the listed readings.
    pages.Text(QStringLiteral("Summary of %1 readings").arg(c.readings.size()), 11, true);
    pages.Gap(2);
    const std::vector<double> sumCols{0, 0.2, 0.36, 0.52, 0.68, 0.84};
    pages.Line({QStringLiteral("Value"), QStringLiteral("Count"), QStringLiteral("Mean"), QStringLiteral("Std Dev"),
                QStringLiteral("Min"), QStringLiteral("Max")},
               sumCols, 9, true);
    for (int p = 0; p < kParameterCount; ++p) {
        std::vector<double> values;
        for (const CertificateReading& r : c.readings) values.push_back(r.values[static_cast<std::size_t>(p)]);
        const spc::Summary s = spc::Summarise(values);
        pages.Line({ParameterName(p), QString::number(s.count), d(s.mean), support::FormatValue(s.stdDev, c.digits + 1),
                    d(s.min), d(s.max)},
                   sumCols, 9);
    }
    pages.Gap(12);
    Trend(pages, c);
    pages.Gap(12);

    // Every listed reading with its verdict.
    pages.Text(QStringLiteral("Readings"), 11, true);
    pages.Gap(2);
    const std::vector<double> cols{0, 0.24, 0.36, 0.47, 0.58, 0.69, 0.86};
    pages.Line({QStringLiteral("Date/Time"), QStringLiteral("Specular"), QStringLiteral("DOI"),
                QStringLiteral("2 Degree"), QStringLiteral("15 Degree"), QStringLiteral("Cal STD"),
                QStringLiteral("Verdict")},
               cols, 8, true);
    for (const CertificateReading& r : c.readings)
        pages.Line({r.time, d(r.values[0]), d(r.values[1]), d(r.values[2]), d(r.values[3]), r.calStandard,
                    VerdictText(VerdictOf(c, r))},
                   cols, 8);
    pages.Footer();
    if (!painter.end()) {
        if (problem) *problem = QStringLiteral("the PDF could not be finished");
        return false;
    }
    return true;
}

}  // namespace quality
