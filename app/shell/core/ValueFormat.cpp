#include "shell/core/ValueFormat.h"

#include <cmath>
#include <cstdio>

namespace orvane {

namespace {

constexpr double kKilo = 1024.0;
constexpr double kMega = 1048576.0;
constexpr double kGiga = 1073741824.0;
constexpr double kTera = 1099511627776.0;

constexpr Rgb kDetailMega{220, 0, 220};
constexpr Rgb kCurveMega{0, 0, 221};
constexpr Rgb kAreaMega{180, 180, 255};
constexpr Rgb kFloatMega{0, 0, 255};

// Counts are never negative; a NaN or negative input (a delta taken across a clear, say)
// prints as 0 rather than as garbage.
double sane(double value)
{
    return value >= 0.0 ? value : 0.0;
}

std::string scaled(const char* format, double value, double unit, const char* suffix)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value / unit, suffix);
    return buffer;
}

std::string integer(const char* format, double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, static_cast<int>(value));
    return buffer;
}

// "%3i", "%2i" or "%1i" by the magnitude of the value.
std::string narrowInteger(double value)
{
    return integer(value > 100.0 ? "%3i" : value > 10.0 ? "%2i" : "%1i", value);
}

ColoredText scaledColored(double value, Rgb mega, const char* format)
{
    if (value >= 1e6)
        return {scaled(format, value, kMega, "M"), mega};
    if (value >= 1000.0)
        return {scaled(format, value, kKilo, "K"), valuecolor::kilo};
    return {narrowInteger(value), valuecolor::plain};
}

} // namespace

std::string formatStatusBytes(double value)
{
    value = sane(value);
    if (value >= 1e11)
        return scaled("%.3f%s", value, kTera, "T");
    if (value >= 1e9)
        return scaled("%.3f%s", value, kGiga, "G");
    if (value >= 1e6)
        return scaled("%.3f%s", value, kMega, "M");
    if (value >= 1000.0)
        return scaled("%.3f%s", value, kKilo, "K");
    return integer("%3i", value);
}

std::string formatListBytes(double value, ByteColumn column)
{
    value = sane(value);
    if (value >= 1e9)
        return scaled("%.3f%s", value, kGiga, "G");
    const bool mega = column == ByteColumn::Sent ? value > 1e6 : value >= 1e6;
    if (mega)
        return scaled("%.3f%s", value, kMega, "M");
    if (value > 1000.0)
        return scaled("%.2f%s", value, kKilo, "K");
    return integer("%3i", value);
}

std::string formatRankValue(double value)
{
    value = sane(value);
    if (value > 1e6)
        return scaled("%.3f%s", value, kMega, "M");
    if (value > 1000.0)
        return scaled("%.2f%s", value, kKilo, "K");
    return integer("%3i", value);
}

ColoredText formatDetailNumber(double value)
{
    return scaledColored(sane(value), kDetailMega, "%.3f%s");
}

ColoredText formatCurveNumber(double value)
{
    return scaledColored(sane(value), kCurveMega, "%.3f%s");
}

ColoredText formatAreaNumber(double value)
{
    return scaledColored(sane(value), kAreaMega, "%.1f%s");
}

ColoredText formatFloatSpeed(double value)
{
    value = sane(value);
    if (value >= 1e8)
        return {scaled("%.2f%s", value, kGiga, "G"), kFloatMega};
    if (value >= 1e6)
        return {scaled("%.2f%s", value, kMega, " M/S"), kFloatMega};
    if (value >= 1000.0)
        return {scaled("%.1f%s", value, kKilo, " K/S"), valuecolor::kilo};
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%3i%s", static_cast<int>(value + 0.5), " /S");
    return {buffer, valuecolor::plain};
}

std::string formatLastSeen(const LocalTime& time)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, " %02i:%02i:%02i-%i/%i", time.hour, time.minute, time.second, time.day,
                  time.month);
    return buffer;
}

std::string formatClockTime(const LocalTime& time)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02i:%02i:%02i", time.hour, time.minute, time.second);
    return buffer;
}

std::string formatPort(unsigned port)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%u", port);
    return buffer;
}

std::string formatCount(long long count)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lli", count);
    return buffer;
}

std::string indentText(const std::string& text)
{
    return ' ' + text;
}

} // namespace orvane
