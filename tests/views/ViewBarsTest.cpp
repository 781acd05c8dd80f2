// The strips of the main view: status bar and title bar on each tick, the tab strip's
// current tab, the About box's lines.
#include "PixelProbe.h"

#include "core/tick/TickSnapshot.h"
#include "views/AboutDialog.h"
#include "views/StatusBar.h"
#include "views/TabStrip.h"
#include "views/TickFeed.h"
#include "views/TitleBar.h"

#include <gtest/gtest.h>

using namespace orvane;

TEST(ViewBars, StatusAndTitleBarTakeEveryTickAndTheTitleLinksComeBackOnlyOnShow)
{
    TickFeed feed;
    StatusBar status(feed);
    TitleBar title(feed);
    status.resize(600, 48);
    TickSnapshot tick;
    tick.view.shown = false;  // in the tray: the totals are kept all the same
    tick.totals.sentBytes[kTrafficTcp] = 1500;
    tick.totals.sentBytes[kTrafficUdp] = 1000;
    tick.totals.addresses[kTrafficUdp] = 7;
    title.setLinksEnabled(false);
    emit feed.published(tick);
    EXPECT_EQ(status.sentBytes(), 2500);
    EXPECT_FALSE(title.linksEnabled());
    status.grab();
    EXPECT_EQ(status.paintedValue(0, 0), "2.441K");
    EXPECT_EQ(status.paintedValue(1, 2), "7");

    tick.view.shown = true;
    emit feed.published(tick);
    EXPECT_TRUE(title.linksEnabled());
}

TEST(ViewBars, NoTabIsCurrentWhileThePageWithoutOneIsOnShow)
{
    TabStrip tabs;
    tabs.resize(400, 24);
    const QColor currentMiddle(0, 158, 15);
    auto highlighted = [&tabs] {
        const QImage image = renderOf(tabs);
        int count = 0;
        for (int i = 0; i < TabStrip::kCount; ++i)
            count += boxHasColour(image, tabs.tabRect(i).adjusted(2, 2, -2, -2), QColor(0, 158, 15), 12);
        return count;
    };
    EXPECT_EQ(tabs.current(), 0);
    EXPECT_EQ(highlighted(), 1);
    tabs.showPage(Page::Dashboard);
    EXPECT_EQ(tabs.current(), -1);
    EXPECT_EQ(highlighted(), 0);
    tabs.showPage(Page::Connections);
    EXPECT_EQ(tabs.current(), 4);
    EXPECT_TRUE(boxHasColour(renderOf(tabs), tabs.tabRect(4).adjusted(2, 2, -2, -2), currentMiddle, 12));
}

TEST(ViewBars, TheAboutBoxNamesTheEventSourceInUse)
{
    EXPECT_TRUE(AboutDialog::linesFor("ebpf").contains(QStringLiteral("事件来源：eBPF\n")));
    EXPECT_TRUE(AboutDialog::linesFor("pcap: no CAP_BPF").contains(QStringLiteral("事件来源：libpcap（no CAP_BPF）")));
    EXPECT_TRUE(AboutDialog::linesFor("none: not started").contains(QStringLiteral("事件来源：无（not started）")));
    EXPECT_FALSE(AboutDialog::linesFor("ebpf").contains(QStringLiteral("libpcap")));
}
