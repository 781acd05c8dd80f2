// The whole event path on one core: network events written into the ring, taken by the
// parser's loop, attributed and counted (per address, per process, and per process and host
// for the ledger), over 100 000 distinct remote addresses. The per-process counts are
// drained every five million events: at this rate, about as often as the front end's timer
// drains them (once a second).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "capture/XChatPrograms.h"
#include "capture/XDNSRecord.h"
#include "capture/XIPCounter.h"
#include "capture/XPacketBaseParser.h"
#include "capture/XPacketCounter.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/XNetIoRing.h"
#include "hostinfo/XPCProcessInfo.h"

namespace {

std::unique_ptr<XPCProcessInfo> benchProcesses()
{
    XPCProcessInfo::Hooks hooks;
    hooks.readTable = [](platform::SocketProtocol, std::vector<platform::SocketRow>& rows) {
        rows.clear();
        return true;
    };
    hooks.imagePath = [](uint32_t pid) { return "/usr/bin/program" + std::to_string(pid % 8); };
    hooks.shortName = [](uint32_t) { return std::string(); };
    return std::make_unique<XPCProcessInfo>(hooks, nullptr);
}

void BM_EventPath(benchmark::State& state)
{
    const uint32_t addresses = uint32_t(state.range(0));
    XIPCounter::clearICQProcessNames();
    registerChatPrograms();
    auto processes = benchProcesses();
    XParserResultMgr registry;
    XDNSRecord dns("");
    XPacketBaseParser parser;
    parser.init(&registry, &dns, processes.get());
    XNetIoRing ring;
    constexpr int kBatch = 2000;

    uint64_t n = 0;
    const auto pushBatch = [&] {
        for (int i = 0; i < kBatch; ++i, ++n) {
            const uint32_t remote = htonl(0x0B000000 + uint32_t(n % addresses) * 13);
            const uint16_t protocol = (n & 1) ? 1 : 2;
            ring.pushNetIo(uint32_t(100 + n % 16), 1040, uint16_t((n >> 1) & 1), protocol, remote,
                           htons(443), protocol == 2 ? htons(40000) : 0);
        }
    };
    ORVANEPRO_NetIo io{};
    std::vector<XNetPair> pairs;
    std::vector<IoTriple> totals;
    int batches = 0;
    const auto drainBatch = [&] {
        for (int i = 0; i < kBatch; ++i)
            if (ring.popNetIo(&io) == 1)
                parser.parserSock(io);
        if (++batches % 2500 == 0) {
            pairs.clear();
            for (const char* name : {"tcp", "udp"})
                if (auto* counter = static_cast<XPacketCounter*>(registry.getResult(name)))
                    counter->takePairs(pairs, 0);
            processes->getNetIO(totals);
        }
    };
    // Every address is known before the measurement starts.
    while (n < uint64_t(addresses) * 2) {
        pushBatch();
        drainBatch();
    }
    for (auto _ : state) {
        pushBatch();
        drainBatch();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kBatch);
    XIPCounter::clearICQProcessNames();
}
BENCHMARK(BM_EventPath)->Arg(100000)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace
