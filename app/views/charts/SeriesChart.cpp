#include "views/charts/SeriesChart.h"

#include "core/ValueFormat.h"
#include "views/FittedText.h"
#include "views/Skin.h"
#include "views/charts/CurveChart.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace orvane {

void SeriesChart::setOrigin(int left, int top)
{
    m_left = left;
    m_top = top;
}

void SeriesChart::setSize(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    m_width = width;
    m_height = height;
}

void SeriesChart::setStep(int step)
{
    if (step > 0)
        m_step = step;
}

void SeriesChart::setColours(QColor background, QColor frame)
{
    m_background = background;
    m_frame = frame;
}

int SeriesChart::addSeries()
{
    m_series.emplace_back();
    return seriesCount() - 1;
}

void SeriesChart::push(int series, double value)
{
    if (!valid(series))
        return;
    Series& s = m_series[std::size_t(series)];
    s.ring.push(value);
    ++s.stats.samples;
    s.stats.minimum = std::min(s.stats.minimum, value);
    s.stats.maximum = std::max(s.stats.maximum, value);
    s.stats.sum += value;
}

void SeriesChart::setLevel(int series, int band, unsigned threshold, const QString& label)
{
    if (!valid(series) || band < 0 || band >= ChartScale::kLevels)
        return;
    Series& s = m_series[std::size_t(series)];
    s.scale.thresholds[std::size_t(band)] = threshold;
    s.labels[band] = label.isNull() ? QString() : label.left(kLabelChars);
}

const SeriesChart::Stats& SeriesChart::stats(int series) const
{
    static const Stats none;
    return valid(series) ? m_series[std::size_t(series)].stats : none;
}

const ChartRing& SeriesChart::ring(int series) const
{
    static const ChartRing none{1};
    return valid(series) ? m_series[std::size_t(series)].ring : none;
}

ChartGeometry SeriesChart::geometry() const
{
    return {m_left, m_top, m_width, m_height, m_step, m_margin};
}

void SeriesChart::makeFonts()
{
    if (m_fontsMade)
        return;
    m_labelFont = skin::fontOfFace(QStringLiteral("Tahoma"), 12);
    m_titleFont = skin::fontOfFace(QStringLiteral("Tahoma"), 14);
    m_fontsMade = true;
}

void SeriesChart::drawSeries(QPainter& painter, int series, QColor fill, bool withFrame)
{
    if (!valid(series))
        return;
    if (withFrame)
        drawFrame(painter, series);
    const Series& s = m_series[std::size_t(series)];
    const ChartGeometry g = geometry();
    const std::vector<ChartPoint> points = chartPoints(s.ring, s.scale, g);
    if (points.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawPath(curveArea(points, g));
    painter.restore();
}

void SeriesChart::drawFrame(QPainter& painter, int series)
{
    if (!valid(series))
        return;
    makeFonts();
    const Series& s = m_series[std::size_t(series)];
    const ChartGeometry g = geometry();
    const int band = g.bandHeight();
    const int flags = Qt::TextSingleLine | Qt::AlignVCenter;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(g.left, g.top, g.width, g.height), m_background);
    painter.setPen(m_frame);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(g.left, g.top, g.width - 1, g.height - 1));
    if (m_showTitle) {
        painter.setFont(m_titleFont);
        painter.setPen(m_text);
        drawFittedText(painter, QRect(g.left + 40, g.top, g.width - g.margin - 40, 16), flags | Qt::AlignRight, m_title);
        const int valueLeft = g.left + g.width - g.margin - 56;
        if (valueLeft >= g.left + 40) {
            const ColoredText value = formatValue(newestDrawn(s.ring, g), ValueUse::AreaLabel);
            painter.setPen(QColor(value.colour.r, value.colour.g, value.colour.b));
            drawFittedText(painter, QRect(valueLeft, g.top + band, 56, 16), flags | Qt::AlignRight,
                             QString::fromStdString(value.text));
        }
    }
    painter.setFont(m_labelFont);
    for (int row = 0; row < ChartScale::kLevels; ++row) {
        const int y = g.top + row * band;
        painter.setPen(m_frame);
        painter.drawLine(g.left, y, g.left + g.width - 1, y);
        if (g.width > 40) {
            painter.setPen(m_text);
            drawFittedText(painter, QRect(g.left + g.margin, y, 40, 14), flags | Qt::AlignLeft,
                             s.labels[ChartScale::kLevels - 1 - row]);
        }
    }
    painter.restore();
}

const QFont& SeriesChart::labelFont()
{
    makeFonts();
    return m_labelFont;
}

void SeriesChart::drawLabel(QPainter& painter, int bandRow, int xOffset, const QString& text, QColor colour,
                            Qt::Alignment alignment, int width)
{
    if (bandRow < 0 || bandRow >= ChartScale::kLevels)
        return;
    makeFonts();
    const ChartGeometry g = geometry();
    painter.save();
    painter.setFont(m_labelFont);
    painter.setPen(colour);
    drawFittedText(painter, QRect(g.left + xOffset, g.top + bandRow * g.bandHeight(), width > 0 ? width : g.width - xOffset, 16),
                     Qt::TextSingleLine | Qt::AlignVCenter | alignment, text);
    painter.restore();
}

} // namespace orvane
