// The capture source under a UDP flood: a generator process in the root namespace sends small
// datagrams at a fixed rate over the veth pair to a sink in a test namespace. Every datagram
// must reach the parser or be counted as dropped; the engine's CPU time per packet is taken
// from this process only (the generator runs apart).
//   bench_capture_flood [--rate N] [--seconds S] [--size BYTES] [--source system|pcap]
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "BpfRunStats.h"
#include "ChildProcess.h"
#include "EngineHarness.h"
#include "TestNetwork.h"
#include "ThreadCpu.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint16_t kFloodPort = 7301;
constexpr uint16_t kClosedPort = 7399;
constexpr uint16_t kWarmupSourcePort = 47301;
constexpr uint16_t kMeasuredSourcePort = 47302;

struct Options {
    long rate = 200000;
    long seconds = 10;
    int size = 64;
    bool pcap = false;
};

// What the parser saw of one generator run (one source port), in packets: an event stands for
// one packet (pcap) or for the packets of a flow in one read interval (eBPF).
struct FlowCount {
    std::atomic<uint32_t> expectedPid{0};
    std::atomic<uint64_t> events{0}, bytes{0}, ringPidRight{0}, ringPidZero{0}, attributedRight{0};

    void add(const ORVANEPRO_NetIo& io, uint32_t attributed)
    {
        const uint32_t expected = expectedPid.load(std::memory_order_relaxed);
        const uint64_t n = io.packets > 1 ? io.packets : 1;
        events.fetch_add(n, std::memory_order_relaxed);
        bytes.fetch_add(io.bytesSent + io.bytesReceived, std::memory_order_relaxed);
        ringPidRight.fetch_add(io.processId == expected ? n : 0, std::memory_order_relaxed);
        ringPidZero.fetch_add(io.processId == 0 ? n : 0, std::memory_order_relaxed);
        attributedRight.fetch_add(attributed == expected ? n : 0, std::memory_order_relaxed);
    }
};

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const long v = std::strtol(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--rate"))
            o.rate = v;
        else if (!std::strcmp(argv[i], "--seconds"))
            o.seconds = v;
        else if (!std::strcmp(argv[i], "--size"))
            o.size = int(v);
        else if (!std::strcmp(argv[i], "--source"))
            o.pcap = !std::strcmp(argv[i + 1], "pcap");
        else
            return false;
    }
    return argc % 2 == 1 && o.rate > 0 && o.seconds > 0 && o.seconds <= 60 && o.size >= 28;
}

// Runs the generator once; fills its pid into flow before any of its packets can be parsed.
bool runGenerator(const TestNetwork& net, const Options& o, long seconds, uint16_t sourcePort,
                  FlowCount& flow, uint64_t& sent)
{
    ChildProcess gen;
    if (!gen.start({BENCH_UDP_FLOOD_PATH, "flood", net.peerAddr(), std::to_string(kFloodPort),
                    std::to_string(sourcePort), std::to_string(o.rate), std::to_string(seconds),
                    std::to_string(o.size)})) {
        return false;
    }
    flow.expectedPid = uint32_t(gen.pid());
    std::string line;
    if (!gen.readLine(line, 5000) || line.rfind("port ", 0) != 0) {
        std::printf("generator did not start\n");
        return false;
    }
    const int status = gen.finish(int(seconds) * 1000 + 15000);
    unsigned long long count = 0, failed = 0;
    const bool read = gen.readLine(line, 0) && std::sscanf(line.c_str(), "sent %llu failed %llu", &count, &failed) == 2;
    sent = count;
    if (!read || status != 0)
        std::printf("generator: exit status %d, %s\n", status, line.c_str());
    if (failed)
        std::printf("generator: %llu sendmmsg calls refused (ENOBUFS/EAGAIN)\n", failed);
    return read;
}

// Waits until the parser has seen everything the capture delivered and the counters settled.
void waitForQuiet(EngineHarness& engine, int maxMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(maxMs);
    uint64_t last = ~0ull;
    int quietRounds = 0;
    while (Clock::now() < deadline && quietRounds < 4) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const KernelIoStats s = engine.trace().stats();
        const uint64_t now = s.source.netEventsDelivered + s.eventsQueued + engine.parsed();
        quietRounds = now == last && s.ringPending == 0 ? quietRounds + 1 : 0;
        last = now;
    }
}

uint64_t delta(uint64_t after, uint64_t before) { return after - before; }

