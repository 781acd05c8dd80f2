#include "views/charts/CurveChart.h"

#include "core/ValueFormat.h"
#include "views/FittedText.h"
#include "views/Skin.h"

#include <QPainter>
#include <QPainterPath>

namespace orvane {

const QColor CurveChart::kFill = QColor(51, 221, 140, 160);

CurveChart::CurveChart() : m_currentLabel(skin::text("chart_label")) {}

void CurveChart::setSize(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    m_width = width;
    m_height = height;
}

void CurveChart::setStep(int step)
{
    if (step > 0)
        m_step = step;
}

void CurveChart::setColours(QColor background, QColor frame)
{
    m_background = background;
    m_frame = frame;
}

void CurveChart::setLevel(int index, int threshold, const QString& label)
{
    if (index < 0 || index >= ChartScale::kLevels)
        return;
    m_scale.thresholds[std::size_t(index)] = threshold;
    m_labels[index] = label;
}

ChartGeometry CurveChart::geometry(int left, int top) const
{
    return {left, top, m_width, m_height, m_step, m_margin};
}

void CurveChart::draw(QPainter& painter, int left, int top)
{
    if (!m_fontsMade) {
        m_labelFont = skin::fontOfFace(QStringLiteral("Tahoma"), 12);
        m_titleFont = skin::fontOfFace(QStringLiteral("Tahoma"), 14);
        m_fontsMade = true;
    }
    const ChartGeometry g = geometry(left, top);
    const std::vector<ChartPoint> points = chartPoints(m_ring, m_scale, g);
    painter.save();
    if (!m_frameHidden)
        drawFrame(painter, g, newestDrawn(m_ring, g));
    if (!points.empty()) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kFill);
        painter.drawPath(curveArea(points, g));
    }
    painter.restore();
}

void CurveChart::drawFrame(QPainter& painter, const ChartGeometry& g, double current)
{
    const int band = g.bandHeight();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(g.left, g.top, g.width, g.height), m_background);
    painter.setPen(m_frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(g.left, g.top, g.width - 1, g.height - 1));

    painter.setFont(m_titleFont);
    painter.setPen(m_text);
    const int flags = Qt::TextSingleLine | Qt::AlignVCenter;
    if (g.width > 120)
        drawFittedText(painter, QRect(g.left, g.top, g.width - g.margin, 16), flags | Qt::AlignRight, m_title);
    const int labelLeft = g.left + g.width - 2 * g.margin - 112;
    if (g.width > 112)
        drawFittedText(painter, QRect(labelLeft, g.top + band, 56, 16), flags | Qt::AlignRight, m_currentLabel);
    if (g.width > 96) {
        const ColoredText value = formatValue(current, ValueUse::CurveLabel);
        painter.setPen(QColor(value.colour.r, value.colour.g, value.colour.b));
        drawFittedText(painter, QRect(labelLeft + 56 + g.margin, g.top + band, 56, 16), flags | Qt::AlignLeft,
                         QString::fromStdString(value.text));
    }

    painter.setFont(m_labelFont);
    for (int row = 0; row < ChartScale::kLevels; ++row) {
        const int y = g.top + row * band;
        painter.setPen(m_frame);
        painter.drawLine(g.left, y, g.left + g.width - 1, y);
        if (g.width > 40) {
            painter.setPen(m_text);
            drawFittedText(painter, QRect(g.left + g.margin, y, 40, 14), flags | Qt::AlignLeft,
                             m_labels[ChartScale::kLevels - 1 - row]);
        }
    }
}

QPainterPath curveArea(const std::vector<ChartPoint>& points, const ChartGeometry& g)
{
    QPainterPath path;
    if (points.empty())
        return path;
    const double base = g.baseline();
    path.moveTo(g.left + g.margin, base);
    for (const ChartPoint& p : points)
        path.lineTo(p.x, p.y);
    path.lineTo(points.back().x, base);
    path.closeSubpath();
    return path;
}

} // namespace orvane
