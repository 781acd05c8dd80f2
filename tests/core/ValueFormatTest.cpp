#include "core/ValueFormat.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

std::string text(double value, ValueUse use)
{
    return formatValue(value, use).text;
}

Rgb colour(double value, ValueUse use)
{
    return formatValue(value, use).colour;
}

constexpr Rgb kYellow = valuecolor::kilo;
constexpr Rgb kGrey = valuecolor::plain;
constexpr Rgb kListText = valuecolor::listText;
constexpr Rgb kMagenta{220, 0, 220};
constexpr Rgb kOrange{214, 136, 41};
constexpr Rgb kPaleBlue{180, 180, 255};

} // namespace

TEST(ValueFormat, StatusTotalsStepAtDecimalThresholdsDivideByPowersOfTwo)
{
    EXPECT_EQ(text(0, ValueUse::StatusTotal), "  0");
    EXPECT_EQ(text(999, ValueUse::StatusTotal), "999");
    EXPECT_EQ(text(999.9, ValueUse::StatusTotal), "999");  // truncated, not rounded
    EXPECT_EQ(text(1000, ValueUse::StatusTotal), "0.977K");
    EXPECT_EQ(text(2500, ValueUse::StatusTotal), "2.441K");
    EXPECT_EQ(text(999999, ValueUse::StatusTotal), "976.562K");
    EXPECT_EQ(text(1e6, ValueUse::StatusTotal), "0.954M");
    EXPECT_EQ(text(1e9, ValueUse::StatusTotal), "0.931G");
    EXPECT_EQ(text(99999999999.0, ValueUse::StatusTotal), "93.132G");
    EXPECT_EQ(text(1e11, ValueUse::StatusTotal), "0.091T");
}

TEST(ValueFormat, ListByteColumnsSwitchToMegaAtDifferentPointsAndColourByUnit)
{
    EXPECT_EQ(text(1000, ValueUse::ListSentBytes), "1000");  // K only above 1000
    EXPECT_EQ(colour(1000, ValueUse::ListSentBytes), kListText);
    EXPECT_EQ(formatValue(1001, ValueUse::ListReceivedBytes), (ColoredText{"0.98K", kYellow}));
    EXPECT_EQ(text(1e6, ValueUse::ListSentBytes), "976.56K");
    EXPECT_EQ(formatValue(1e6, ValueUse::ListReceivedBytes), (ColoredText{"0.954M", kMagenta}));
    EXPECT_EQ(text(1000001, ValueUse::ListSentBytes), "0.954M");
    EXPECT_EQ(formatValue(1e9, ValueUse::ListSentBytes), (ColoredText{"0.931G", kOrange}));
    EXPECT_EQ(text(1e9, ValueUse::ListReceivedBytes), "0.931G");
    EXPECT_EQ(text(7, ValueUse::ListSentBytes), "  7");
}

TEST(ValueFormat, RankValueNeedsMoreThanEachThreshold)
{
    EXPECT_EQ(text(1000, ValueUse::RankValue), "1000");
    EXPECT_EQ(text(1e6, ValueUse::RankValue), "976.56K");
    EXPECT_EQ(text(1e6 + 1, ValueUse::RankValue), "0.954M");
    EXPECT_EQ(text(1500, ValueUse::RankValue), "1.46K");  // packet counts read the same way
}

TEST(ValueFormat, WidthSelectingUsesAndTheirColours)
{
    EXPECT_EQ(formatValue(0, ValueUse::DetailCell), (ColoredText{"0", kGrey}));
    EXPECT_EQ(text(10, ValueUse::DetailCell), "10");  // not above 10: "%1i" still prints both digits
    EXPECT_EQ(text(50, ValueUse::DetailCell), "50");
    EXPECT_EQ(text(100, ValueUse::DetailCell), "100");
    EXPECT_EQ(formatValue(5000, ValueUse::DetailCell), (ColoredText{"4.883K", kYellow}));
    EXPECT_EQ(colour(2e6, ValueUse::DetailCell), kMagenta);
    EXPECT_EQ(formatValue(2e6, ValueUse::CurveLabel), (ColoredText{"1.907M", {0, 0, 221}}));
    EXPECT_EQ(formatValue(2e6, ValueUse::AreaLabel), (ColoredText{"1.9M", kPaleBlue}));
    EXPECT_EQ(text(5000, ValueUse::AreaLabel), "4.9K");
    // The summary panels: G and M in pale blue, K in yellow, narrow integers in grey.
    EXPECT_EQ(formatValue(1500, ValueUse::PanelSpeed), (ColoredText{"1.5K", kYellow}));
    EXPECT_EQ(formatValue(999.9, ValueUse::PanelSpeed), (ColoredText{"999", kGrey}));
    EXPECT_EQ(formatValue(1e6, ValueUse::PanelSpeed), (ColoredText{"1.0M", kPaleBlue}));  // 0.95 rounds up
    EXPECT_EQ(formatValue(3e9, ValueUse::PanelSpeed), (ColoredText{"2.79G", kPaleBlue}));
}

