#include "monitor/summary/SummaryGraphPane.h"

#include "PixelProbe.h"

#include "core/tick/TickSnapshot.h"
#include "views/TickFeed.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace orvane {
namespace {

const QColor kWindow(31, 26, 23), kChart(39, 54, 49);

void publish(TickFeed& feed, const MachineFigures& figures)
{
    TickSnapshot s;
    s.machine = figures;
    emit feed.published(s);
}

int countNear(const QImage& image, const QRect& box, auto&& test)
{
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            n += test(image.pixelColor(x, y));
    return n;
}

TEST(SummaryGraphPane, ThreePanelsShareTheWidth)
{
    TickFeed feed;
    SummaryGraphPane window(feed);
    window.resize(600, 120);
    EXPECT_EQ(window.panelRect(0), QRect(0, 2, 195, 116));
    EXPECT_EQ(window.panelRect(1), QRect(200, 2, 195, 116));
    EXPECT_EQ(window.panelRect(2), QRect(400, 2, 195, 116));
    const QImage image = renderOf(window);
    keepShot(image, "summary_graphs_600");
    EXPECT_EQ(image.pixelColor(197, 60), kWindow);  // the gap between two panels
    EXPECT_EQ(image.pixelColor(598, 60), kWindow);
    EXPECT_EQ(image.pixelColor(300, 1), kWindow);
}

TEST(SummaryGraphPane, NarrowWindowKeeps120PixelPanelsAndCropsTheLast)
{
    TickFeed feed;
    SummaryGraphPane window(feed);
    window.resize(300, 100);
    EXPECT_EQ(window.panelRect(0).width(), 120);
    EXPECT_EQ(window.panelRect(2), QRect(250, 2, 120, 96));  // ends beyond the edge
    MachineFigures figures;
    figures.diskRead = 1500;
    publish(feed, figures);
    const QImage image = renderOf(window);
    // The disk panel's read caption and yellow speed are drawn (120 > 100).
    const QRect disk = window.panelRect(1);
    const int band = disk.height() / 4;
    const QRect readRow(disk.x() + 120 - 80, disk.y() + band, 80, 16);
    EXPECT_GT(countNear(image, readRow, [](QColor c) { return c.red() > 150 && c.green() > 140 && c.blue() < 90; }), 3);
    EXPECT_GT(countNear(image, readRow, [](QColor c) { return c.red() > 120 && std::abs(c.red() - c.blue()) < 40 && c.blue() > 110; }), 3);
}

TEST(SummaryGraphPane, EachTickPushesCpuMemoryDiskAndNetworkFigures)
{
    TickFeed feed;
    SummaryGraphPane window(feed);
    window.resize(600, 120);
    MachineFigures figures;
    publish(feed, figures);
    figures.cpuPercent = 45;
    figures.memoryPercent = 25;
    figures.diskWrite = 50;
    figures.upload = 2000000;
    figures.download = 700;
    publish(feed, figures);
    const SeriesChart& chart = window.chart();
    ASSERT_EQ(chart.seriesCount(), 6);
    const double expected[6] = {45, 25, 0, 50, 2000000, 700};
    for (int s = 0; s < 6; ++s) {
        ASSERT_EQ(chart.ring(s).writeIndex(), 2) << s;
        EXPECT_EQ(chart.ring(s).at(1), expected[s]) << s;
    }
    const QImage image = renderOf(window);
    keepShot(image, "summary_graphs_values");
    // Upload over 1e6 in pale blue in the network panel's first row.
    const QRect net = window.panelRect(2);
    const QRect upRow(net.x() + net.width() - 80, net.y() + net.height() / 4, 80, 16);
    EXPECT_GT(countNear(image, upRow, [](QColor c) { return c.blue() > 200 && c.red() > 140 && c.red() < 200; }), 3);
}

TEST(SummaryGraphPane, HoverPicksThePanelAndDoubleClickAsksForCurves)
{
    TickFeed feed;
    SummaryGraphPane window(feed);
    window.resize(600, 120);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseMove(&window, QPoint(250, 50));
    EXPECT_EQ(window.hoveredPanel(), 1);
    QTest::mouseMove(&window, QPoint(197, 50));
    EXPECT_EQ(window.hoveredPanel(), -1);
    EXPECT_TRUE(window.panelTip(0).startsWith(QStringLiteral("CPU和内存（物理内存")));
    QSignalSpy curves(&window, &SummaryGraphPane::curvesRequested);
    QTest::mouseDClick(&window, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(curves.count(), 1);
}

} // namespace
} // namespace orvane
