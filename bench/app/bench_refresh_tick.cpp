// One refresh tick with 100 000 addresses in the "tcp" counter, including the full refresh
// (fetch and re-sort) of the TCP list: the Qt-free sampler alone, and the real main view
// (the sampler and every pane painting from its snapshot) on the offscreen platform.
#include "TestEngine.h"

#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"
#include "core/TrafficModel.h"
#include "core/tick/TickSampler.h"
#include "shell/MainView.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kAddresses = 100000;

// A test engine whose tcp counter holds n addresses with scattered last-activity stamps.
std::unique_ptr<TestEngine> filledEngine(uint32_t n)
{
    auto test = std::make_unique<TestEngine>();
    for (uint32_t i = 0; i < n; ++i) {
        test->now = 1000 + (i * 7919u) % 600000u;
        test->count(kTrafficTcp, 0x0A000000u + i * 13u, 1040, int(i & 1));
    }
    test->now = 700000;
    return test;
}

// Between ticks 2 000 addresses see traffic, so that every tick re-sorts a changed list.
void touch(TestEngine& test, uint32_t& next)
{
    test.now += 1000;
    for (int i = 0; i < 2000; ++i, next = (next + 7) % kAddresses)
        test.count(kTrafficTcp, 0x0A000000u + next * 13u, 100, 0);
}

void BM_SamplerTickWithFullListRefresh(benchmark::State& state)
{
    auto test = filledEngine(kAddresses);
    orvane::TrafficModel model(test->engine());
    orvane::TickSampler sampler(test->engine(), model);
    orvane::ViewState view;
    uint32_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        touch(*test, next);
        // A list taller than a page: the tick itself only repaints rows, as in the program.
        view.list = {model.size(kTrafficTcp), 30, true};
        state.ResumeTiming();
        benchmark::DoNotOptimize(sampler.sample(test->now, view));
        model.refreshList(kTrafficTcp, true);
    }
    state.counters["addresses"] = double(model.size(kTrafficTcp));
}
BENCHMARK(BM_SamplerTickWithFullListRefresh)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_MainViewTickWithFullListRefresh(benchmark::State& state)
{
    auto test = filledEngine(kAddresses);
    orvane::TrafficModel model(test->engine());
    orvane::MainView view(test->engine(), model);
    view.resize(952, 672);
    view.show();
    uint32_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        touch(*test, next);
        state.ResumeTiming();
        view.refreshTick();
        view.reshowCurrentPage(false);  // brings the TCP list on show: fetch and re-sort
        QApplication::processEvents();  // the repaints the tick asked for
    }
    state.counters["addresses"] = double(model.size(kTrafficTcp));
}
BENCHMARK(BM_MainViewTickWithFullListRefresh)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The parts of a full refresh: the engine's copy of the address list, and the model's whole
// refresh (copy plus the sort by age).
void BM_EngineAddresses(benchmark::State& state)
{
    auto test = filledEngine(kAddresses);
    std::vector<XAddressStamp> out;
    for (auto _ : state)
        benchmark::DoNotOptimize(test->engine().addresses(kTrafficTcp, out));
}
BENCHMARK(BM_EngineAddresses)->Unit(benchmark::kMillisecond);

void BM_ModelRefreshSorted(benchmark::State& state)
{
    auto test = filledEngine(kAddresses);
    orvane::TrafficModel model(test->engine());
    for (auto _ : state)
        benchmark::DoNotOptimize(model.refreshList(kTrafficTcp, true));
}
BENCHMARK(BM_ModelRefreshSorted)->Unit(benchmark::kMillisecond);

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
