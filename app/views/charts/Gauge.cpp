#include "views/charts/Gauge.h"

#include "core/charts/GaugeReadout.h"
#include "views/Skin.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr double kPi = 3.141592653589793;

} // namespace

bool Gauge::setBackground(const QString& file)
{
    m_background = skin::imageFile(file);
    return !m_background.isNull();
}

bool Gauge::setCap(const QString& file)
{
    m_cap = skin::imageFile(file);
    return !m_cap.isNull();
}

void Gauge::setStyle(int mode, int length)
{
    m_mode = mode;
    if (length >= 0)
        m_length = length;
}

QPointF Gauge::pivot(int x, int y) const
{
    return QPointF(x + width() / 2, y + height() - 64);
}

QPointF Gauge::tip(int x, int y, double angleDegrees) const
{
    const double theta = angleDegrees * kPi / 180.0;
    const QPointF p = pivot(x, y);
    return QPointF(p.x() - m_length * std::cos(theta), p.y() - m_length * std::sin(theta));
}

QPoint Gauge::readoutOrigin(int x, int y) const
{
    const int top = y + height() / 2 - 10;
    switch (m_placement) {
    case 0: return QPoint(x + width(), top);
    case 1: return QPoint(x, top);
    case 2: return QPoint(std::max(x + (width() - 57) / 2, x), top);
    default: return QPoint(x + m_offset.x(), y + m_offset.y());
    }
}

void Gauge::draw(QPainter& painter, int x, int y, double angleDegrees, double value)
{
    painter.save();
    if (!m_background.isNull())
        painter.drawImage(x, y, m_background);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (m_mode == kNeedle)
        drawNeedle(painter, x, y, angleDegrees);
    else
        drawArc(painter, x, y, angleDegrees);
    if (m_placement >= 0)
        drawReadout(painter, x, y, value);
    painter.restore();
}

void Gauge::drawNeedle(QPainter& painter, int x, int y, double angleDegrees)
{
    const double theta = angleDegrees * kPi / 180.0;
    const QPointF p = pivot(x, y);
    const QPointF t = tip(x, y, angleDegrees);
    // The base is perpendicular to the needle, 3 pixels either side of the pivot.
    const QPointF across(-3.0 * std::sin(theta), 3.0 * std::cos(theta));
    QPolygonF needle;
    needle << t << p + across << p - across;
    QRadialGradient gradient(p, std::max(m_length, 1));
    gradient.setColorAt(0.0, QColor(234, 9, 5));
    gradient.setColorAt(1.0, QColor(146, 58, 18));
    painter.setBrush(gradient);
    painter.setPen(QPen(QColor(122, 72, 22, 200), 1.0));
    painter.drawPolygon(needle);
    if (!m_cap.isNull())
        painter.drawImage(QPointF(p.x() - m_cap.width() / 2.0, p.y() - m_cap.height() / 2.0), m_cap);
}

void Gauge::drawArc(QPainter& painter, int x, int y, double angleDegrees)
{
    const QRectF square(x + width() / 2.0 - 34, y + height() - 2 - 34, 68, 68);
    painter.setPen(QPen(QColor(0, 0, 255, 155), m_length, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    // From the left, clockwise on screen (Qt counts angles the other way).
    painter.drawArc(square, 180 * 16, int(-angleDegrees * 16));
}

void Gauge::drawReadout(QPainter& painter, int x, int y, double value)
{
    const GaugeReadout r = GaugeReadout::of(value);
    const QColor colour(r.colour.r, r.colour.g, r.colour.b);
    const QPoint o = readoutOrigin(x, y);
    const int digits[3] = {r.hundreds, r.tens, r.units};
    for (int i = 0; i < 3; ++i)
        drawSevenSegmentDigit(painter, o.x() + i * kDigitPitch, o.y(), digits[i], colour);
    if (m_showDecimal) {
        painter.fillRect(QRect(o.x() + 39, o.y() + 17, 3, 3), colour);
        drawSevenSegmentDigit(painter, o.x() + 45, o.y(), r.decimal, colour);
    }
}

void drawSevenSegmentDigit(QPainter& painter, int x, int y, int digit, const QColor& colour)
{
    if (!GaugeReadout::drawable(digit))
        return;
    // Segments in a 13 x 21 cell: a top, b upper right, c lower right, d bottom, e lower left,
    // f upper left, g middle (six-sided).
    const QPolygonF segments[7] = {
        QPolygonF({{2, 0}, {11, 0}, {9, 2}, {4, 2}}),
        QPolygonF({{13, 1}, {13, 10}, {11, 9}, {11, 3}}),
        QPolygonF({{13, 11}, {13, 20}, {11, 18}, {11, 12}}),
        QPolygonF({{2, 21}, {11, 21}, {9, 19}, {4, 19}}),
        QPolygonF({{0, 11}, {2, 12}, {2, 18}, {0, 20}}),
        QPolygonF({{0, 1}, {2, 3}, {2, 9}, {0, 10}}),
        QPolygonF({{1, 10.5}, {3, 9.5}, {10, 9.5}, {12, 10.5}, {10, 11.5}, {3, 11.5}}),
    };
    const int mask = sevenSegmentMask(digit);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(colour);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1.0));
    for (int s = 0; s < 7; ++s)
        if (mask & (1 << s))
            painter.drawPolygon(segments[s].translated(x, y));
    painter.restore();
}

} // namespace orvane
