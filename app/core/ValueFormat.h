#pragma once

#include "core/LocalTime.h"

#include <cstdint>
#include <string>

// The one formatter of the byte counts, speeds and packet counts the window shows, and the
// short texts of ports, counts and times. Every use has its own row of bands: a value is
// compared with decimal thresholds but divided by powers of two (K = 1024, M = 2^20,
// G = 2^30, T = 2^40), so 1 000 000 bytes read 0.954M in the status bar. Values below the
// lowest band print as integers. Negative and NaN values count as 0. Pure functions, any
// thread.
namespace orvane {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A text and the colour it is drawn in.
struct ColoredText {
    std::string text;
    Rgb colour;
    friend bool operator==(const ColoredText&, const ColoredText&) = default;
};

namespace valuecolor {
inline constexpr Rgb plain{240, 240, 240};  // numbers below the K range
inline constexpr Rgb kilo{255, 245, 0};     // the K range, in every use
inline constexpr Rgb listText{210, 210, 216};
}

// Where a value is shown; each has one row in the formatter's table (ValueFormat.cpp).
enum class ValueUse {
    StatusTotal,        // status bar: T from 1e11, G, M, K ("%.3f"), else "%3i" (packets too)
    ListSentBytes,      // sent column of the address lists: G, M above 1e6, K above 1000
    ListReceivedBytes,  // received column: as sent, but M from 1e6
    RankValue,          // ranking value column: M above 1e6 ("%.3f"), K above 1000 ("%.2f")
    DetailCell,         // detail pane: M in magenta, K in yellow ("%.3f"), narrow integers
    CurveLabel,         // current value of a line curve: as the detail pane, M in blue
    AreaLabel,          // current value of an area chart: one decimal, M in pale blue
    FloatSpeed,         // floating strip: "G" from 1e8, " M/S", " K/S", rounded " /S"
    PanelSpeed,         // summary graph panels: G from 1e9, M, K, narrow integers
    BusiestSpeed,       // busiest program: "G B/S", "M B/S" from 1 024 000, "K B/S", "B/S"
    ProgramValue,       // process monitor columns: "1.0 K", "1.00 M", "1.000 G", "1.0 T"
    GaugeReadout,       // dial readout: the scaled value and the colour that tells the unit
};

ColoredText formatValue(double value, ValueUse use);

// The value divided by the unit of its band, with the band's colour (the gauge readout draws
// the digits itself).
struct ScaledValue {
    double value = 0;
    Rgb colour;
};
ScaledValue scaleValue(double value, ValueUse use);

// " hh:mm:ss-d/m": last activity in the address lists.
std::string formatLastSeen(const LocalTime& time);
// "hh:mm:ss": the detail window's clock.
std::string formatClockTime(const LocalTime& time);
// "%u" of a port, "%i" of a count.
std::string formatPort(unsigned port);
std::string formatCount(long long count);
// The text after one blank: the lists indent some cells this way.
std::string indentText(const std::string& text);

} // namespace orvane
