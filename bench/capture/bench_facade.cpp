// The engine facade's once-a-second work and its reads with a large address table: sample()
// with 300 programs (owner tables of 2000 sockets reloaded on every second call), snapshot()
// and addresses() over 100 000 addresses.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "capengine/XEngine.h"
#include "capture/XDNSRecord.h"
#include "capture/XPacketCounter.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/XPCProcessInfo.h"

namespace {

constexpr int kAddresses = 100000;
constexpr uint32_t kPrograms = 300;
constexpr int kSockets = 2000;

// Process information over synthetic tables: 2000 sockets owned by 300 programs.
std::unique_ptr<XPCProcessInfo> syntheticProcesses()
{
    XPCProcessInfo::Hooks hooks;
    hooks.readTable = [](platform::SocketProtocol protocol, std::vector<platform::SocketRow>& rows) {
        rows.clear();
        const int n = protocol == platform::SocketProtocol::Tcp ? kSockets * 3 / 4 : kSockets / 4;
        for (int i = 0; i < n; ++i) {
            platform::SocketRow row;
            row.remoteAddr = 0x0100000A + uint32_t(i << 8);
            row.localPort = uint16_t(1024 + i);
            row.pid = 1000 + uint32_t(i) % kPrograms;
            rows.push_back(row);
        }
        return true;
    };
    hooks.imagePath = [](uint32_t pid) { return "/usr/lib/programs/program-" + std::to_string(pid); };
    hooks.shortName = [](uint32_t pid) { return "program-" + std::to_string(pid); };
    return std::make_unique<XPCProcessInfo>(hooks, nullptr);
}

struct Fixture {
    Fixture()
    {
        auto* tcp = new XPacketCounter(0, 0);
        tcp->init(processes.get(), nullptr);
        for (int i = 0; i < kAddresses; ++i)
            tcp->count(0x0B000000 + uint32_t(i) * 7, 0xBB01, 0, 1040, i & 1, 1000 + uint32_t(i) % kPrograms);
        registry.addResult("tcp", tcp);
        for (int i = 0; i < 5000; ++i)
            dns.addRecord(0x0B000000 + uint32_t(i) * 7, "host.example.org", 16);
        XEngine::Components components;
        components.results = &registry;
        components.dns = &dns;
        components.processInfo = processes.get();
        components.processName = [](uint32_t pid) { return "program-" + std::to_string(pid); };
        components.processPath = [](uint32_t pid) { return "/usr/lib/programs/program-" + std::to_string(pid); };
        engine = std::make_unique<XEngine>(components);
    }

    std::unique_ptr<XPCProcessInfo> processes = syntheticProcesses();
    XParserResultMgr registry;
    XDNSRecord dns{""};
    std::unique_ptr<XEngine> engine;
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// Every program sends within the second (the drains keep at most 50 of them).
void feed(XPCProcessInfo& info)
{
    ORVANEPRO_NetIo io{};
    io.protocol = kNetIoUdp;
    io.direction = kNetIoSend;
    io.bytesSent = 1000;
    io.remoteAddr = 0x0100000A;
    for (uint32_t p = 0; p < kPrograms; ++p) {
        io.processId = 1000 + p;
        info.addNetData(io);
    }
}

// One call reloads the owner tables, the next does not: the pair is two seconds of work.
void BM_SamplePair(benchmark::State& state)
{
    Fixture& f = fixture();
    uint32_t now = 0;
    for (auto _ : state) {
        state.PauseTiming();
        feed(*f.processes);
        state.ResumeTiming();
        f.engine->sample(now += 1000);
        state.PauseTiming();
        feed(*f.processes);
        state.ResumeTiming();
        f.engine->sample(now += 1000);
    }
}
BENCHMARK(BM_SamplePair)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_Snapshot100k(benchmark::State& state)
{
    Fixture& f = fixture();
    std::vector<XTrafficRow> rows;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.engine->snapshot(kTrafficTcp, rows));
}
BENCHMARK(BM_Snapshot100k)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

void BM_Addresses100k(benchmark::State& state)
{
    Fixture& f = fixture();
    std::vector<XAddressStamp> stamps;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.engine->addresses(kTrafficTcp, stamps));
}
BENCHMARK(BM_Addresses100k)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace
