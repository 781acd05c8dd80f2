#include "shell/core/ValueFormat.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

TEST(ValueFormat, StatusBytesStepAtDecimalThresholdsDivideByPowersOfTwo)
{
    EXPECT_EQ(formatStatusBytes(0), "  0");
    EXPECT_EQ(formatStatusBytes(999), "999");
    EXPECT_EQ(formatStatusBytes(999.9), "999");  // truncated, not rounded
    EXPECT_EQ(formatStatusBytes(1000), "0.977K");
    EXPECT_EQ(formatStatusBytes(2500), "2.441K");
    EXPECT_EQ(formatStatusBytes(999999), "976.562K");
    EXPECT_EQ(formatStatusBytes(1e6), "0.954M");
    EXPECT_EQ(formatStatusBytes(1e9), "0.931G");
    EXPECT_EQ(formatStatusBytes(99999999999.0), "93.132G");
    EXPECT_EQ(formatStatusBytes(1e11), "0.091T");
}

TEST(ValueFormat, ListBytesColumnsSwitchToMegaAtDifferentPoints)
{
    EXPECT_EQ(formatListBytes(1000, ByteColumn::Sent), "1000");  // K only above 1000
    EXPECT_EQ(formatListBytes(1001, ByteColumn::Received), "0.98K");
    EXPECT_EQ(formatListBytes(1e6, ByteColumn::Sent), "976.56K");
    EXPECT_EQ(formatListBytes(1e6, ByteColumn::Received), "0.954M");
    EXPECT_EQ(formatListBytes(1000001, ByteColumn::Sent), "0.954M");
    EXPECT_EQ(formatListBytes(1e9, ByteColumn::Sent), "0.931G");
    EXPECT_EQ(formatListBytes(1e9, ByteColumn::Received), "0.931G");
    EXPECT_EQ(formatListBytes(7, ByteColumn::Sent), "  7");
}

TEST(ValueFormat, RankValueNeedsMoreThanEachThreshold)
{
    EXPECT_EQ(formatRankValue(1000), "1000");
    EXPECT_EQ(formatRankValue(1e6), "976.56K");
    EXPECT_EQ(formatRankValue(1e6 + 1), "0.954M");
}

TEST(ValueFormat, WidthSelectingFormatsAndTheirColours)
{
    const ColoredText zero = formatDetailNumber(0);
    EXPECT_EQ(zero.text, "0");
    EXPECT_EQ(zero.color, valuecolor::plain);
    EXPECT_EQ(formatDetailNumber(10).text, "10");    // not above 10: "%1i" still prints both digits
    EXPECT_EQ(formatDetailNumber(50).text, "50");
    EXPECT_EQ(formatDetailNumber(100).text, "100");
    EXPECT_EQ(formatDetailNumber(101).text, "101");
    const ColoredText kilo = formatDetailNumber(5000);
    EXPECT_EQ(kilo.text, "4.883K");
    EXPECT_EQ(kilo.color, valuecolor::kilo);
    EXPECT_EQ(formatDetailNumber(2e6).color, (Rgb{220, 0, 220}));
    EXPECT_EQ(formatCurveNumber(2e6).text, "1.907M");
    EXPECT_EQ(formatCurveNumber(2e6).color, (Rgb{0, 0, 221}));
    EXPECT_EQ(formatAreaNumber(2e6).text, "1.9M");
    EXPECT_EQ(formatAreaNumber(2e6).color, (Rgb{180, 180, 255}));
    EXPECT_EQ(formatAreaNumber(5000).text, "4.9K");
}

TEST(ValueFormat, FloatingSpeedRoundsSmallValuesAfterTheComparison)
{
    EXPECT_EQ(formatFloatSpeed(999.6).text, "1000 /S");
    EXPECT_EQ(formatFloatSpeed(0.4).text, "  0 /S");
    EXPECT_EQ(formatFloatSpeed(2048).text, "2.0 K/S");
    EXPECT_EQ(formatFloatSpeed(2048).color, valuecolor::kilo);
    EXPECT_EQ(formatFloatSpeed(5e6).text, "4.77 M/S");
    EXPECT_EQ(formatFloatSpeed(5e6).color, (Rgb{0, 0, 255}));
    EXPECT_EQ(formatFloatSpeed(1.5e8).text, "0.14G");
}

TEST(ValueFormat, BadInputPrintsZero)
{
    EXPECT_EQ(formatStatusBytes(-5), "  0");
    EXPECT_EQ(formatListBytes(std::nan(""), ByteColumn::Sent), "  0");
    EXPECT_EQ(formatFloatSpeed(-1).text, "  0 /S");
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
