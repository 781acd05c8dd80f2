// Counting into a per-address counter: known addresses, new addresses, memory per address.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <vector>

#include "capture/XPacketCounter.h"

namespace {

void BM_CountKnownAddress(benchmark::State& state)
{
    XPacketCounter counter(0, 0);
    const uint32_t addresses = uint32_t(state.range(0));
    for (uint32_t i = 0; i < addresses; ++i)
        counter.count(0x0A000000 + i * 7919, 0x5000, 0, 100, 0, 0);
    uint32_t i = 0;
    for (auto _ : state) {
        counter.count(0x0A000000 + (i % addresses) * 7919, 0x5000, 0, 1040, int(i & 1), 0);
        ++i;
    }
}
BENCHMARK(BM_CountKnownAddress)->Arg(1000)->Arg(100000)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_CountNewAddress(benchmark::State& state)
{
    auto counter = std::make_unique<XPacketCounter>(0, 0);
    uint32_t ip = 1;
    for (auto _ : state) {
        counter->count(ip * 2654435761u, 0x5000, 0, 100, 0, 0);
        if (++ip == 1000000) {
            state.PauseTiming();
            counter = std::make_unique<XPacketCounter>(0, 0);
            ip = 1;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_CountNewAddress)->Repetitions(5)->ReportAggregatesOnly(true);

// Heap bytes held per remote address: the record, its share of the pool block and its
// map node.
void BM_MemoryPerAddress(benchmark::State& state)
{
    const int addresses = int(state.range(0));
    double perAddress = 0;
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        auto counter = std::make_unique<XPacketCounter>(0, 0);
        for (int i = 0; i < addresses; ++i)
            counter->count(uint32_t(i + 1) * 2654435761u, 0x5000, 0, 100, 0, 0);
        perAddress = double(mallinfo2().uordblks - before) / addresses;
        benchmark::DoNotOptimize(counter->size());
    }
    state.counters["bytes_per_address"] = perAddress;
}
BENCHMARK(BM_MemoryPerAddress)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// What the GUI does once a second: the sorted address list of a large counter.
void BM_GetIPsSorted(benchmark::State& state)
{
    const int addresses = int(state.range(0));
    XPacketCounter counter(0, 0);
    for (int i = 0; i < addresses; ++i)
        counter.count(uint32_t(i + 1) * 2654435761u, 0x5000, 0, 100, 0, 0);
    std::vector<unsigned long> ips(static_cast<size_t>(addresses));
    std::vector<unsigned long> ticks(static_cast<size_t>(addresses));
    for (auto _ : state)
        benchmark::DoNotOptimize(counter.getIPs(ips.data(), ticks.data(), 0, addresses));
}
BENCHMARK(BM_GetIPsSorted)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
