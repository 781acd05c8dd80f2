// The monitor views, the floating strip and the advert window wired into the program.
#include "ShellFixture.h"

#include "hostinfo/NetIoRecord.h"
#include "hostinfo/XPCProcessInfo.h"

#include "monitor/dashboard/DashboardPage.h"
#include "monitor/summary/BusiestProgramPane.h"
#include "monitor/summary/SummaryGraphPane.h"
#include "shell/MainFrame.h"
#include "shell/MainView.h"
#include "shell/ProgramMenu.h"
#include "shell/advert/AdvertPane.h"
#include "views/TabStrip.h"
#include "views/TitleBar.h"
#include "views/floating/FloatWindow.h"
#include "views/lists/TrafficListPage.h"

#include <QAction>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

using orvane::MainFrame;
using orvane::TitleBar;

namespace {

class SystemViewsWiring : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        installShippedSkin();
        writeDataFile("user.ini", "memu_float_staus=1\nmenu_updatelist_status=1\n");
    }
    MainFrame* frame() const { return app->frame(); }
    orvane::MainView* view() const { return frame()->view(); }
    orvane::FloatWindow* strip() const { return frame()->floatingWindow(); }
    void clickClose()
    {
        TitleBar* bar = view()->titleBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->buttonRect(TitleBar::CloseButton).center());
    }
};

} // namespace

TEST_F(SystemViewsWiring, StripIsShownExactlyWhileTheWindowIsAwayAndTheSwitchIsOn)
{
    ASSERT_TRUE(start());
    QAction* floating = frame()->menu()->floating();
    ASSERT_TRUE(floating->isChecked());
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_FALSE(strip()->isVisible());

    clickClose();
    EXPECT_FALSE(frame()->isVisible());
    EXPECT_TRUE(strip()->isVisible());
    EXPECT_FALSE(view()->advert()->animationEnabled());  // the banner pauses with the window

    floating->trigger();  // switched off while away
    EXPECT_FALSE(strip()->isVisible());
    floating->trigger();
    EXPECT_TRUE(strip()->isVisible());

    // A double click on the strip brings the window back and takes the strip away.
    QTest::mouseDClick(strip(), Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_TRUE(frame()->isVisible());
    EXPECT_FALSE(strip()->isVisible());
    EXPECT_TRUE(view()->advert()->animationEnabled());

    floating->trigger();  // off while the window is on show: stays hidden after the next close
    clickClose();
    EXPECT_FALSE(strip()->isVisible());
}

TEST_F(SystemViewsWiring, StripRightClickOffersTheProgramMenu)
{
    ASSERT_TRUE(start());
    clickClose();
    QSignalSpy asked(strip(), &orvane::FloatWindow::menuRequested);
    QTest::mouseClick(strip(), Qt::RightButton, {}, QPoint(100, 10));
    EXPECT_EQ(asked.count(), 1);
}

TEST_F(SystemViewsWiring, StripAndPanelShowTheSameTicksBusiestProgram)
{
    ASSERT_TRUE(start());
    test.programs[555] = "/usr/bin/curl";
    const auto sent = [this](std::uint32_t bytes) {
        ORVANEPRO_NetIo io{};
        io.processId = 555;
        io.protocol = kNetIoTcp;
        io.remoteAddr = 0x0100000A;
        io.direction = kNetIoSend;
        io.bytesSent = bytes;
        test.processes().addNetData(io);
    };
    sent(100);
    view()->refreshTick();  // curl's first figure only arms its speed
    test.now += 1000;
    sent(2048);
    view()->refreshTick();
    EXPECT_EQ(view()->busiestProgramPane()->geometry().size(), QSize(360, 96));  // sw_tabwnd x sh_advertwnd
    const QImage panel = view()->busiestProgramPane()->grab().toImage();
    const auto boxes = view()->busiestProgramPane()->lineBoxes(1);
    int yellow = 0;
    for (int x = boxes.speed.left(); x <= boxes.speed.right(); ++x)
        for (int y = boxes.speed.top(); y <= boxes.speed.bottom(); ++y) {
            const QColor c = panel.pixelColor(x, y);
            yellow += c.red() > 120 && c.green() > 110 && c.blue() < 70;
        }
    EXPECT_GT(yellow, 5);  // 2.0K B/S
    EXPECT_EQ(view()->busiestProgramPane()->busiest(1), (orvane::BusiestProgram{2048, "curl"}));
    EXPECT_EQ(strip()->figures().busiestNet, view()->busiestProgramPane()->busiest(1));
}

TEST_F(SystemViewsWiring, HelpLinkWithoutAServiceSaysHelpIsUnavailable)
{
    ASSERT_TRUE(start());
    TitleBar* bar = view()->titleBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->helpRect().center());
    auto* notice = frame()->findChild<QMessageBox*>(QStringLiteral("onlineHelpNotice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->text(), QStringLiteral("无法获取在线帮助，请稍后再试。"));
    notice->close();
    EXPECT_FALSE(view()->advert()->recordOk());
    EXPECT_FALSE(QFile::exists(dataDir() + "preal.dat"));
}

TEST_F(SystemViewsWiring, DoubleClickOnTheSummaryGraphsShowsTheDashboardsCurves)
{
    ASSERT_TRUE(start());
    orvane::SummaryGraphPane* graphs = view()->summaryGraphs();
    orvane::DashboardPage* dashboard = view()->dashboard();
    ASSERT_EQ(dashboard->mode(), orvane::DashboardPage::Gauges);
    QTest::mouseDClick(graphs, Qt::LeftButton, {}, graphs->panelRect(1).center());
    EXPECT_EQ(view()->currentPage(), dashboard);
    EXPECT_TRUE(dashboard->isVisible());
    EXPECT_FALSE(view()->trafficList(kTrafficTcp)->isVisible());
    EXPECT_EQ(dashboard->mode(), orvane::DashboardPage::Curves);
    EXPECT_EQ(view()->tabStrip()->current(), -1);  // the dashboard has no tab
    // The page is as wide as the list area; the grid's first cell shows a chart.
    EXPECT_EQ(dashboard->geometry(), view()->trafficList(kTrafficTcp)->geometry());
    const QImage page = dashboard->grab().toImage();
    const QRect cell = dashboard->cellRect(0);
    EXPECT_EQ(page.pixelColor(cell.x() + 60, cell.bottom() - 5), QColor(15, 90, 54));
}

TEST_F(SystemViewsWiring, EveryTicksTotalsReachTheDashboardTheStripAndTheGraphs)
{
    ASSERT_TRUE(start());
    view()->refreshTick();  // the dashboard's first update marks the start
    test.now += 1000;
    test.count(kTrafficTcp, 0x0A000001u, 4000, 0);
    test.count(kTrafficTcp, 0x0A000001u, 1000, 1);
    test.count(kTrafficUdp, 0x0A000002u, 600, 0);
    view()->refreshTick();
    // Rates that start show half their value for one tick.
    EXPECT_EQ(strip()->figures().download, 2300u);
    EXPECT_EQ(strip()->figures().upload, 500u);
    EXPECT_EQ(view()->dashboard()->rate(orvane::kPacketsReceived), 1.0);
    const orvane::ChartRing& download = view()->summaryGraphs()->chart().ring(5);
    ASSERT_GT(download.writeIndex(), 0);
    EXPECT_EQ(download.at(download.writeIndex() - 1), 2300.0);
}
