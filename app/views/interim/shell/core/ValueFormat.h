#pragma once

#include "shell/core/LocalTime.h"

#include <cstdint>
#include <string>

// The formatters the views use (a subset, same names and results as the shell's).
namespace orvane {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

namespace valuecolor {
inline constexpr Rgb plain{240, 240, 240};
inline constexpr Rgb kilo{255, 245, 0};
}

struct ColoredText {
    std::string text;
    Rgb color;
};

enum class ByteColumn { Sent, Received };

std::string formatListBytes(double value, ByteColumn column);
std::string formatRankValue(double value);
ColoredText formatDetailNumber(double value);
ColoredText formatCurveNumber(double value);
ColoredText formatAreaNumber(double value);
std::string formatLastSeen(const LocalTime& time);
std::string formatClockTime(const LocalTime& time);
std::string formatPort(unsigned port);
std::string indentText(const std::string& text);

} // namespace orvane