TEST(ValueFormat, SpeedsOfTheStripTheBusiestProgramsAndTheProcessList)
{
    EXPECT_EQ(text(999.6, ValueUse::FloatSpeed), "1000 /S");  // rounded after the comparison
    EXPECT_EQ(text(0.4, ValueUse::FloatSpeed), "  0 /S");
    EXPECT_EQ(formatValue(2048, ValueUse::FloatSpeed), (ColoredText{"2.0 K/S", kYellow}));
    EXPECT_EQ(formatValue(5e6, ValueUse::FloatSpeed), (ColoredText{"4.77 M/S", {0, 0, 255}}));
    EXPECT_EQ(text(1.5e8, ValueUse::FloatSpeed), "0.14G");

    EXPECT_EQ(formatValue(0, ValueUse::BusiestSpeed), (ColoredText{"0 B/S", kListText}));
    EXPECT_EQ(text(999, ValueUse::BusiestSpeed), "999 B/S");
    EXPECT_EQ(formatValue(1000, ValueUse::BusiestSpeed), (ColoredText{"1.0K B/S", kYellow}));
    EXPECT_EQ(text(1023999, ValueUse::BusiestSpeed), "1000.0K B/S");
    EXPECT_EQ(formatValue(1024000, ValueUse::BusiestSpeed), (ColoredText{"0.98M B/S", kMagenta}));
    EXPECT_EQ(formatValue(1000.0 * 1048576, ValueUse::BusiestSpeed), (ColoredText{"0.977G B/S", kOrange}));

    EXPECT_EQ(formatValue(999, ValueUse::ProgramValue), (ColoredText{"999", kListText}));
    EXPECT_EQ(formatValue(1000, ValueUse::ProgramValue), (ColoredText{"1.0 K", kYellow}));
    EXPECT_EQ(text(1023999, ValueUse::ProgramValue), "1000.0 K");
    EXPECT_EQ(formatValue(1048576, ValueUse::ProgramValue), (ColoredText{"1.00 M", kMagenta}));
    EXPECT_EQ(formatValue(1000.0 * 1048576, ValueUse::ProgramValue), (ColoredText{"0.977 G", kOrange}));
    EXPECT_EQ(formatValue(1000.0 * 1073741824, ValueUse::ProgramValue), (ColoredText{"1.0 T", kOrange}));
}

TEST(ValueFormat, BadInputCountsAsZero)
{
    EXPECT_EQ(text(-5, ValueUse::StatusTotal), "  0");
    EXPECT_EQ(text(std::nan(""), ValueUse::ListSentBytes), "  0");
    EXPECT_EQ(text(-1, ValueUse::FloatSpeed), "  0 /S");
    EXPECT_EQ(text(-4, ValueUse::PanelSpeed), "0");
    EXPECT_EQ(text(-3, ValueUse::ProgramValue), "0");
    EXPECT_EQ(scaleValue(std::nan(""), ValueUse::GaugeReadout).value, 0.0);
}

TEST(ValueFormat, TimesPortsAndCounts)
{
    const LocalTime time{2026, 12, 6, 14, 3, 22};
    EXPECT_EQ(formatLastSeen(time), " 14:03:22-6/12");
    EXPECT_EQ(formatClockTime(time), "14:03:22");
    EXPECT_EQ(formatPort(65535), "65535");
    EXPECT_EQ(formatCount(-3), "-3");
    EXPECT_EQ(indentText("x"), " x");
}
