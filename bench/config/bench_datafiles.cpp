// Loading the shipped data files, location lookups and the data-file store's resident size.
// Targets: loading everything under 300 ms, lookupLocation under 300 ns per address, the
// loaded store under 40 MB resident (counter store_rss_MB).
#include "config/ConfigStore.h"
#include "config/DataFileStore.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace lumivex::config;

namespace {

// Resident set size of this process in kilobytes (VmRSS), 0 when unknown.
long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long value = 0;
            status >> value;
            return value;
        }
    }
    return 0;
}

// Random addresses outside 0/8, 10/8, 100.64/10, 127/8, 169.254/16, 172.16/12, 192.168/16
// and 224/3, so nearly every one is found in the supplementary list.
std::vector<std::uint32_t> publicAddresses(std::size_t count)
{
    std::mt19937 random(42);
    std::vector<std::uint32_t> addresses;
    while (addresses.size() < count) {
        const std::uint32_t address = random();
        const std::uint32_t top = address >> 24;
        if (top == 0 || top == 10 || top == 127 || top >= 224 || (address >> 22) == (100u << 2 | 1) ||
            (address >> 16) == (169u << 8 | 254) || (address >> 20) == (172u << 4 | 1) || (address >> 16) == (192u << 8 | 168))
            continue;
        addresses.push_back(address);
    }
    return addresses;
}

void BM_StoreResidentSize(benchmark::State& state)
{
    for (auto _ : state) {
        const long before = residentKilobytes();
        auto store = std::make_unique<DataFileStore>(LUMIVEX_DAT_DIR);
        store->load();
        const long after = residentKilobytes();
        state.counters["store_rss_MB"] = static_cast<double>(after - before) / 1024.0;
        state.counters["process_rss_MB"] = static_cast<double>(after) / 1024.0;
        state.counters["ranges"] = static_cast<double>(store->supplementary().size());
        benchmark::DoNotOptimize(store.get());
    }
}
BENCHMARK(BM_StoreResidentSize)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_LoadAllDataFiles(benchmark::State& state)
{
    for (auto _ : state) {
        ConfigStore config(LUMIVEX_DAT_DIR, "");
        DataFileStore store(LUMIVEX_DAT_DIR);
        store.load();
        benchmark::DoNotOptimize(store.supplementary().size());
        benchmark::DoNotOptimize(config.skinTable().size());
    }
    state.SetLabel("config.dat, user.ini, ication.dat, ipanother.txt, ptdescr.dat");
}
BENCHMARK(BM_LoadAllDataFiles)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_LookupLocation(benchmark::State& state)
{
    static const DataFileStore* store = [] {
        auto* loaded = new DataFileStore(LUMIVEX_DAT_DIR);
        loaded->load();
        return loaded;
    }();
    const std::vector<std::uint32_t> addresses = publicAddresses(1 << 16);
    std::string text;
    std::size_t index = 0;
    std::size_t hits = 0;
    for (auto _ : state) {
        hits += store->lookupLocation(addresses[index], text) ? 1 : 0;
        index = (index + 1) & (addresses.size() - 1);
    }
    state.counters["hit_ratio"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LookupLocation);

} // namespace
