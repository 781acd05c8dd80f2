// Attribution of real traffic to its program: one client process runs short TCP connections,
// one-datagram UDP exchanges and a bulk transfer at the same time against servers in a test
// namespace. For every flow we count which pid the ring events carried and which pid
// addNetData returned, and report the share of bytes that went to the client's pid.
//   bench_attribution [--tcp N] [--udp N] [--hold-ms MS] [--reload-ms MS] [--early-fin 0|1]
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "EngineHarness.h"
#include "TestNetwork.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTcpBase = 7400;   // one server port per short connection
constexpr int kBulkPort = 7390;
constexpr int kUdpPort = 7391;
constexpr int kClosedPort = 7399;
constexpr int kRequestBytes = 1000;
constexpr int kReplyBytes = 4000;
constexpr long kBulkBytesPerSecond = 4 << 20;

struct Options {
    int tcp = 200;
    int udp = 200;
    long holdMs = 50;
    int reloadMs = 2000;  // the GUI refreshes the owner tables every two seconds
    bool earlyFin = false;  // the client ends its side right after the request
};

// Ring and attribution tallies of one flow, in IP bytes.
struct FlowTally {
    uint64_t events = 0, bytes = 0;
    uint64_t ringRight = 0, ringZero = 0, ringOther = 0;              // bytes by the event's pid
    uint64_t attributedRight = 0, attributedZero = 0, attributedOther = 0;  // bytes by addNetData
    std::map<uint32_t, uint64_t> otherPids;                             // wrong pid -> bytes
};

// proto, remote port, local port (0 for TCP, whose events carry none).
using FlowId = std::tuple<uint16_t, uint16_t, uint16_t>;

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const long v = std::strtol(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--tcp"))
            o.tcp = int(v);
        else if (!std::strcmp(argv[i], "--udp"))
            o.udp = int(v);
        else if (!std::strcmp(argv[i], "--hold-ms"))
            o.holdMs = v;
        else if (!std::strcmp(argv[i], "--reload-ms"))
            o.reloadMs = int(v);
        else if (!std::strcmp(argv[i], "--early-fin"))
            o.earlyFin = v != 0;
        else
            return false;
    }
    return argc % 2 == 1 && o.tcp >= 0 && o.tcp <= 500 && o.udp >= 0 && o.udp <= 1000 && o.holdMs >= 0 &&
           o.holdMs <= 1000 && o.reloadMs >= 0;
}

struct Category {
    explicit Category(const char* label) : name(label) {}

    const char* name;
    int flows = 0, flowsSeen = 0, flowsAllRight = 0, flowsNoneRight = 0;
    FlowTally sum;

    void add(const FlowTally* t)
    {
        ++flows;
        if (!t)
            return;
        ++flowsSeen;
        flowsAllRight += t->attributedRight == t->bytes;
        flowsNoneRight += t->attributedRight == 0;
        sum.events += t->events;
        sum.bytes += t->bytes;
        sum.ringRight += t->ringRight;
        sum.ringZero += t->ringZero;
        sum.ringOther += t->ringOther;
        sum.attributedRight += t->attributedRight;
        sum.attributedZero += t->attributedZero;
        sum.attributedOther += t->attributedOther;
        for (const auto& [pid, bytes] : t->otherPids)
            sum.otherPids[pid] += bytes;
    }

