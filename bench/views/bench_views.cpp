// The traffic views against a large engine: painting a full page of the TCP list (and one
// scroll step, and the refresh cycle's visible-row refresh) with 100 000 addresses, the
// ranking over 100 000 addresses, and the connections page rebuilt from 2000 sockets.
// Painting goes to an offscreen image, as the window's backing store would get it.
#include "TestEngine.h"

#include "config/BuiltinTexts.h"
#include "config/ConfigStore.h"
#include "core/TrafficModel.h"
#include "core/ranking/Ranking.h"
#include "monitor/connections/ConnectionsPage.h"
#include "views/TickFeed.h"
#include "views/lists/TrafficListModel.h"
#include "views/lists/TrafficListPage.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <memory>

using namespace orvane;

namespace {

constexpr int kAddresses = 100000;
constexpr int kSockets = 2000;
constexpr int kPageRows = 40;

// 100 000 remote addresses with traffic both ways, a quarter of them named by DNS answers
// and owned by one of 300 programs.
TestEngine& bigEngine()
{
    static TestEngine* test = [] {
        auto* t = new TestEngine;
        for (std::uint32_t pid = 1000; pid < 1300; ++pid)
            t->programs[pid] = "/usr/lib/programs/program-" + std::to_string(pid);
        for (int i = 0; i < kAddresses; ++i) {
            const std::uint32_t address = 0x01000000u + std::uint32_t(i) * 97u;
            t->now += 1;
            t->count(kTrafficTcp, address, 1000 + i % 5000, 1, std::uint16_t(443 + i % 3), 1000 + std::uint32_t(i) % 300);
            t->count(kTrafficTcp, address, 40000 + i, 0, std::uint16_t(443 + i % 3), 1000 + std::uint32_t(i) % 300);
            if (i % 4 == 0) {
                const std::string name = "host-" + std::to_string(i) + ".example.net";
                t->dns().addRecord(address, name.c_str(), int(name.size()));
            }
        }
        for (int i = 0; i < kSockets; ++i) {
            XSocketRow s;
            s.tcp = i % 4 != 0;
            s.localAddr = 0x0A000001;
            s.localPort = std::uint16_t(20000 + i);
            s.remoteAddr = s.tcp ? 0x01000000u + std::uint32_t(i) * 97u : 0;
            s.remotePort = s.tcp ? 443 : 0;
            s.state = s.tcp ? 5 : 0;
            s.pid = 1000 + std::uint32_t(i) % 300;
            s.program = "program-" + std::to_string(s.pid);
            s.firstSeenMs = 1765000000000ULL - std::uint64_t(i) * 1000;
            t->sockets.push_back(s);
        }
        return t;
    }();
    return *test;
}

struct TcpList {
    TcpList()
        : model(bigEngine().engine()),
          list(new TrafficListPage(ticks, new TrafficListModel(kTrafficTcp, model, [] { return bigEngine().now; },
                                                               CellSources::fromProgram())))
    {
        list->resize(1000, 20 + kPageRows * SkinTableView::kRowHeight);
        list->show();
        QApplication::processEvents();
        list->refresh();
        QApplication::processEvents();
        image = QImage(list->size(), QImage::Format_RGB32);
    }
    void paint()
    {
        list->render(&image);
    }
    TrafficModel model;
    TickFeed ticks;
    std::unique_ptr<TrafficListPage> list;
    QImage image;
};

TcpList& tcpList()
{
    static TcpList* list = new TcpList;
    return *list;
}

void BM_TcpListFullPagePaint(benchmark::State& state)
{
    TcpList& l = tcpList();
    for (auto _ : state)
        l.paint();
    state.counters["rows"] = double(l.list->listModel()->rowCount());
}
BENCHMARK(BM_TcpListFullPagePaint)->Unit(benchmark::kMillisecond);

// One step of the scroll bar and the paint of the page it shows: the rows coming on show are
// read one by one, the cache is not reloaded.
void BM_TcpListScrollStep(benchmark::State& state)
{
    TcpList& l = tcpList();
    QScrollBar* bar = l.list->verticalScrollBar();
    int step = 0;
    for (auto _ : state) {
        bar->setValue(1000 + (step++ % 2000) * 3);
        l.paint();
    }
}
BENCHMARK(BM_TcpListScrollStep)->Unit(benchmark::kMillisecond);

// The refresh cycle's work for a long list every two seconds: the visible rows fetched
// afresh, then painted.
void BM_TcpListVisibleRefreshAndPaint(benchmark::State& state)
{
    TcpList& l = tcpList();
    for (auto _ : state) {
        l.list->repaintRows();
        l.paint();
    }
}
BENCHMARK(BM_TcpListVisibleRefreshAndPaint)->Unit(benchmark::kMillisecond);

// A full refresh: the 100 000 addresses re-read and re-sorted, the page loaded.
void BM_TcpListFullRefresh(benchmark::State& state)
{
    TcpList& l = tcpList();
    for (auto _ : state)
        l.list->refresh();
}
BENCHMARK(BM_TcpListFullRefresh)->Unit(benchmark::kMillisecond);

void BM_Ranking100k(benchmark::State& state)
{
    TestEngine& test = bigEngine();
    Ranking ranking(CellSources::fromProgram());
    int category = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ranking.compute(category++ % 6, test.engine()));
}
BENCHMARK(BM_Ranking100k)->Unit(benchmark::kMillisecond);

void BM_Connections2000Rebuild(benchmark::State& state)
{
    TestEngine& test = bigEngine();
    ConnectionsPage page(test.engine(), CellSources::fromProgram());
    page.resize(1000, 600);
    for (auto _ : state)
        page.refresh();
    state.counters["rows"] = double(page.connectionsModel()->rowCount());
}
BENCHMARK(BM_Connections2000Rebuild)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    lumivex::config::registerBuiltinTexts(lumivex::config::ConfigStore::instance());
    benchmark::Initialize(&argc, argv);
    bigEngine();
    tcpList();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
