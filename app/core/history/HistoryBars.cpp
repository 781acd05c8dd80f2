#include "core/history/HistoryBars.h"

#include "core/WallClock.h"

#include <algorithm>
#include <cstdio>

namespace orvane {

uint64_t roundScaleTop(uint64_t value)
{
    uint64_t unit = 1024;
    // Each power of two from 1 K and one and a half times it, in order.
    for (;;) {
        for (uint64_t top : {unit, unit / 2 * 3}) {
            if (top >= value)
                return top;
        }
        if (unit > (UINT64_MAX >> 2))
            return UINT64_MAX;
        unit *= 2;
    }
}

HistoryBarLayout layoutBars(const std::vector<history::SeriesPoint>& points, int width, int height, int labelWidth)
{
    HistoryBarLayout layout;
    if (points.empty() || width <= 0 || height <= 0)
        return layout;
    uint64_t largest = 0;
    for (const history::SeriesPoint& p : points)
        largest = std::max(largest, p.net.received + p.net.sent);
    layout.scaleTop = roundScaleTop(largest);
    const int n = int(points.size());
    // Bars share the width evenly (their edges rounded), with a gap of a fifth of the pitch
    // once that is two pixels or more.
    const double pitch = double(width) / n;
    const int gap = pitch >= 10 ? int(pitch / 5) : pitch >= 3 ? 1 : 0;
    const double scale = double(height) / double(layout.scaleTop);
    // First x a label may start at: the first may reach into the scale column at the left.
    int nextLabel = -labelWidth / 2;
    for (int i = 0; i < n; ++i) {
        const history::SeriesPoint& p = points[size_t(i)];
        HistoryBar bar;
        bar.x = int(i * pitch);
        const int right = int((i + 1) * pitch);
        bar.width = std::max(1, right - bar.x - gap);
        bar.from = p.from;
        bar.received = p.net.received;
        bar.sent = p.net.sent;
        const int total = int(std::min<double>(height, double(p.net.received + p.net.sent) * scale + 0.5));
        bar.receivedHeight = std::min(total, int(double(p.net.received) * scale + 0.5));
        bar.sentHeight = total - bar.receivedHeight;
        // Any traffic shows at least one pixel.
        if (total == 0 && p.net.received + p.net.sent > 0)
            (p.net.received >= p.net.sent ? bar.receivedHeight : bar.sentHeight) = 1;
        const int centre = bar.x + bar.width / 2;
        if (centre - labelWidth / 2 >= nextLabel && centre + (labelWidth + 1) / 2 <= width) {
            bar.labelled = true;
            nextLabel = centre + labelWidth;  // half a label's width free between labels
        }
        layout.bars.push_back(bar);
    }
    return layout;
}

std::string barLabel(int64_t from, history::Step step)
{
    const LocalTime t = WallClock::localTimeOfEpoch(from * 1000);
    char text[24];
    switch (step) {
    case history::Step::Hour: std::snprintf(text, sizeof text, "%02d", t.hour); break;
    case history::Step::Day: std::snprintf(text, sizeof text, "%02d-%02d", t.month, t.day); break;
    case history::Step::Month: std::snprintf(text, sizeof text, "%04d-%02d", t.year, t.month); break;
    }
    return text;
}

} // namespace orvane
