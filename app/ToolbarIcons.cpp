#include "app/ToolbarIcons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScreen>
#include <QtMath>
#include <cmath>

namespace {

constexpr int kSize = 48;  // the drawings' own units
constexpr int kShown = 24;  // the toolbar's icon size

QPen Pen(const QColor& color, double width = 3.0)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void DrawExit(QPainter& p)
{
    p.setPen(Pen(QColor(70, 70, 70)));
    p.setBrush(QColor(235, 225, 205));
    p.drawRect(QRectF(8, 6, 20, 36));
    p.setPen(Pen(QColor(30, 110, 200), 4));
    p.drawLine(QPointF(20, 24), QPointF(42, 24));
    p.drawLine(QPointF(34, 16), QPointF(42, 24));
    p.drawLine(QPointF(34, 32), QPointF(42, 24));
}

void DrawOpen(QPainter& p)
{
    p.setPen(Pen(QColor(150, 100, 20), 2.5));
    p.setBrush(QColor(240, 190, 80));
    QPainterPath back;
    back.moveTo(5, 12);
    back.lineTo(18, 12);
    back.lineTo(22, 16);
    back.lineTo(40, 16);
    back.lineTo(40, 40);
    back.lineTo(5, 40);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(250, 215, 120));
    QPainterPath front;
    front.moveTo(5, 40);
    front.lineTo(12, 22);
    front.lineTo(45, 22);
    front.lineTo(40, 40);
    front.closeSubpath();
    p.drawPath(front);
}

void DrawCancel(QPainter& p)
{
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = (22.5 + 45.0 * i) * M_PI / 180.0;
        octagon << QPointF(24 + 19 * std::cos(a), 24 + 19 * std::sin(a));
    }
    p.setPen(Pen(QColor(140, 20, 20), 2));
    p.setBrush(QColor(210, 40, 40));
    p.drawPolygon(octagon);
    p.setPen(Pen(Qt::white, 5));
    p.drawLine(QPointF(16, 16), QPointF(32, 32));
    p.drawLine(QPointF(32, 16), QPointF(16, 32));
}

void DrawOff(QPainter& p)
{
    p.setPen(Pen(QColor(60, 60, 60), 5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 10, 30, 30), 120 * 16, 300 * 16);
    p.drawLine(QPointF(24, 5), QPointF(24, 24));
}

void DrawRead(QPainter& p)
{
    // The meter's head over a shining sample.
    p.setPen(Pen(QColor(40, 40, 40), 2));
    p.setBrush(QColor(70, 90, 120));
    p.drawRoundedRect(QRectF(12, 4, 24, 18), 3, 3);
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(QRectF(4, 38, 40, 6));
    p.setPen(Pen(QColor(230, 160, 0), 3));
    p.drawLine(QPointF(16, 22), QPointF(24, 37));
    p.drawLine(QPointF(24, 37), QPointF(32, 22));
}

void DrawScan(QPainter& p)
{
    // A reflection profile: a narrow peak over a haze shoulder.
    p.setPen(Pen(QColor(120, 120, 120), 2));
    p.drawLine(QPointF(4, 42), QPointF(44, 42));
    QPainterPath curve;
    curve.moveTo(4, 40);
    for (int x = 4; x <= 44; ++x) {
        const double d = (x - 24) / 3.0;
        const double y = 40 - 30 * std::exp(-d * d) - 8 * std::exp(-std::fabs(x - 24) / 6.0);
        curve.lineTo(x, y);
    }
    p.setPen(Pen(QColor(20, 130, 60), 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
}

void DrawCalibrate(QPainter& p)
{
    // A gauge with its needle on the mark.
    p.setPen(Pen(QColor(50, 50, 50), 3));
    p.setBrush(QColor(245, 245, 235));
    p.drawEllipse(QRectF(5, 5, 38, 38));
    p.setPen(Pen(QColor(50, 50, 50), 2));
    for (int i = 0; i <= 6; ++i) {
        const double a = (210 - 40.0 * i) * M_PI / 180.0;
        p.drawLine(QPointF(24 + 14 * std::cos(a), 24 - 14 * std::sin(a)),
                   QPointF(24 + 17 * std::cos(a), 24 - 17 * std::sin(a)));
    }
    p.setPen(Pen(QColor(200, 30, 30), 3));
    p.drawLine(QPointF(24, 24), QPointF(33, 13));
    p.setBrush(QColor(50, 50, 50));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(24, 24), 3, 3);
}

void DrawPrint(QPainter& p)
{
    p.setPen(Pen(QColor(60, 60, 60), 2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(13, 4, 22, 16));
    p.setBrush(QColor(120, 130, 145));
    p.drawRoundedRect(QRectF(4, 18, 40, 16), 3, 3);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(13, 28, 22, 16));
    p.setPen(Pen(QColor(120, 120, 120), 1.5));
    for (int y : {33, 37, 41}) p.drawLine(QPointF(16, y), QPointF(32, y));
}

void DrawClear(QPainter& p)
{
    // A list whose rows are struck out.
    p.setPen(Pen(QColor(90, 90, 90), 2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 4, 30, 40));
    p.setPen(Pen(QColor(150, 150, 150), 2));
    for (int y = 12; y <= 36; y += 8) p.drawLine(QPointF(11, y), QPointF(31, y));
    p.setPen(Pen(QColor(200, 40, 40), 4));
    p.drawLine(QPointF(20, 20), QPointF(44, 44));
    p.drawLine(QPointF(44, 20), QPointF(20, 44));
}

}  // namespace

QIcon ToolbarIcon(const QString& key)
{
    using Draw = void (*)(QPainter&);
    static const struct {
        const char* key;
        Draw draw;
    } kinds[] = {{"Exit", DrawExit},  {"Open", DrawOpen}, {"Cancel", DrawCancel},       {"Off", DrawOff},
                 {"Read", DrawRead},  {"Scan", DrawScan}, {"Calibrate", DrawCalibrate}, {"Print", DrawPrint},
                 {"Clear", DrawClear}};
    for (const auto& k : kinds) {
        if (key != QLatin1String(k.key)) continue;
        // Drawn once, in the screen's pixels for the size shown: sharp on high-density screens,
        // and no larger than needed on the way to the first window.
        const qreal ratio = qGuiApp->primaryScreen() ? qGuiApp->primaryScreen()->devicePixelRatio() : 1.0;
        const int side = qCeil(kShown * ratio);
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(qreal(side) / kSize, qreal(side) / kSize);
        k.draw(painter);
        painter.end();
        return QIcon(pixmap);
    }
    return {};
}