    void print() const
    {
        auto pct = [&](uint64_t part) { return sum.bytes ? 100.0 * double(part) / double(sum.bytes) : 0.0; };
        std::printf("%-10s flows %d (seen %d, all bytes right %d, no byte right %d), events %llu, bytes %llu\n", name,
                    flows, flowsSeen, flowsAllRight, flowsNoneRight, (unsigned long long)sum.events,
                    (unsigned long long)sum.bytes);
        std::printf("           ring pid: right %.2f %%, 0 %.2f %%, other %.2f %% | addNetData: right %.2f %%, "
                    "0 %.2f %%, other %.2f %%\n",
                    pct(sum.ringRight), pct(sum.ringZero), pct(sum.ringOther), pct(sum.attributedRight),
                    pct(sum.attributedZero), pct(sum.attributedOther));
        for (const auto& [pid, bytes] : sum.otherPids)
            std::printf("           wrong pid %u: %llu bytes\n", pid, (unsigned long long)bytes);
    }
};

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: bench_attribution [--tcp N] [--udp N] [--hold-ms MS] [--reload-ms MS] [--early-fin 0|1]\n");
        return 2;
    }
    TestNetwork net;
    std::string why;
    if (!net.create(why)) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    if (net.spawnInside({BENCH_ATTRIB_PEER_PATH, "servers", std::to_string(kTcpBase), std::to_string(std::max(o.tcp, 1)),
                         std::to_string(kBulkPort), std::to_string(kUdpPort), std::to_string(kRequestBytes), std::to_string(kReplyBytes), "90"}) <= 0) {
        std::printf("the servers did not start\n");
        return 1;
    }

    const uint32_t peer = net.peerAddrNetOrder();
    std::atomic<uint32_t> clientPid{0};
    std::map<FlowId, FlowTally> flows;  // parser thread only until the engine stopped
    EngineHarness engine([&](const ORVANEPRO_NetIo& io, uint32_t attributed) {
        if (io.remoteAddr != peer || io.remotePort == htons(kClosedPort))
            return;
        const uint32_t right = clientPid.load(std::memory_order_relaxed);
        FlowTally& t = flows[{io.protocol, ntohs(io.remotePort), ntohs(io.localPort)}];
        const uint64_t bytes = io.bytesSent + io.bytesReceived;
        ++t.events;
        t.bytes += bytes;
        (io.processId == right ? t.ringRight : io.processId == 0 ? t.ringZero : t.ringOther) += bytes;
        (attributed == right ? t.attributedRight : attributed == 0 ? t.attributedZero : t.attributedOther) += bytes;
        if (attributed != right && attributed != 0)
            t.otherPids[attributed] += bytes;
    });
    if (!engine.start(why)) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    engine.startReloadTimer(o.reloadMs);
    if (!engine.openGates(peer, kClosedPort)) {
        std::printf("no traffic seen from the test host\n");
        return 1;
    }
    const KernelIoStats before = engine.trace().stats();

    ChildProcess client;
    if (!client.start({BENCH_ATTRIB_PEER_PATH, "client", net.peerAddr(), std::to_string(kTcpBase), std::to_string(o.tcp),
                       std::to_string(kBulkPort), std::to_string(kUdpPort), std::to_string(o.udp),
                       std::to_string(kRequestBytes), std::to_string(kReplyBytes), std::to_string(o.holdMs),
                       std::to_string(kBulkBytesPerSecond), o.earlyFin ? "early-fin" : "hold"})) {
        std::printf("the client did not start\n");
        return 1;
    }
    clientPid = uint32_t(client.pid());
    const auto start = Clock::now();
    const int status = client.finish(60000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // held events time out after 250 ms
    const KernelIoStats after = engine.trace().stats();
    engine.stop();

    // The client's own account of its flows.
    std::map<int, int> udpPortOf;  // exchange -> local port
    std::map<int, int> udpExchangesOnPort;
    std::map<int, long> udpLifetimeOnPort;  // socket lifetime in µs (the longest, for a reused port)
    uint64_t udpPayloadSent = 0, udpPayloadReceived = 0;
    std::istringstream out(client.output());
    for (std::string l; std::getline(out, l);) {
        int index = 0, port = 0;
        unsigned long long sent = 0, received = 0;
        long lifetime = 0;
        if (std::sscanf(l.c_str(), "udp %d %d %llu %llu %ld", &index, &port, &sent, &received, &lifetime) == 5) {
            udpLifetimeOnPort[port] = std::max(udpLifetimeOnPort[port], lifetime);
            udpPortOf[index] = port;
            ++udpExchangesOnPort[port];
            udpPayloadSent += sent;
            udpPayloadReceived += received;
        }
    }

    Category tcp("tcp short"), udp("udp 1-dgram"), bulk("bulk tcp"), total("all");
    auto find = [&](FlowId id) -> const FlowTally* {
        const auto it = flows.find(id);
        return it == flows.end() ? nullptr : &it->second;
    };
    std::vector<int> unattributedTcp;
    for (int i = 0; i < o.tcp; ++i) {
        const FlowTally* t = find({kNetIoTcp, uint16_t(kTcpBase + i), 0});
        if (!t || t->attributedRight == 0)
            unattributedTcp.push_back(i);
        tcp.add(find({kNetIoTcp, uint16_t(kTcpBase + i), 0}));
        total.add(find({kNetIoTcp, uint16_t(kTcpBase + i), 0}));
    }
    bulk.add(find({kNetIoTcp, uint16_t(kBulkPort), 0}));
    total.add(find({kNetIoTcp, uint16_t(kBulkPort), 0}));
    int reusedPorts = 0;
    std::vector<long> lifetimeFound, lifetimeLost;
    for (const auto& [port, count] : udpExchangesOnPort) {
        reusedPorts += count > 1;
        const FlowTally* t = find({kNetIoUdp, uint16_t(kUdpPort), uint16_t(port)});
        (t && t->attributedRight > 0 ? lifetimeFound : lifetimeLost).push_back(udpLifetimeOnPort[port]);
        udp.add(find({kNetIoUdp, uint16_t(kUdpPort), uint16_t(port)}));
        total.add(find({kNetIoUdp, uint16_t(kUdpPort), uint16_t(port)}));
    }

    std::printf("client pid %u: exit status %d after %.2f s; %d TCP connections of %ld ms (%s), %d UDP exchanges "
                "(%zu local ports, %d used twice), bulk at %ld KiB/s; owner tables refreshed every %d ms (%llu times)\n",
                clientPid.load(), status, seconds, o.tcp, o.holdMs,
                o.earlyFin ? "client ends its side after the request" : "established until closed", o.udp, udpExchangesOnPort.size(), reusedPorts,
                kBulkBytesPerSecond / 1024, o.reloadMs, (unsigned long long)engine.reloads());
    std::printf("UDP payload sent %llu, echoed %llu (%d bytes each way); expected IP bytes %llu\n",
                (unsigned long long)udpPayloadSent, (unsigned long long)udpPayloadReceived, kRequestBytes,
                (unsigned long long)(udpPayloadSent + udpPayloadReceived + 28ull * 2 * udpPortOf.size()));
    tcp.print();
    if (!unattributedTcp.empty()) {
        std::printf("           connections with no byte attributed:");
        for (int i : unattributedTcp)
            std::printf(" %d", i);
        std::printf("\n");
    }
    udp.print();
    auto median = [](std::vector<long>& v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0L : v[v.size() / 2];
    };
    std::printf("           socket lifetime (socket() to close()): attributed exchanges median %ld us, "
                "lost exchanges median %ld us\n",
                median(lifetimeFound), median(lifetimeLost));
    bulk.print();
    total.print();
    std::printf("engine in the run: packets seen %llu, delivered %llu, ring drops %llu, kernel drops %llu; "
                "lookups: resolved %llu, unowned %llu, held timeouts %llu, hold overflows %llu, queue full %llu\n",
                (unsigned long long)(after.source.packetsSeen - before.source.packetsSeen),
                (unsigned long long)(after.source.netEventsDelivered - before.source.netEventsDelivered),
                (unsigned long long)(after.eventsDropped - before.eventsDropped),
                (unsigned long long)(after.source.kernelDrops - before.source.kernelDrops),
                (unsigned long long)(after.source.flowsResolved - before.source.flowsResolved),
                (unsigned long long)(after.source.flowsUnowned - before.source.flowsUnowned),
                (unsigned long long)(after.source.heldTimeouts - before.source.heldTimeouts),
                (unsigned long long)(after.source.holdOverflows - before.source.holdOverflows),
                (unsigned long long)(after.source.lookupQueueFull - before.source.lookupQueueFull));
    auto share = [](uint64_t part, uint64_t whole) { return whole ? 100.0 * double(part) / double(whole) : 0.0; };
    std::printf("RESULT bytes attributed to the right pid (addNetData): %.2f %% overall; tcp %.2f %%, udp %.2f %%, "
                "bulk %.2f %% (goal 100 %%)\n",
                share(total.sum.attributedRight, total.sum.bytes), share(tcp.sum.attributedRight, tcp.sum.bytes),
                share(udp.sum.attributedRight, udp.sum.bytes), share(bulk.sum.attributedRight, bulk.sum.bytes));
    std::printf("RESULT udp exchanges lost to attribution: %d of %d flows had no byte attributed (%.2f %% of UDP bytes)\n",
                udp.flowsNoneRight + (udp.flows - udp.flowsSeen), udp.flows,
                share(udp.sum.bytes - udp.sum.attributedRight, udp.sum.bytes));
    return status == 0 ? 0 : 1;
}
