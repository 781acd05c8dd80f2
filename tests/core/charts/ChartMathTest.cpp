#include "core/charts/ChartRing.h"
#include "core/charts/ChartScale.h"
#include "core/charts/GaugeReadout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace orvane;

namespace {

ChartScale detailScale()
{
    ChartScale s;
    s.thresholds = {1024, 10240, 51200, 204800};
    return s;
}

} // namespace

TEST(ChartScale, BandsAreLinearQuartersOfTheHeight)
{
    const ChartScale s = detailScale();
    EXPECT_EQ(s.heightOf(10240, 80), 40);   // exactly half
    EXPECT_EQ(s.heightOf(1024, 80), 20);
    EXPECT_EQ(s.heightOf(512, 80), 10);
    EXPECT_EQ(s.heightOf(30720, 80), 50);   // half way through the third band
    EXPECT_EQ(s.heightOf(204800, 80), 80);  // the top threshold fills the chart
    EXPECT_EQ(s.heightOf(1e12, 80), 80);
    EXPECT_EQ(s.heightOf(0, 80), 1);        // never below one pixel
    EXPECT_EQ(s.heightOf(-5, 80), 1);
    EXPECT_EQ(s.heightOf(std::numeric_limits<double>::quiet_NaN(), 80), 1);
    ChartScale zero;
    zero.thresholds = {0, 10, 20, 30};
    EXPECT_EQ(zero.heightOf(0, 80), 1);     // a zero threshold divides nothing
}

TEST(ChartRing, WrapsToSlotZeroAndDrawsOldestFirst)
{
    ChartRing ring(512);
    EXPECT_TRUE(ring.empty());
    for (int i = 0; i < 512; ++i)
        ring.push(i);
    EXPECT_FALSE(ring.wrapped());
    ring.push(512);
    EXPECT_TRUE(ring.wrapped());
    EXPECT_EQ(ring.writeIndex(), 1);
    EXPECT_EQ(ring.at(0), 512);

    // A 100-sample chart shows 413..512, continuing seamlessly over the ring's end.
    ChartRing::Span span = ring.drawn(100);
    EXPECT_EQ(span.count, 100);
    for (int i = 0; i < span.count; ++i)
        EXPECT_EQ(ring.at(ring.slotOf(span, i)), 413 + i);

    // A chart wider than the ring starts at the oldest sample.
    span = ring.drawn(600);
    EXPECT_EQ(span.count, 512);
    EXPECT_EQ(ring.at(ring.slotOf(span, 0)), 1);
    EXPECT_EQ(ring.at(ring.slotOf(span, 511)), 512);

    ChartRing fresh(8);
    fresh.push(1);
    fresh.push(2);
    span = fresh.drawn(5);
    EXPECT_EQ(span.start, 0);
    EXPECT_EQ(span.count, 2);
}

TEST(ChartPoints, StepAcrossFromTheMarginAndStayInside)
{
    ChartRing ring(512);
    const ChartScale s = detailScale();
    const ChartGeometry g{10, 20, 200, 80, 2, 2};
    EXPECT_TRUE(chartPoints(ring, s, g).empty());
    EXPECT_EQ(newestDrawn(ring, g), 0);
    ring.push(10240);
    ring.push(1e9);
    const auto points = chartPoints(ring, s, g);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0].x, 12);
    EXPECT_EQ(points[1].x, 14);
    EXPECT_EQ(points[0].y, 20 + 80 - 2 - 40);
    EXPECT_EQ(points[1].y, 22);  // clamped below the top margin
    EXPECT_EQ(newestDrawn(ring, g), 1e9);
}

TEST(GaugeReadout, DigitsAndColourTellTheUnit)
{
    const GaugeReadout mega = GaugeReadout::of(2500000);  // 2.38 M
    EXPECT_EQ(mega.hundreds, 0);
    EXPECT_EQ(mega.tens, 0);
    EXPECT_EQ(mega.units, 2);
    EXPECT_EQ(mega.decimal, 3);
    EXPECT_EQ(mega.colour, (Rgb{255, 100, 255}));

    const GaugeReadout kilo = GaugeReadout::of(512000);  // 500.0 K
    EXPECT_EQ(kilo.hundreds, 5);
    EXPECT_EQ(kilo.tens, 0);
    EXPECT_EQ(kilo.units, 0);
    EXPECT_EQ(kilo.colour, (Rgb{255, 245, 0}));

    const GaugeReadout plain = GaugeReadout::of(999);
    EXPECT_EQ(plain.hundreds, 9);
    EXPECT_EQ(plain.tens, 9);
    EXPECT_EQ(plain.units, 9);
    EXPECT_EQ(plain.colour, (Rgb{250, 250, 250}));

    EXPECT_FALSE(GaugeReadout::drawable(GaugeReadout::of(1e15).hundreds));  // 931 322 G: four digits
    EXPECT_EQ(GaugeReadout::of(-1).units, 0);
    EXPECT_EQ(sevenSegmentMask(8), 0x7f);
    EXPECT_EQ(sevenSegmentMask(1), 0b0000110);
}
