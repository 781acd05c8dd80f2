#include "core/ValueFormat.h"

#include <array>
#include <cstdio>

namespace orvane {

namespace {

constexpr double kK = 1024.0;
constexpr double kM = 1048576.0;
constexpr double kG = 1073741824.0;
constexpr double kT = 1099511627776.0;

constexpr Rgb kPlain = valuecolor::plain;
constexpr Rgb kKilo = valuecolor::kilo;
constexpr Rgb kListText = valuecolor::listText;
constexpr Rgb kMagenta{220, 0, 220};
constexpr Rgb kOrange{214, 136, 41};
constexpr Rgb kCurveBlue{0, 0, 221};
constexpr Rgb kPaleBlue{180, 180, 255};
constexpr Rgb kFloatBlue{0, 0, 255};
constexpr Rgb kGaugePink{255, 100, 255};
constexpr Rgb kGaugeWhite{250, 250, 250};

// One step of a use: values from `from` (above it when strict) are divided by unit and
// printed with format, which takes the scaled value and the suffix.
struct Band {
    double from = 0;
    bool strict = false;
    double unit = 1;
    const char* format = nullptr;  // null: the end of the bands
    const char* suffix = "";
    Rgb colour;
};

// How a value below every band prints.
enum class Small {
    Int3,      // "%3i" of the value truncated
    Narrow,    // "%3i", "%2i" or "%1i" of the value truncated, as it is above 100, 10 or not
    Rounded3,  // "%3i" of the value rounded, then the suffix
    Fixed0,    // "%.0f" of the value, then the suffix
};

struct Style {
    std::array<Band, 5> bands;  // largest first; the first that matches wins
    Small small;
    const char* smallSuffix;
    Rgb smallColour;
};

// One row per use, in the order of ValueUse.
constexpr Style kStyles[] = {
    // StatusTotal
    {{{{1e11, false, kT, "%.3f%s", "T", kPlain}, {1e9, false, kG, "%.3f%s", "G", kPlain},
       {1e6, false, kM, "%.3f%s", "M", kPlain}, {1000, false, kK, "%.3f%s", "K", kPlain}}},
     Small::Int3, "", kPlain},
    // ListSentBytes
    {{{{1e9, false, kG, "%.3f%s", "G", kOrange}, {1e6, true, kM, "%.3f%s", "M", kMagenta},
       {1000, true, kK, "%.2f%s", "K", kKilo}}},
     Small::Int3, "", kListText},
    // ListReceivedBytes
    {{{{1e9, false, kG, "%.3f%s", "G", kOrange}, {1e6, false, kM, "%.3f%s", "M", kMagenta},
       {1000, true, kK, "%.2f%s", "K", kKilo}}},
     Small::Int3, "", kListText},
    // RankValue
    {{{{1e6, true, kM, "%.3f%s", "M", kListText}, {1000, true, kK, "%.2f%s", "K", kListText}}},
     Small::Int3, "", kListText},
    // DetailCell
    {{{{1e6, false, kM, "%.3f%s", "M", kMagenta}, {1000, false, kK, "%.3f%s", "K", kKilo}}},
     Small::Narrow, "", kPlain},
    // CurveLabel
    {{{{1e6, false, kM, "%.3f%s", "M", kCurveBlue}, {1000, false, kK, "%.3f%s", "K", kKilo}}},
     Small::Narrow, "", kPlain},
    // AreaLabel
    {{{{1e6, false, kM, "%.1f%s", "M", kPaleBlue}, {1000, false, kK, "%.1f%s", "K", kKilo}}},
     Small::Narrow, "", kPlain},
    // FloatSpeed
    {{{{1e8, false, kG, "%.2f%s", "G", kFloatBlue}, {1e6, false, kM, "%.2f%s", " M/S", kFloatBlue},
       {1000, false, kK, "%.1f%s", " K/S", kKilo}}},
     Small::Rounded3, " /S", kPlain},
    // PanelSpeed
    {{{{1e9, false, kG, "%.2f%s", "G", kPaleBlue}, {1e6, false, kM, "%.1f%s", "M", kPaleBlue},
       {1000, false, kK, "%.1f%s", "K", kKilo}}},
     Small::Narrow, "", kPlain},
    // BusiestSpeed
    {{{{1000 * kM, false, kG, "%.3f%s", "G B/S", kOrange}, {1024000, false, kM, "%.2f%s", "M B/S", kMagenta},
       {1000, false, kK, "%.1f%s", "K B/S", kKilo}}},
     Small::Fixed0, " B/S", kListText},
    // ProgramValue
    {{{{1000 * kG, false, kT, "%.1f %s", "T", kOrange}, {1000 * kM, false, kG, "%.3f %s", "G", kOrange},
       {1024000, false, kM, "%.2f %s", "M", kMagenta}, {1000, false, kK, "%.1f %s", "K", kKilo}}},
     Small::Fixed0, "", kListText},
    // GaugeReadout
    {{{{1e9, false, kG, "%.1f%s", "", kGaugePink}, {1e6, false, kM, "%.1f%s", "", kGaugePink},
       {1000, false, kK, "%.1f%s", "", kKilo}}},
     Small::Fixed0, "", kGaugeWhite},
};
static_assert(std::size(kStyles) == std::size_t(ValueUse::GaugeReadout) + 1, "one style per use");

// Counts are never negative; a NaN or negative input (a delta taken across a clear, say)
// counts as 0 rather than printing garbage.
double sane(double value)
{
    return value >= 0.0 ? value : 0.0;
}

const Style& styleOf(ValueUse use)
{
    return kStyles[std::size_t(use)];
}

const Band* bandOf(const Style& style, double value)
{
    for (const Band& band : style.bands) {
        if (band.format == nullptr)
            break;
        if (band.strict ? value > band.from : value >= band.from)
            return &band;
    }
    return nullptr;
}

std::string smallText(const Style& style, double value)
{
    char buffer[48];
    switch (style.small) {
    case Small::Int3:
        std::snprintf(buffer, sizeof buffer, "%3i", static_cast<int>(value));
        break;
    case Small::Narrow:
        std::snprintf(buffer, sizeof buffer, value > 100.0 ? "%3i" : value > 10.0 ? "%2i" : "%1i",
                      static_cast<int>(value));
        break;
    case Small::Rounded3:
        std::snprintf(buffer, sizeof buffer, "%3i%s", static_cast<int>(value + 0.5), style.smallSuffix);
        break;
    case Small::Fixed0:
        std::snprintf(buffer, sizeof buffer, "%.0f%s", value, style.smallSuffix);
        break;
    }
    return buffer;
}

} // namespace

ColoredText formatValue(double value, ValueUse use)
{
    value = sane(value);
    const Style& style = styleOf(use);
    if (const Band* band = bandOf(style, value)) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, band->format, value / band->unit, band->suffix);
        return {buffer, band->colour};
    }
    return {smallText(style, value), style.smallColour};
}

ScaledValue scaleValue(double value, ValueUse use)
{
    value = sane(value);
    const Style& style = styleOf(use);
    if (const Band* band = bandOf(style, value))
        return {value / band->unit, band->colour};
    return {value, style.smallColour};
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
