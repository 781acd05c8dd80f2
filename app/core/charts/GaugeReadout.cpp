#include "core/charts/GaugeReadout.h"

namespace orvane {

GaugeReadout GaugeReadout::of(double value)
{
    GaugeReadout r;
    const ScaledValue scaled = scaleValue(value, ValueUse::GaugeReadout);
    const double v = scaled.value;
    r.colour = scaled.colour;
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
