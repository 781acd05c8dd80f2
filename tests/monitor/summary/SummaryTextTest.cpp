#include "monitor/summary/SummaryText.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

constexpr std::uint32_t kPaleBlue = 0xB4B4FF, kYellow = 0xFFF500, kGrey = 0xF0F0F0;

TEST(SummaryText, PanelSpeedsPickUnitAndColourByDecimalThresholds)
{
    EXPECT_EQ(summaryPanelSpeed(1500), (FigureText{"1.5K", kYellow}));
    EXPECT_EQ(summaryPanelSpeed(50), (FigureText{"50", kGrey}));
    EXPECT_EQ(summaryPanelSpeed(0), (FigureText{"0", kGrey}));
    EXPECT_EQ(summaryPanelSpeed(999.9), (FigureText{"999", kGrey}));
    EXPECT_EQ(summaryPanelSpeed(1e6), (FigureText{"1.0M", kPaleBlue}));  // 0.95 rounds up
    EXPECT_EQ(summaryPanelSpeed(3e9), (FigureText{"2.79G", kPaleBlue}));
    EXPECT_EQ(summaryPanelSpeed(-4), (FigureText{"0", kGrey}));
}

TEST(SummaryText, BusiestProgramSpeeds)
{
    EXPECT_EQ(busiestProgramSpeed(0), (FigureText{"0 B/S", 0xD2D2D8}));
    EXPECT_EQ(busiestProgramSpeed(999), (FigureText{"999 B/S", 0xD2D2D8}));
    EXPECT_EQ(busiestProgramSpeed(1000), (FigureText{"1.0K B/S", kYellow}));
    EXPECT_EQ(busiestProgramSpeed(1023999), (FigureText{"1000.0K B/S", kYellow}));
    EXPECT_EQ(busiestProgramSpeed(1024000), (FigureText{"0.98M B/S", 0xDC00DC}));
    EXPECT_EQ(busiestProgramSpeed(1000.0 * 1048576), (FigureText{"0.977G B/S", 0xD68829}));
}

} // namespace
} // namespace orvane
