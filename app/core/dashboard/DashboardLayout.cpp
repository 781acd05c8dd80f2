#include "core/dashboard/DashboardLayout.h"

#include <algorithm>
#include <cmath>

namespace orvane {

CellRect curveCell(int index, int clientWidth, int clientHeight)
{
    int width = (clientWidth - 20) / 3;
    if (width <= 144)
        width = 145;
    const int height = std::max((clientHeight - 80) / 3, 82);
    const int row = index / 3;
    const int column = index % 3;
    return {5 + column * (width + 5), 20 + row * (height + 20), width, height};
}

CellRect gaugeCell(int index, int gaugeWidth, int gaugeHeight)
{
    const int row = index / 3;
    const int column = index % 3;
    return {column * (15 + gaugeWidth), row * (35 + gaugeHeight), gaugeWidth, gaugeHeight};
}

double gaugeSweep(double value, const RateScale& scale)
{
    if (!(value > 0))
        return 0;
    if (value >= scale[3])
        return 180;
    double lower = 0;
    for (int band = 0; band < 4; ++band) {
        const double upper = scale[std::size_t(band)];
        if (value <= upper) {
            const double inside = upper > lower ? (value - lower) / (upper - lower) : 1.0;
            return 45.0 * (band + inside);
        }
        lower = upper;
    }
    return 180;
}

} // namespace orvane
