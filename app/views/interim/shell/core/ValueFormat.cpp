#include "shell/core/ValueFormat.h"

#include <cstdio>

namespace orvane {

namespace {

constexpr double kKilo = 1024.0;
constexpr double kMega = 1048576.0;
constexpr double kGiga = 1073741824.0;

double sane(double value)
{
    return value >= 0.0 ? value : 0.0;
}

std::string printed(const char* format, double value, const char* unit)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value, unit);
    return buffer;
}

std::string integer(const char* format, double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, static_cast<int>(value));
    return buffer;
}

std::string narrow(double value)
{
    return integer(value > 100.0 ? "%3i" : value > 10.0 ? "%2i" : "%1i", value);
}

ColoredText colored(double value, Rgb mega, const char* format)
{
    value = sane(value);
    if (value >= 1e6)
        return {printed(format, value / kMega, "M"), mega};
    if (value >= 1000.0)
        return {printed(format, value / kKilo, "K"), valuecolor::kilo};
    return {narrow(value), valuecolor::plain};
}

} // namespace

std::string formatListBytes(double value, ByteColumn column)
{
    value = sane(value);
    if (value >= 1e9)
        return printed("%.3f%s", value / kGiga, "G");
    if (column == ByteColumn::Sent ? value > 1e6 : value >= 1e6)
        return printed("%.3f%s", value / kMega, "M");
    if (value > 1000.0)
        return printed("%.2f%s", value / kKilo, "K");
    return integer("%3i", value);
}

std::string formatRankValue(double value)
{
    value = sane(value);
    if (value > 1e6)
        return printed("%.3f%s", value / kMega, "M");
    if (value > 1000.0)
        return printed("%.2f%s", value / kKilo, "K");
    return integer("%3i", value);
}

ColoredText formatDetailNumber(double value)
{
    return colored(value, Rgb{220, 0, 220}, "%.3f%s");
}

ColoredText formatCurveNumber(double value)
{
    return colored(value, Rgb{0, 0, 221}, "%.3f%s");
}

ColoredText formatAreaNumber(double value)
{
    return colored(value, Rgb{180, 180, 255}, "%.1f%s");
}

std::string formatLastSeen(const LocalTime& t)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, " %02i:%02i:%02i-%i/%i", t.hour, t.minute, t.second, t.day, t.month);
    return buffer;
}

std::string formatClockTime(const LocalTime& t)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02i:%02i:%02i", t.hour, t.minute, t.second);
    return buffer;
}

std::string formatPort(unsigned port)
{
    return std::to_string(port);
}

std::string indentText(const std::string& text)
{
    return " " + text;
}

} // namespace orvane
