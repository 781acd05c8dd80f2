#pragma once

#include "core/ValueFormat.h"

namespace orvane {

// The seven-segment readout of a gauge: three digits and one decimal of the value scaled to
// its unit (K, M or G); the colour tells the unit. Leading zeros are shown; a digit outside
// 0-9 (a value of 1000 units or more) is left blank.
struct GaugeReadout {
    int hundreds = 0;
    int tens = 0;
    int units = 0;
    int decimal = 0;
    Rgb colour{250, 250, 250};

    static GaugeReadout of(double value);
    static bool drawable(int digit) { return digit >= 0 && digit <= 9; }
};

// Which segments (bit 0 = a ... bit 6 = g) a digit lights.
int sevenSegmentMask(int digit);

} // namespace orvane
