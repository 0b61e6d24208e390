// Draws the application icon and the pictures of the help file. Not part of the build: the PNGs
// it writes are kept in the source tree. Run from the repository root after changing a drawing:
//   g++ -std=c++20 -fPIC tools/DrawIcons.cpp -o /tmp/DrawIcons \
//       $(pkg-config --cflags --libs Qt6Gui) && QT_QPA_PLATFORM=offscreen /tmp/DrawIcons .
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QtMath>
#include <cmath>
#include <cstdio>

namespace {

// The icon: a light beam falling on a glossy sample and leaving it as a sharp specular beam
// wrapped in a soft haze cone, on a dark instrument-blue tile. Drawn on a 256 x 256 grid.
QImage DrawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, 240, 240), 52, 52);
    QLinearGradient bg(0, 8, 0, 248);
    bg.setColorAt(0.0, QColor(0x1d, 0x5a, 0x86));
    bg.setColorAt(1.0, QColor(0x0a, 0x1f, 0x36));
    p.fillPath(tile, bg);
    p.setClipPath(tile);

    // Sample: a glossy black panel with a bright edge.
    QLinearGradient sample(0, 176, 0, 248);
    sample.setColorAt(0.0, QColor(0x3b, 0x44, 0x52));
    sample.setColorAt(0.12, QColor(0x12, 0x16, 0x1d));
    sample.setColorAt(1.0, QColor(0x05, 0x07, 0x0a));
    p.fillRect(QRectF(0, 176, 256, 80), sample);
    p.setPen(QPen(QColor(0xd8, 0xe6, 0xf2, 200), 3));
    p.drawLine(QPointF(0, 176), QPointF(256, 176));

    const QPointF spot(128, 176);
    const QPointF source(34, 40);
    const QPointF target(222, 40);

    // Haze cone around the reflected beam.
    QPainterPath cone;
    cone.moveTo(spot);
    cone.lineTo(QPointF(target.x() - 46, target.y() - 22));
    cone.lineTo(QPointF(target.x() + 40, target.y() + 44));
    cone.closeSubpath();
    QRadialGradient haze(spot, 190);
    haze.setColorAt(0.0, QColor(0xff, 0xe9, 0xa8, 150));
    haze.setColorAt(1.0, QColor(0xff, 0xe9, 0xa8, 10));
    p.fillPath(cone, haze);

    // Incident and specular beams, each a soft glow under a bright core.
    for (const auto& [from, to] : {std::pair{source, spot}, std::pair{spot, target}}) {
        p.setPen(QPen(QColor(0xff, 0xd2, 0x4a, 90), 22, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(from, to);
        p.setPen(QPen(QColor(0xff, 0xf4, 0xc8), 9, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(from, to);
    }

    QRadialGradient glow(spot, 30);
    glow.setColorAt(0.0, QColor(255, 255, 255, 255));
    glow.setColorAt(0.4, QColor(0xff, 0xf0, 0xb0, 200));
    glow.setColorAt(1.0, QColor(0xff, 0xe0, 0x80, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(spot, 30, 30);

    // A faint sheen across the top of the tile.
    p.setClipping(false);
    QPainterPath sheen;
    sheen.addRoundedRect(QRectF(8, 8, 240, 120), 52, 52);
    QLinearGradient sheenFill(0, 8, 0, 128);
    sheenFill.setColorAt(0.0, QColor(255, 255, 255, 40));
    sheenFill.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillPath(sheen.intersected(tile), sheenFill);
    p.setPen(QPen(QColor(255, 255, 255, 60), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tile);
    return image;
}

QPointF Polar(const QPointF& origin, double degreesFromUp, double length)
{
    const double rad = qDegreesToRadians(degreesFromUp);
    return origin + QPointF(std::sin(rad) * length, -std::cos(rad) * length);
}

void Arrow(QPainter& p, const QPointF& from, const QPointF& to, const QColor& color, double width)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    if (len < 1) return;
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    QPolygonF head;
    head << to << to - u * 12 + n * 5 << to - u * 12 - n * 5;
    p.setBrush(color);
    p.setPen(Qt::NoPen);
    p.drawPolygon(head);
}

// The measuring geometry: light falls on the sample, the specular beam leaves at the mirror
// angle, and the detector also sees the light scattered a little (2 degree haze) and further
// (15 degree haze) away from it. Angles are widened so that they can be seen.
QImage DrawGeometry()
{
    QImage image(600, 330, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    p.setFont(font);

    const QPointF spot(300, 270);
    QLinearGradient sample(0, 270, 0, 315);
    sample.setColorAt(0.0, QColor(0x55, 0x60, 0x6e));
    sample.setColorAt(0.15, QColor(0x1c, 0x22, 0x2b));
    sample.setColorAt(1.0, QColor(0x0c, 0x0f, 0x14));
    p.fillRect(QRectF(40, 270, 520, 45), sample);
    p.setPen(Qt::white);
    p.drawText(QRectF(40, 282, 520, 30), Qt::AlignCenter, QStringLiteral("Sample surface"));

    p.setPen(QPen(QColor(0x88, 0x88, 0x88), 1, Qt::DashLine));
    p.drawLine(spot, QPointF(300, 40));
    p.setPen(QColor(0x66, 0x66, 0x66));
    p.drawText(QPointF(306, 52), QStringLiteral("normal"));

    const double incidence = 45;  // drawn angle, not the instrument's
    // Haze fans: 15 degree haze widest and faintest, 2 degree haze narrow.
    auto fan = [&](double halfAngle, double radius, const QColor& c) {
        QPainterPath path;
        path.moveTo(spot);
        path.lineTo(Polar(spot, incidence - halfAngle, radius));
        path.lineTo(Polar(spot, incidence + halfAngle, radius));
        path.closeSubpath();
        p.fillPath(path, c);
    };
    fan(24, 200, QColor(0xff, 0xc8, 0x40, 45));
    fan(8, 215, QColor(0xff, 0xb0, 0x20, 80));

    Arrow(p, Polar(spot, -incidence, 235), spot, QColor(0xe0, 0x8a, 0x00), 4);
    Arrow(p, spot, Polar(spot, incidence, 235), QColor(0xe0, 0x8a, 0x00), 4);

    p.setPen(QPen(QColor(0xb0, 0x70, 0x00), 1.5, Qt::DotLine));
    for (double a : {incidence - 8, incidence + 8}) p.drawLine(spot, Polar(spot, a, 215));
    p.setPen(QPen(QColor(0xc0, 0x90, 0x30), 1.5, Qt::DotLine));
    for (double a : {incidence - 24, incidence + 24}) p.drawLine(spot, Polar(spot, a, 200));

    // Detector array across the reflected beam, a little further out.
    p.setPen(QPen(QColor(0xe0, 0x8a, 0x00, 120), 2, Qt::DotLine));
    p.drawLine(Polar(spot, incidence, 235), Polar(spot, incidence, 296));
    const QPointF detCentre = Polar(spot, incidence, 300);
    p.save();
    p.translate(detCentre);
    p.rotate(incidence);
    p.setPen(QPen(QColor(0x1d, 0x5a, 0x86), 1));
    p.setBrush(QColor(0x1d, 0x5a, 0x86));
    p.drawRect(QRectF(-50, -4, 100, 10));
    p.setPen(QColor(0xff, 0xff, 0xff, 120));
    for (int i = -46; i < 50; i += 8) p.drawLine(QPointF(i, -3), QPointF(i, 5));
    p.restore();

    p.setPen(QColor(0x22, 0x22, 0x22));
    const QPointF src = Polar(spot, -incidence, 240);
    p.drawText(QRectF(src.x() - 40, src.y() - 30, 120, 20), Qt::AlignLeft, QStringLiteral("Light source"));
    p.drawText(QRectF(detCentre.x() - 200, detCentre.y() - 38, 160, 20), Qt::AlignRight,
               QStringLiteral("Detector array"));
    const QPointF specularSpot = Polar(spot, incidence, 235);
    p.drawText(QPointF(specularSpot.x() + 10, specularSpot.y() + 2), QStringLiteral("Specular"));
    const QPointF h2 = Polar(spot, incidence + 8, 215);
    p.drawText(QPointF(h2.x() + 8, h2.y() + 8), QStringLiteral("2\u00b0 haze"));
    const QPointF h15 = Polar(spot, incidence + 24, 200);
    p.drawText(QPointF(h15.x() + 8, h15.y() + 6), QStringLiteral("15\u00b0 haze"));

    p.setPen(QColor(0x77, 0x77, 0x77));
    QFont small = font;
    small.setPixelSize(11);
    small.setItalic(true);
    p.setFont(small);
    p.drawText(QRectF(40, 246, 240, 18), Qt::AlignLeft, QStringLiteral("Angles widened for clarity"));
    return image;
}

// An example scan profile: 301 points with the specular peak in the middle and a haze shoulder.
QImage DrawScanProfile()
{
    QImage image(600, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    p.setFont(font);

    const QRectF plot(60, 20, 510, 230);
    p.fillRect(plot, QColor(0xf6, 0xf9, 0xfc));
    p.setPen(QColor(0xdd, 0xe3, 0xea));
    for (int i = 0; i <= 300; i += 50) {
        const double x = plot.left() + plot.width() * i / 300.0;
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    for (int j = 0; j <= 4; ++j) {
        const double y = plot.top() + plot.height() * j / 4.0;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.setPen(QColor(0x44, 0x44, 0x44));
    p.drawRect(plot);
    for (int i = 0; i <= 300; i += 50) {
        const double x = plot.left() + plot.width() * i / 300.0;
        p.drawText(QRectF(x - 20, plot.bottom() + 4, 40, 16), Qt::AlignHCenter,
                   QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')));
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + 22, plot.width(), 16), Qt::AlignHCenter,
               QStringLiteral("Index in the scan file"));
    p.save();
    p.translate(18, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-60, -8, 120, 16), Qt::AlignHCenter, QStringLiteral("Value"));
    p.restore();

    QPainterPath curve;
    unsigned seed = 7;
    for (int i = 0; i <= 300; ++i) {
        const double off = (i - 150) / 10.0;
        const double peak = std::exp(-(off * off) / (2 * 0.12 * 0.12));
        const double shoulder = 0.16 * std::exp(-std::fabs(off) / 1.6);
        seed = seed * 1103515245u + 12345u;
        const double noise = ((seed >> 16) % 1000) / 1000.0 * 0.012;
        const double v = 0.03 + shoulder + 0.8 * peak + noise;
        const QPointF pt(plot.left() + plot.width() * i / 300.0, plot.bottom() - plot.height() * v);
        if (i == 0) curve.moveTo(pt);
        else curve.lineTo(pt);
    }
    p.setPen(QPen(QColor(0x1d, 0x5a, 0x86), 2));
    p.drawPath(curve);

    p.setPen(QColor(0xb0, 0x60, 0x00));
    p.drawText(QPointF(plot.left() + plot.width() * 0.53, plot.top() + 24), QStringLiteral("specular peak"));
    p.drawText(QPointF(plot.left() + plot.width() * 0.60, plot.bottom() - plot.height() * 0.20),
               QStringLiteral("haze shoulder"));
    return image;
}

bool Save(const QImage& image, const QString& path)
{
    if (image.save(path, "PNG")) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    bool ok = Save(DrawIcon(256), root + QStringLiteral("/resources/icons/glimora.png"));
    ok = Save(DrawIcon(64), root + QStringLiteral("/resources/icons/glimora_64.png")) && ok;
    ok = Save(DrawIcon(64), root + QStringLiteral("/help/content/images/glimora.png")) && ok;
    ok = Save(DrawGeometry(), root + QStringLiteral("/help/content/images/geometry.png")) && ok;
    ok = Save(DrawScanProfile(), root + QStringLiteral("/help/content/images/scan_profile.png")) && ok;
    return ok ? 0 : 1;
}
