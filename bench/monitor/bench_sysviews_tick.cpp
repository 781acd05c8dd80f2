// One tick of the main view's refresh cycle in the whole program frame, with every view
// alive: the traffic lists, the summary graphs and busiest-program panel, the dashboard, the
// floating strip (shown) and the advert window, over 100 000 addresses in the "tcp" counter.
// Each tick also paints what it asked to repaint.
#include "TestEngine.h"

#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"
#include "shell/MainFrame.h"
#include "shell/MainView.h"
#include "core/TrafficModel.h"
#include "views/floating/FloatWindow.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kAddresses = 100000;

std::unique_ptr<TestEngine> filledEngine(uint32_t n)
{
    auto test = std::make_unique<TestEngine>();
    for (uint32_t i = 0; i < n; ++i) {
        test->now = 1000 + (i * 7919u) % 600000u;
        test->count(kTrafficTcp, 0x0A000000u + i * 13u, 1040, int(i & 1));
        if (i % 50 == 0)
            test->count(kTrafficUdp, 0x0B000000u + i, 80, int(i & 1));
    }
    test->now = 700000;
    return test;
}

// Between ticks 2 000 addresses see traffic, so every rate and curve moves.
void touch(TestEngine& test, uint32_t& next)
{
    test.now += 1000;
    for (int i = 0; i < 2000; ++i, next = (next + 7) % kAddresses)
        test.count(kTrafficTcp, 0x0A000000u + next * 13u, 100, int(i & 1));
}

enum class Page { TcpList, DashboardCurves, DashboardGauges };

void tickWithPage(benchmark::State& state, Page page)
{
    auto test = filledEngine(kAddresses);
    orvane::TrafficModel model(test->engine());
    QTemporaryDir autostart;
    orvane::FrameOptions options;
    options.autostart = orvane::AutostartEntry(autostart.path(), QStringLiteral("orvane -h"));
    options.trayAvailable = [] { return false; };
    orvane::MainFrame frame(test->engine(), model, options);
    frame.resize(960, 680);
    frame.show();
    frame.floatingWindow()->setAllowed(true);
    frame.floatingWindow()->showIfAllowed();
    orvane::MainView* view = frame.view();
    if (page != Page::TcpList)
        view->showDashboard(page == Page::DashboardCurves ? 2 : 1);
    uint32_t next = 0;
    for (int warm = 0; warm < 3; ++warm) {
        touch(*test, next);
        view->refreshTick();
        QApplication::processEvents();
    }
    for (auto _ : state) {
        state.PauseTiming();
        touch(*test, next);
        state.ResumeTiming();
        view->refreshTick();
        QApplication::processEvents();  // the repaints the tick asked for
    }
    state.counters["addresses"] = double(model.size(kTrafficTcp));
}

void BM_TickTcpListOnShow(benchmark::State& state)
{
    tickWithPage(state, Page::TcpList);
}
BENCHMARK(BM_TickTcpListOnShow)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_TickDashboardCurvesOnShow(benchmark::State& state)
{
    tickWithPage(state, Page::DashboardCurves);
}
BENCHMARK(BM_TickDashboardCurvesOnShow)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_TickDashboardGaugesOnShow(benchmark::State& state)
{
    tickWithPage(state, Page::DashboardGauges);
}
BENCHMARK(BM_TickDashboardGaugesOnShow)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    lumivex::config::registerBuiltinTexts(lumivex::config::ConfigStore::instanceAt(LUMIVEX_DAT_DIR, ""));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
