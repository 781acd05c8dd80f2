#include "views/floating/FloatSpeedText.h"

#include <cmath>
#include <cstdio>

namespace orvane::floatstrip {

SpeedText speedText(double v)
{
    if (std::isnan(v) || v < 0)
        v = 0;
    char buffer[64];
    if (v >= 1e8) {
        std::snprintf(buffer, sizeof buffer, "%.2lf%s", v / 1073741824.0, "G");
        return {buffer, 0x0000FF};
    }
    if (v >= 1e6) {
        std::snprintf(buffer, sizeof buffer, "%.2lf%s", v / 1048576.0, " M/S");
        return {buffer, 0x0000FF};
    }
    if (v >= 1000) {
        std::snprintf(buffer, sizeof buffer, "%.1lf%s", v / 1024.0, " K/S");
        return {buffer, 0xFFF500};
    }
    std::snprintf(buffer, sizeof buffer, "%3i%s", int(v + 0.5), " /S");
    return {buffer, 0xF0F0F0};
}

} // namespace orvane::floatstrip
