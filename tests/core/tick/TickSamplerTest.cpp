#include "core/tick/TickSampler.h"

#include "core/TrafficModel.h"

#include "TestEngine.h"

#include "hostinfo/XPCProcessInfo.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

// A machine whose CPU is half busy between any two reads and whose memory is 40 % committed.
SystemSampler fixedMachine()
{
    auto times = std::make_shared<platform::CpuTimes>();
    return SystemSampler(
        [times](platform::CpuTimes& out) {
            times->idle += 50;
            times->user += 100;
            out = *times;
            return true;
        },
        [](platform::CommitCharge& out) {
            out = {40, 100};
            return true;
        });
}

class TickSamplerTest : public ::testing::Test {
protected:
    // A traffic list on show with room for rows rows per page.
    ViewState listOnShow(Page page, int rows = 20) const
    {
        ViewState view;
        view.current = page;
        view.list = {model.size(trafficKindOf(page)), rows, true};
        return view;
    }
    void sent(std::uint32_t pid, std::uint32_t bytes)
    {
        ORVANEPRO_NetIo io{};
        io.processId = pid;
        io.protocol = kNetIoUdp;
        io.remoteAddr = 0x0100000A;
        io.direction = kNetIoSend;
        io.bytesSent = bytes;
        test.processes().addNetData(io);
    }

    TestEngine test;
    TrafficModel model{test.engine()};
    TickSampler sampler{test.engine(), model, fixedMachine()};
};

} // namespace

TEST_F(TickSamplerTest, EveryTickMeasuresTheTotalsAndEverySecondOneRefreshesTheListOnShow)
{
    test.count(kTrafficTcp, 0x0A000001, 1500, 1);
    test.count(kTrafficUdp, 0x0A000002, 70, 0);
    const TickSnapshot first = sampler.sample(1000, listOnShow(Page::TcpList));
    EXPECT_EQ(first.tick, 1u);
    EXPECT_EQ(first.elapsedMs, 0u);
    EXPECT_EQ(first.totals.sentBytes[kTrafficTcp], 1500);
    EXPECT_EQ(first.totals.recvBytes[kTrafficUdp], 70);
    EXPECT_EQ(first.totals.addresses[kTrafficTcp], 1u);
    EXPECT_EQ(first.list.action, ListRefresh::Action::None);  // odd tick
    EXPECT_EQ(model.size(kTrafficTcp), 0);

    const TickSnapshot second = sampler.sample(2010, listOnShow(Page::TcpList));
    EXPECT_EQ(second.elapsedMs, 1010u);
    EXPECT_EQ(second.list.action, ListRefresh::Action::Full);
    EXPECT_EQ(second.list.kind, kTrafficTcp);
    EXPECT_EQ(second.list.count, 1);
    EXPECT_EQ(model.size(kTrafficTcp), 1);  // the list the page reads was re-read
    EXPECT_EQ(second.view.current, Page::TcpList);
}

TEST_F(TickSamplerTest, ShortAndChatListsAreReSortedLongOnesOnlyRepaintedHiddenOrManualOnesLeftAlone)
{
    for (std::uint32_t i = 1; i <= 30; ++i)
        test.count(kTrafficTcp, 0x0A000000 + i, 10, 1);
    sampler.sample(1000, listOnShow(Page::TcpList));
    EXPECT_EQ(sampler.sample(2000, listOnShow(Page::TcpList)).list.count, 30);  // shorter than a page so far

    // 30 rows now, more than fit: the order stays, the visible rows get fresh values.
    sampler.sample(3000, listOnShow(Page::TcpList));
    const TickSnapshot longList = sampler.sample(4000, listOnShow(Page::TcpList));
    EXPECT_EQ(longList.list.action, ListRefresh::Action::Rows);
    EXPECT_EQ(longList.list.kind, kTrafficTcp);

    // The chat list is always re-read.
    sampler.sample(5000, listOnShow(Page::ChatList, 1));
    const TickSnapshot chat = sampler.sample(6000, listOnShow(Page::ChatList, 1));
    EXPECT_EQ(chat.list.action, ListRefresh::Action::Full);
    EXPECT_EQ(chat.list.kind, kTrafficChat);

    // Automatic refresh off, the window in the tray, or no list on show: nothing is re-read.
    ViewState manual = listOnShow(Page::UdpList);
    manual.autoRefresh = false;
    ViewState hidden = listOnShow(Page::UdpList);
    hidden.shown = false;
    ViewState dashboard;
    dashboard.current = Page::Dashboard;
    for (const ViewState& view : {manual, hidden, dashboard}) {
        sampler.sample(7000, view);
        EXPECT_EQ(sampler.sample(8000, view).list.action, ListRefresh::Action::None);
    }
    EXPECT_EQ(model.size(kTrafficUdp), 0);
}

TEST_F(TickSamplerTest, OneTicksFiguresAgreeForEveryPane)
{
    test.programs[4321] = "/usr/bin/curl";
    sampler.sample(1000, ViewState{});  // the dashboard's first update only marks the start

    test.now += 1000;
    test.count(kTrafficTcp, 0x0A000001, 4000, 0);
    test.count(kTrafficTcp, 0x0A000001, 1000, 1);
    test.count(kTrafficUdp, 0x0A000002, 600, 0);
    sent(4321, 300);
    sampler.sample(2000, ViewState{});  // curl's first figure only arms its speeds
    sent(4321, 2000);
    const TickSnapshot s = sampler.sample(3000, ViewState{});

    EXPECT_TRUE(s.ratesFresh);
    // The dashboard's rates are the ones the strip and the graphs get as network speeds.
    EXPECT_EQ(s.machine.download, std::uint32_t(s.rates[kTcpReceived] + s.rates[kUdpReceived]));
    EXPECT_EQ(s.machine.upload, std::uint32_t(s.rates[kTcpSent] + s.rates[kUdpSent]));
    // The process monitor's programs and the busiest-program line come from the same pass.
    ASSERT_NE(s.programs, nullptr);
    ASSERT_EQ(s.programs->size(), 1u);
    const ProgramRecord& curl = s.programs->front();
    EXPECT_EQ(curl.name, "curl");
    EXPECT_EQ(curl.totals.up, 2300u);
    EXPECT_EQ(s.machine.busiestNet.name, "curl");
    EXPECT_EQ(s.machine.busiestNet.speed, curl.shown.up + curl.shown.down);
    EXPECT_GT(s.machine.busiestNet.speed, 0u);
    EXPECT_EQ(s.machine.cpuPercent, 50);  // 50 of 100 ticks idle
    EXPECT_EQ(s.machine.memoryPercent, 40);
}

TEST_F(TickSamplerTest, DiskSpeedsAreAskedForOnlyWhileAWindowOrTheFloatingStripShowsThem)
{
    ViewState inTray;
    inTray.shown = false;
    sampler.sample(1000, inTray);
    EXPECT_FALSE(test.engine().diskRatesNeeded());

    ViewState strip = inTray;
    strip.floatingShown = true;
    sampler.sample(2000, strip);
    EXPECT_TRUE(test.engine().diskRatesNeeded());

    sampler.sample(3000, inTray);
    EXPECT_FALSE(test.engine().diskRatesNeeded());
    sampler.sample(4000, ViewState{});  // the window back on screen
    EXPECT_TRUE(test.engine().diskRatesNeeded());
}
