// One keystroke in the find field over a TCP list of 100 000 addresses: the filter over the
// list, the list's new rows and their repaint, on the real main view (offscreen platform).
// The first keystroke also reads every host's searched text once; it is measured apart.
#include "TestEngine.h"

#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"
#include "core/TrafficModel.h"
#include "shell/MainView.h"
#include "views/lists/FindField.h"
#include "views/lists/TrafficListPage.h"

#include <QApplication>
#include <QLineEdit>

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kAddresses = 100000;

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

struct ShownView {
    std::unique_ptr<TestEngine> test = filledEngine(kAddresses);
    orvane::TrafficModel model{test->engine()};
    orvane::MainView view{test->engine(), model};
    QLineEdit* edit = view.findField()->edit();

    ShownView()
    {
        view.resize(952, 672);
        view.show();
        view.reshowCurrentPage(false);
        QApplication::processEvents();
    }
    void type(const QString& text)
    {
        edit->setText(text);
        QApplication::processEvents();
    }
};

// Typing "10.1.2" and taking it back again, one character a keystroke: widening as well as
// narrowing steps, each over the whole list read.
void BM_FindKeystroke(benchmark::State& state)
{
    ShownView shown;
    shown.type(QStringLiteral("1"));  // every host's text read once
    const QString word = QStringLiteral("10.1.2");
    std::vector<QString> steps;
    for (int i = 1; i <= word.size(); ++i)
        steps.push_back(word.left(i));
    for (int i = word.size() - 1; i >= 1; --i)
        steps.push_back(word.left(i));
    std::size_t next = 0;
    for (auto _ : state) {
        shown.type(steps[next]);
        next = (next + 1) % steps.size();
    }
    state.counters["addresses"] = double(shown.view.trafficList(kTrafficTcp)->unfilteredCount());
}
BENCHMARK(BM_FindKeystroke)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A query that matches nothing: every text searched to its end.
void BM_FindKeystrokeNoMatch(benchmark::State& state)
{
    ShownView shown;
    shown.type(QStringLiteral("x"));
    bool flip = false;
    for (auto _ : state) {
        shown.type(flip ? QStringLiteral("zzq") : QStringLiteral("zzqx"));
        flip = !flip;
    }
}
BENCHMARK(BM_FindKeystrokeNoMatch)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The first keystroke after the list was read: the searched texts are made for every host.
void BM_FindFirstKeystroke(benchmark::State& state)
{
    ShownView shown;
    for (auto _ : state) {
        state.PauseTiming();
        shown.type(QString());
        shown.view.trafficList(kTrafficTcp)->refresh();
        state.ResumeTiming();
        shown.type(QStringLiteral("1"));
        state.PauseTiming();
        shown.view.trafficList(kTrafficTcp)->setFilterText(QString());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FindFirstKeystroke)->Unit(benchmark::kMillisecond)->Iterations(5);

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
