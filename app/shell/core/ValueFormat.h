#pragma once

#include "shell/core/LocalTime.h"

#include <cstdint>
#include <string>

// The short texts the views print for byte and packet totals, speeds, ports and times. Every
// variant compares the value with decimal thresholds and divides by powers of two
// (K = 1024, M = 2^20, G = 2^30, T = 2^40), so 1 000 000 bytes read 0.954M. Values below the
// first threshold print as integers. Negative and NaN values print as 0. All functions are
// pure and may be called from any thread.
namespace orvane {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

namespace valuecolor {
inline constexpr Rgb plain{240, 240, 240};  // numbers below the K range
inline constexpr Rgb kilo{255, 245, 0};     // the K range
}

// A text with the colour the caller draws it in.
struct ColoredText {
    std::string text;
    Rgb color;
};

// The two byte columns of the address lists switch to M at different points.
enum class ByteColumn { Sent, Received };

// Status bar totals: T from 1e11, G from 1e9, M from 1e6, K from 1000 ("%.3f"), else "%3i".
std::string formatStatusBytes(double value);
// Byte columns of the address lists: G from 1e9 ("%.3f"), M above 1e6 (sent) or from 1e6
// (received) ("%.3f"), K above 1000 ("%.2f"), else "%3i".
std::string formatListBytes(double value, ByteColumn column);
// Value column of the ranking list: M above 1e6 ("%.3f"), K above 1000 ("%.2f"), else "%3i".
std::string formatRankValue(double value);
// Per-address detail cells: M from 1e6 in magenta, K from 1000 in yellow ("%.3f"), else the
// narrowest of "%3i", "%2i", "%1i" in light grey.
ColoredText formatDetailNumber(double value);
// Current-value label of the line curve chart: as the detail cells, M in blue.
ColoredText formatCurveNumber(double value);
// Current-value label of the area chart: M and K with one decimal, M in pale blue.
ColoredText formatAreaNumber(double value);
// Speeds of the floating strip: G from 1e8 ("%.2f" and a bare "G"), " M/S" from 1e6
// ("%.2f"), " K/S" from 1000 ("%.1f"), else the value rounded with " /S".
ColoredText formatFloatSpeed(double value);

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
