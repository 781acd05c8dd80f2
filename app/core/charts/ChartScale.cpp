#include "core/charts/ChartScale.h"

#include <algorithm>

namespace orvane {

int ChartScale::heightOf(double value, int chartHeight) const
{
    const int band = chartHeight / kLevels;
    if (value >= thresholds[kLevels - 1])
        return std::max(chartHeight, 1);
    for (int i = 0; i < kLevels; ++i) {
        const double top = thresholds[std::size_t(i)];
        if (!(value <= top))
            continue;
        if (top == 0)
            return 1;
        const double bottom = i == 0 ? 0.0 : thresholds[std::size_t(i - 1)];
        // The bands ahead of this one all lie below the value, so top > bottom here.
        const double inBand = (i == 0 ? value : value - bottom) * band / (top - bottom);
        const int height = int(inBand) + band * i;
        return std::max(height, 1);
    }
    return 1;  // not a number
}

namespace {

int roomOf(const ChartGeometry& g)
{
    return g.step > 0 && g.width > 0 ? g.width / g.step : 0;
}

} // namespace

std::vector<ChartPoint> chartPoints(const ChartRing& ring, const ChartScale& scale, const ChartGeometry& g)
{
    const ChartRing::Span span = ring.drawn(roomOf(g));
    std::vector<ChartPoint> points;
    points.reserve(std::size_t(span.count));
    const int ceiling = g.top + g.margin;
    for (int i = 0; i < span.count; ++i) {
        const double value = ring.at(ring.slotOf(span, i));
        const int y = std::max(g.baseline() - scale.heightOf(value, g.height), ceiling);
        points.push_back({g.left + g.margin + i * g.step, y});
    }
    return points;
}

double newestDrawn(const ChartRing& ring, const ChartGeometry& g)
{
    const ChartRing::Span span = ring.drawn(roomOf(g));
    return span.count > 0 ? ring.at(ring.slotOf(span, span.count - 1)) : 0.0;
}

} // namespace orvane
