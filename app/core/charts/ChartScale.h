#pragma once

#include "core/charts/ChartRing.h"

#include <array>
#include <vector>

namespace orvane {

// The vertical scale of a chart: four bands of equal height, linear inside each, with the
// band tops at the four thresholds (ascending).
struct ChartScale {
    static constexpr int kLevels = 4;
    std::array<double, kLevels> thresholds{1, 1, 1, 1};

    // Height in pixels (1 to chartHeight) of a value on a chart of chartHeight pixels.
    int heightOf(double value, int chartHeight) const;
};

// Where a chart lies and how far apart its samples are.
struct ChartGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int step = 2;
    int margin = 2;

    int bandHeight() const { return height / ChartScale::kLevels; }
    int baseline() const { return top + height - margin; }
};

struct ChartPoint {
    int x = 0;
    int y = 0;
};

// The points of the ring's newest samples across the chart, oldest at the left margin.
std::vector<ChartPoint> chartPoints(const ChartRing& ring, const ChartScale& scale, const ChartGeometry& g);
// The newest sample of those drawn, 0 when none.
double newestDrawn(const ChartRing& ring, const ChartGeometry& g);

} // namespace orvane
