#include "core/dashboard/DashboardLayout.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(DashboardLayout, CurveCellsOfA400PixelWindowAreRaisedTo145)
{
    // (400 - 20) / 3 = 126, raised to 145; a short window keeps cells 82 high.
    EXPECT_EQ(curveCell(0, 400, 200), (CellRect{5, 20, 145, 82}));
    EXPECT_EQ(curveCell(5, 400, 200), (CellRect{5 + 2 * 150, 20 + 102, 145, 82}));
    EXPECT_EQ(curveCell(8, 400, 200), (CellRect{305, 20 + 2 * 102, 145, 82}));
}

TEST(DashboardLayout, CurveCellsShareALargeWindow)
{
    // c = (1000 - 20) / 3 = 326, d = (680 - 80) / 3 = 200.
    EXPECT_EQ(curveCell(4, 1000, 680), (CellRect{5 + 331, 20 + 220, 326, 200}));
    EXPECT_EQ(curveCell(0, 455, 326).width, 145);  // 145 exactly stays
    EXPECT_EQ(curveCell(0, 454, 325).width, 145);  // 144 is raised
    EXPECT_EQ(curveCell(0, 454, 325).height, 82);
}

TEST(DashboardLayout, GaugeCellsThreeToARow)
{
    EXPECT_EQ(gaugeCell(0, 136, 84), (CellRect{0, 0, 136, 84}));
    EXPECT_EQ(gaugeCell(2, 136, 84), (CellRect{2 * 151, 0, 136, 84}));
    EXPECT_EQ(gaugeCell(7, 136, 84), (CellRect{151, 2 * 119, 136, 84}));
}

TEST(DashboardLayout, GaugeSweepFollowsTheFourBandScale)
{
    EXPECT_EQ(gaugeSweep(0, kByteRateScale), 0);
    EXPECT_EQ(gaugeSweep(-5, kByteRateScale), 0);
    EXPECT_DOUBLE_EQ(gaugeSweep(25600, kByteRateScale), 22.5);     // half the first band
    EXPECT_DOUBLE_EQ(gaugeSweep(512000, kByteRateScale), 90);      // top of the second band
    EXPECT_DOUBLE_EQ(gaugeSweep(1048576, kByteRateScale), 135);
    EXPECT_EQ(gaugeSweep(10485760, kByteRateScale), 180);
    EXPECT_EQ(gaugeSweep(1e15, kByteRateScale), 180);
    EXPECT_DOUBLE_EQ(gaugeSweep(275, kPacketRateScale), 67.5);     // halfway from 50 to 500
}

} // namespace
} // namespace orvane
