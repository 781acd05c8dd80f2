#include "shell/core/RefreshCycle.h"
#include "shell/core/TrafficModel.h"

#include "support/TestEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace orvane;

namespace {

// Records every step the cycle drives.
class RecordingTargets : public RefreshTargets {
public:
    std::vector<std::string> steps;
    ListShape shape{0, 20, true};
    int lastCount = -1;
    std::uint32_t lastElapsed = 0;
    TrafficTotals lastTotals;

    void refreshRanking(bool onShow) override { steps.push_back(onShow ? "ranking+" : "ranking"); }
    void takeTotals(const TrafficTotals& totals, std::uint32_t elapsedMs) override
    {
        lastTotals = totals;
        lastElapsed = elapsedMs;
        steps.push_back("totals");
    }
    void repaintStatus() override { steps.push_back("status"); }
    void repaintGauge() override { steps.push_back("gauge"); }
    void feedDetailPanel(std::uint32_t) override { steps.push_back("detail-feed"); }
    void repaintDetailPanel() override { steps.push_back("detail-paint"); }
    ListShape listShape(int) override { return shape; }
    void listRefreshed(int kind, int count) override
    {
        lastCount = count;
        steps.push_back("list-full-" + std::to_string(kind));
    }
    void repaintListRows(int kind) override { steps.push_back("list-rows-" + std::to_string(kind)); }
    void refreshSummaryWindow() override { steps.push_back("summary"); }
    void sampleSummaryGraphs(bool repaint) override { steps.push_back(repaint ? "graphs+" : "graphs"); }
    void refreshFloatingWindow() override { steps.push_back("floating"); }
};

class RefreshCycleTest : public ::testing::Test {
protected:
    TestEngine test;
    TrafficModel model{test.engine()};
    RecordingTargets targets;
    RefreshCycle cycle{test.engine(), model, targets};
};

using Steps = std::vector<std::string>;

} // namespace

TEST_F(RefreshCycleTest, StepsRunInOrderAndTheListOnlyOnEvenTicks)
{
    ViewState view;
    view.sidePanelOpen = true;
    cycle.tick(1000, view);
    EXPECT_EQ(targets.steps, (Steps{"ranking", "totals", "status", "detail-feed", "detail-paint", "summary", "graphs+",
                                    "floating"}));
    targets.steps.clear();
    cycle.tick(2010, view);
    EXPECT_EQ(targets.steps, (Steps{"ranking", "totals", "status", "detail-feed", "detail-paint", "list-full-0",
                                    "summary", "graphs+", "floating"}));
    EXPECT_EQ(targets.lastElapsed, 1010u);
    EXPECT_EQ(cycle.ticks(), 2u);
}

TEST_F(RefreshCycleTest, HiddenWindowSkipsPaintingAndListRefresh)
{
    ViewState view;
    view.current = PageKind::Gauge;
    view.shown = false;
    cycle.tick(1000, view);
    cycle.tick(2000, view);
    for (const std::string& step : targets.steps) {
        EXPECT_NE(step, "status");
        EXPECT_NE(step, "gauge");
        EXPECT_EQ(step.rfind("list", 0), std::string::npos);
    }
    view.shown = true;
    targets.steps.clear();
    cycle.tick(3000, view);
    EXPECT_EQ(targets.steps, (Steps{"ranking", "totals", "status", "gauge", "summary", "graphs+", "floating"}));
}

TEST_F(RefreshCycleTest, LongListsKeepTheirOrderAndOnlyRepaintRows)
{
    for (uint32_t i = 1; i <= 30; ++i)
        test.count("tcp", 0x0A000000 + i, 10, 1);
    ViewState view;
    cycle.tick(1000, view);
    cycle.tick(2000, view);
    EXPECT_EQ(targets.lastCount, 30);  // short so far: full refresh
    targets.shape.itemCount = 30;      // more rows than fit on a page now
    targets.steps.clear();
    cycle.tick(3000, view);
    cycle.tick(4000, view);
    EXPECT_NE(std::find(targets.steps.begin(), targets.steps.end(), "list-rows-0"), targets.steps.end());

    // The chat list always gets a full refresh; with auto refresh off nothing is refreshed.
    view.current = PageKind::ChatList;
    targets.steps.clear();
    cycle.tick(5000, view);
    cycle.tick(6000, view);
    EXPECT_NE(std::find(targets.steps.begin(), targets.steps.end(), "list-full-2"), targets.steps.end());
    view.autoRefresh = false;
    targets.steps.clear();
    cycle.tick(7000, view);
    cycle.tick(8000, view);
    EXPECT_EQ(std::count_if(targets.steps.begin(), targets.steps.end(),
                            [](const std::string& s) { return s.rfind("list", 0) == 0; }),
              0);
}

TEST_F(RefreshCycleTest, StatusTotalsAreTheEnginesTotals)
{
    test.count("tcp", 0x0A000001, 1500, 1);
    test.count("udp", 0x0A000002, 70, 0);
    cycle.tick(1000, ViewState{});
    EXPECT_EQ(targets.lastTotals.sentBytes[0], 1500);
    EXPECT_EQ(targets.lastTotals.recvBytes[1], 70);
    EXPECT_EQ(targets.lastTotals.addresses[0], 1u);
}
