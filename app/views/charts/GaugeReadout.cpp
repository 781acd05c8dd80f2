#include "views/charts/GaugeReadout.h"

namespace orvane {

GaugeReadout GaugeReadout::of(double value)
{
    GaugeReadout r;
    double v = value >= 0 ? value : 0.0;  // also NaN
    if (v >= 1e9) {
        v /= 1073741824.0;
        r.colour = {255, 100, 255};
    } else if (v >= 1e6) {
        v /= 1048576.0;
        r.colour = {255, 100, 255};
    } else if (v >= 1000) {
        v /= 1024.0;
        r.colour = {255, 245, 0};
    }
    r.hundreds = int(v * 0.01);
    double rest = v - 100.0 * r.hundreds;
    r.tens = int(rest * 0.1);
    rest -= 10.0 * r.tens;
    r.units = int(rest);
    r.decimal = int((rest - r.units) * 100 * 0.1);
    return r;
}

int sevenSegmentMask(int digit)
{
    //                               a b c d e f g
    static constexpr int kMasks[10] = {0b0111111, 0b0000110, 0b1011011, 0b1001111, 0b1100110,
                                       0b1101101, 0b1111101, 0b0000111, 0b1111111, 0b1101111};
    return digit >= 0 && digit <= 9 ? kMasks[digit] : 0;
}

} // namespace orvane
