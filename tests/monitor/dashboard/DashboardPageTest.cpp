#include "core/dashboard/DashboardLayout.h"
#include "monitor/dashboard/DashboardPage.h"

#include "PixelProbe.h"

#include "config/ConfigStore.h"
#include "core/tick/TickSnapshot.h"
#include "views/TickFeed.h"

#include <QPainter>

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

namespace orvane {
namespace {

QColor skinBackground()
{
    const std::uint32_t bgr = lumivex::config::ConfigStore::instance().getSkinColor("cbk_monitorwnd");
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

bool near(const QColor& a, const QColor& b, int tolerance = 6)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// A tick whose rates are these received TCP and UDP bytes and packets per second (their
// sums as the sampler makes them).
TickSnapshot tick(double tcpReceived, double udpReceived, double packetsReceived, bool fresh = true)
{
    TickSnapshot s;
    s.ratesFresh = fresh;
    s.rates[kTcpReceived] = tcpReceived;
    s.rates[kTcpBytes] = tcpReceived;
    s.rates[kUdpReceived] = udpReceived;
    s.rates[kUdpBytes] = udpReceived;
    s.rates[kPacketsReceived] = packetsReceived;
    s.rates[kPackets] = packetsReceived;
    return s;
}

TEST(DashboardPage, CurveGridOfA400PixelWindowUses145PixelCells)
{
    TickFeed feed;
    DashboardPage window(feed);
    window.setMode(DashboardPage::Curves);
    window.resize(400, 320);
    const QImage image = renderOf(window);
    keepShot(image, "dashboard_curves_400");
    EXPECT_TRUE(near(image.pixelColor(2, 100), skinBackground()));
    for (int i = 0; i < kDashboardRates; ++i) {
        const CellRect cell = curveCell(i, 400, 320);
        ASSERT_EQ(cell.width, 145);
        ASSERT_EQ(window.cellRect(i), QRect(cell.x, cell.y, cell.width, cell.height));
        // The frame line on the cell's left edge, the chart background inside, the window
        // background just outside; the last column runs past the window's edge.
        if (cell.x < 400) {
            const int y = cell.y + cell.height - 5;  // under the lowest band's label
            EXPECT_TRUE(near(image.pixelColor(cell.x, y), QColor(31, 177, 107), 30)) << i;
            EXPECT_TRUE(near(image.pixelColor(cell.x + 60, y), QColor(15, 90, 54), 10)) << i;
            EXPECT_TRUE(near(image.pixelColor(cell.x - 2, y), skinBackground())) << i;
        }
    }
}

TEST(DashboardPage, EveryTicksFreshRatesReachTheCharts)
{
    TickFeed feed;
    DashboardPage window(feed);
    emit feed.published(tick(0, 0, 0, false));  // the first tick has no rates yet
    emit feed.published(tick(0, 0, 0));
    emit feed.published(tick(10000, 500, 42));
    const ChartRing& ring = window.chart(kTcpReceived).ring();
    ASSERT_EQ(ring.writeIndex(), 2);
    EXPECT_EQ(ring.at(1), 10000);
    EXPECT_EQ(window.rate(kUdpReceived), 500);
    EXPECT_EQ(window.chart(kPacketsReceived).ring().at(1), 42);
    EXPECT_EQ(window.chart(kPackets).ring().at(1), 42);
}

// Whether the arc's band is painted blue at the given angle (0 left, 90 up, 180 right) of
// the dial in cell.
bool arcAt(const QImage& image, const QRect& cell, double degrees)
{
    const double theta = degrees * std::numbers::pi / 180;
    const QPointF centre(cell.x() + cell.width() / 2.0, cell.y() + cell.height() - 2);
    const QPoint p = (centre + QPointF(-34 * std::cos(theta), -34 * std::sin(theta))).toPoint();
    const QColor c = image.pixelColor(p);
    return c.blue() > 110 && c.red() < 90 && c.green() < 90;
}

TEST(DashboardPage, GaugeModeSweepsEachDialOverTheFourBandScale)
{
    TickFeed feed;
    DashboardPage window(feed);
    ASSERT_EQ(window.mode(), DashboardPage::Gauges);
    ASSERT_GT(window.gauge(0).width(), 0) << "the dial images of the data folder";
    window.resize(480, 400);
    emit feed.published(tick(512000, 0, 5120));  // TCP received at the top of band 2: half the dial
    const QImage image = renderOf(window);
    keepShot(image, "dashboard_gauges");

    const QRect tcpIn = window.cellRect(kTcpReceived);
    EXPECT_EQ(tcpIn, QRect(2 * (15 + window.gauge(0).width()), 0, window.gauge(0).width(), window.gauge(0).height()));
    EXPECT_TRUE(arcAt(image, tcpIn, 20));
    EXPECT_TRUE(arcAt(image, tcpIn, 80));
    EXPECT_FALSE(arcAt(image, tcpIn, 110));
    EXPECT_FALSE(arcAt(image, tcpIn, 160));
    // The sum (TCP both ways) sweeps the same; a silent rate draws no arc.
    EXPECT_TRUE(arcAt(image, window.cellRect(kTcpBytes), 80));
    EXPECT_FALSE(arcAt(image, window.cellRect(kUdpReceived), 20));
    // Packets at the top threshold fill the whole dial.
    EXPECT_TRUE(arcAt(image, window.cellRect(kPacketsReceived), 170));
    // Each dial's title sits under it in light text.
    const QRect title(tcpIn.x(), tcpIn.bottom() + 1, tcpIn.width(), 30);
    EXPECT_GT(countColour(image, title, QColor(250, 250, 250), 60), 10);
}

} // namespace
} // namespace orvane
