#include "monitor/summary/SummaryText.h"

#include <cmath>
#include <cstdio>

namespace orvane {

namespace {

constexpr double kK = 1024.0;
constexpr double kM = 1048576.0;
constexpr double kG = 1073741824.0;

template <typename... Args>
std::string print(const char* format, Args... args)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

// Speeds are never negative; NaN and negative values read as 0.
double sane(double v)
{
    return std::isnan(v) || v < 0 ? 0.0 : v;
}

} // namespace

FigureText summaryPanelSpeed(double v)
{
    v = sane(v);
    if (v >= 1e9)
        return {print("%.2f%s", v / kG, "G"), 0xB4B4FF};
    if (v >= 1e6)
        return {print("%.1f%s", v / kM, "M"), 0xB4B4FF};
    if (v >= 1000)
        return {print("%.1f%s", v / kK, "K"), 0xFFF500};
    const int whole = int(v);
    const char* format = v > 100 ? "%3i" : v > 10 ? "%2i" : "%1i";
    return {print(format, whole), 0xF0F0F0};
}

FigureText busiestProgramSpeed(double s)
{
    s = sane(s);
    if (s >= 1000 * kM)
        return {print("%.3f%s", s / kG, "G B/S"), 0xD68829};
    if (s >= 1024000)
        return {print("%.2f%s", s / kM, "M B/S"), 0xDC00DC};
    if (s < 1000)
        return {print("%.0f B/S", s), 0xD2D2D8};
    return {print("%.1f%s", s / kK, "K B/S"), 0xFFF500};
}

} // namespace orvane