double ms(uint64_t ns) { return double(ns) / 1e6; }

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: bench_capture_flood [--rate N] [--seconds S<=60] [--size BYTES] [--source system|pcap]\n");
        return 2;
    }
    TestNetwork net;
    std::string why;
    if (!net.create(why)) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    if (net.spawnInside({BENCH_UDP_FLOOD_PATH, "sink", std::to_string(kFloodPort), std::to_string(o.seconds + 60)}) <= 0) {
        std::printf("the sink did not start\n");
        return 1;
    }

    const uint32_t peer = net.peerAddrNetOrder();
    FlowCount warmup, measured;
    // The BPF programs' run times, when that is the source.
    const BpfRunStats bpfStats;
    EngineHarness engine([&](const ORVANEPRO_NetIo& io, uint32_t attributed) {
        if (io.protocol != kNetIoUdp || io.remoteAddr != peer || io.remotePort != htons(kFloodPort))
            return;
        if (io.localPort == htons(kMeasuredSourcePort))
            measured.add(io, attributed);
        else if (io.localPort == htons(kWarmupSourcePort))
            warmup.add(io, attributed);
    }, o.pcap);
    if (!engine.start(why)) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    if (!engine.openGates(peer, kClosedPort)) {
        std::printf("no traffic seen from the test host\n");
        return 1;
    }
    const pid_t mainTid = currentThreadId();

    // Warm-up: one second of the same flood from another source port.
    uint64_t warmSent = 0;
    if (!runGenerator(net, o, 1, kWarmupSourcePort, warmup, warmSent))
        return 1;
    waitForQuiet(engine, 3000);

    // The engine's cost with nothing to capture, to tell it apart from the per-packet cost.
    const CpuSample idle0 = sampleCpu();
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const CpuSample idle1 = sampleCpu();
    const double idleSeconds = std::chrono::duration<double>(Clock::now() - idleStart).count();
    const double idleNsPerSecond =
        double((idle1.processNs - idle0.processNs) - (idle1.threadNs.at(mainTid) - idle0.threadNs.at(mainTid))) / idleSeconds;

    const KernelIoStats before = engine.trace().stats();
    const auto runs0 = bpfStats.sample();
    const CpuSample cpu0 = sampleCpu();
    const auto start = Clock::now();
    uint64_t sent = 0;
    if (!runGenerator(net, o, o.seconds, kMeasuredSourcePort, measured, sent))
        return 1;
    const double floodSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    waitForQuiet(engine, 5000);
    const CpuSample cpu1 = sampleCpu();
    const auto runs1 = bpfStats.sample();
    const double windowSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    const KernelIoStats after = engine.trace().stats();
    engine.stop();

    const uint64_t events = measured.events;
    const uint64_t ringDrops = delta(after.eventsDropped, before.eventsDropped);
    const uint64_t kernelDrops = delta(after.source.kernelDrops, before.source.kernelDrops);
    const uint64_t ifDrops = delta(after.source.interfaceDrops, before.source.interfaceDrops);
    const uint64_t seen = delta(after.source.packetsSeen, before.source.packetsSeen);
    const uint64_t otherSeen = seen > events + ringDrops ? seen - events - ringDrops : 0;
    const int64_t unexplained = int64_t(sent) - int64_t(events + ringDrops + kernelDrops);

    const uint64_t mainNs = cpu1.threadNs.at(mainTid) - cpu0.threadNs.at(mainTid);
    const uint64_t engineNs = (cpu1.processNs - cpu0.processNs) - mainNs;
    const double netEngineNs = double(engineNs) - idleNsPerSecond * windowSeconds;

    std::printf("UDP flood: %ld packets/s for %ld s, %d-byte IP packets, generator in the root namespace "
                "-> %s:%u (a sink that never reads, in the namespace)\n",
                o.rate, o.seconds, o.size, net.peerAddr().c_str(), kFloodPort);
    const std::string source = engine.trace().sourceStatus();
    std::printf("event source: %s\n", source.c_str());
    std::printf("warm-up: 1 s, sent %llu, parser saw %llu\n", (unsigned long long)warmSent,
                (unsigned long long)warmup.events.load());
    std::printf("generator: sent %llu in %.2f s (%.0f packets/s)\n", (unsigned long long)sent, floodSeconds,
                double(sent) / floodSeconds);
    std::printf("flow at the parser: %llu packets, %llu bytes; ring pid = generator %llu, ring pid 0 %llu, "
                "addNetData = generator %llu\n",
                (unsigned long long)events, (unsigned long long)measured.bytes.load(),
                (unsigned long long)measured.ringPidRight.load(), (unsigned long long)measured.ringPidZero.load(),
                (unsigned long long)measured.attributedRight.load());
    std::printf("drops in the window: ring %llu, kernel %llu, interface %llu; gated %llu, malformed %llu\n",
                (unsigned long long)ringDrops, (unsigned long long)kernelDrops, (unsigned long long)ifDrops,
                (unsigned long long)delta(after.gatedEvents, before.gatedEvents),
                (unsigned long long)delta(after.source.packetsMalformed, before.source.packetsMalformed));
    std::printf("capture in the window: packets seen %llu (other traffic %llu), delivered %llu, queued %llu\n",
                (unsigned long long)seen, (unsigned long long)otherSeen,
                (unsigned long long)delta(after.source.netEventsDelivered, before.source.netEventsDelivered),
                (unsigned long long)delta(after.eventsQueued, before.eventsQueued));
    std::printf("owner lookups in the window: flows resolved %llu, unowned %llu, held timeouts %llu, "
                "hold overflows %llu, lookup queue full %llu\n",
                (unsigned long long)delta(after.source.flowsResolved, before.source.flowsResolved),
                (unsigned long long)delta(after.source.flowsUnowned, before.source.flowsUnowned),
                (unsigned long long)delta(after.source.heldTimeouts, before.source.heldTimeouts),
                (unsigned long long)delta(after.source.holdOverflows, before.source.holdOverflows),
                (unsigned long long)delta(after.source.lookupQueueFull, before.source.lookupQueueFull));
    std::printf("accounting: sent %llu = delivered %llu + ring drops %llu + kernel drops %llu %+lld unexplained\n",
                (unsigned long long)sent, (unsigned long long)events, (unsigned long long)ringDrops,
                (unsigned long long)kernelDrops, (long long)unexplained);
    std::printf("RESULT drops: %.4f %% of sent (goal < 0.1 %%), unaccounted %.4f %%\n",
                sent ? 100.0 * double(ringDrops + kernelDrops) / double(sent) : 0.0,
                sent ? 100.0 * double(unexplained) / double(sent) : 0.0);
    std::printf("engine CPU: %.1f ms in %.2f s (user %.1f ms, system %.1f ms, whole process); idle engine %.2f ms/s\n",
                ms(engineNs), windowSeconds, ms(cpu1.userNs - cpu0.userNs), ms(cpu1.systemNs - cpu0.systemNs),
                idleNsPerSecond / 1e6);
    std::printf("RESULT engine CPU per packet: %.1f ns gross, %.1f ns without the idle cost (goal < %s ns)\n",
                sent ? double(engineNs) / double(sent) : 0.0, sent ? netEngineNs / double(sent) : 0.0,
                source == "ebpf" ? "30" : "160");
    if (source == "ebpf") {
        std::printf("flow map full in the window: %llu packets not counted\n",
                    (unsigned long long)delta(after.source.flowMapFullPackets, before.source.flowMapFullPackets));
        if (!bpfStats.enabled())
            std::printf("BPF run times unavailable (kernel.bpf_stats_enabled could not be turned on)\n");
        // The sender's share: the egress hook per packet and the send hook per call run in the
        // generator's context; the sink's ingress hook on the far side of the link.
        uint64_t senderNs = 0;
        for (const auto& [id, p1] : runs1) {
            const auto it = runs0.find(id);
            const uint64_t runs = p1.runs - (it == runs0.end() ? 0 : it->second.runs);
            const uint64_t ns = p1.ns - (it == runs0.end() ? 0 : it->second.ns);
            if (runs == 0)
                continue;
            std::printf("  BPF %-16s %10llu runs  %6.1f ns per run\n", p1.name.c_str(), (unsigned long long)runs,
                        double(ns) / double(runs));
            if (p1.name == "lvx_egress" || p1.name == "lvx_sent" || p1.name == "lvx_sendmsg4")
                senderNs += ns;
        }
        std::printf("RESULT added cost in the sender: %.1f ns per packet (BPF run time of the egress and send hooks)\n",
                    sent ? double(senderNs) / double(sent) : 0.0);
    }
    std::vector<std::pair<uint64_t, pid_t>> threads;
    for (const auto& [tid, ns] : cpu1.threadNs) {
        const auto it = cpu0.threadNs.find(tid);
        threads.push_back({ns - (it == cpu0.threadNs.end() ? 0 : it->second), tid});
    }
    std::sort(threads.rbegin(), threads.rend());
    for (const auto& [ns, tid] : threads) {
        const char* label = tid == mainTid ? "bench main (not counted)"
                            : tid == engine.parserThreadId() ? "parser (ring pop + addNetData)"
                                                             : "engine (capture / owner lookup / disk sampler)";
        const auto s0 = cpu0.threadSwitches.find(tid);
        const uint64_t sleeps = cpu1.threadSwitches.at(tid) - (s0 == cpu0.threadSwitches.end() ? 0 : s0->second);
        std::printf("  thread %d %-48s %8.1f ms  %6.1f ns/packet  %8llu sleeps (%.3f per packet)\n", int(tid), label,
                    ms(ns), sent ? double(ns) / double(sent) : 0.0, (unsigned long long)sleeps,
                    sent ? double(sleeps) / double(sent) : 0.0);
    }
    return 0;
}
