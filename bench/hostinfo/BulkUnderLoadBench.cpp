// A bulk TCP transfer over the test network while two CPU-bound processes keep both cores
// busy: the whole engine (XEngine, as the front ends run it) must count every byte. The
// figures are compared with the veth interface's own counters at the IP level.
//   bench_bulk_under_load [--seconds S] [--hogs N] [--offload 0|1]
// --offload 0 turns segmentation offload off on our end of the link, so that every segment
// is a packet of its own (about 1 500 bytes): many times the packets for the same bytes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TestNetwork.h"
#include "capengine/XEngine.h"

namespace {

constexpr int kSinkPort = 7401;
constexpr int kClosedPort = 7499;
constexpr int kEthernetHeader = 14;

struct LinkCounters {
    uint64_t txBytes = 0, txPackets = 0, rxBytes = 0, rxPackets = 0;
    double txIp() const { return double(txBytes) - double(kEthernetHeader) * double(txPackets); }
    double rxIp() const { return double(rxBytes) - double(kEthernetHeader) * double(rxPackets); }
};

uint64_t readStat(const std::string& ifname, const char* name)
{
    std::ifstream in("/sys/class/net/" + ifname + "/statistics/" + name);
    uint64_t v = 0;
    in >> v;
    return v;
}

LinkCounters readLink(const std::string& ifname)
{
    return {readStat(ifname, "tx_bytes"), readStat(ifname, "tx_packets"), readStat(ifname, "rx_bytes"),
            readStat(ifname, "rx_packets")};
}

std::vector<pid_t> startHogs(int n)
{
    std::vector<pid_t> hogs;
    for (int i = 0; i < n; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile uint64_t x = 0;
            for (;;)
                x = x + 1;
        }
        if (pid > 0)
            hogs.push_back(pid);
    }
    return hogs;
}

void stopHogs(const std::vector<pid_t>& hogs)
{
    for (pid_t pid : hogs)
        kill(pid, SIGKILL);
    for (pid_t pid : hogs)
        waitpid(pid, nullptr, 0);
}

XTrafficRow peerRow(XEngine& engine, const TestNetwork& net)
{
    XTrafficRow row;
    engine.row(kTrafficTcp, ntohl(net.peerAddrNetOrder()), row);
    return row;
}

// Some traffic of our own to an address the measurement does not look at, so the engine's
// start is behind us before the transfer begins.
bool warmUp(XEngine& engine, const TestNetwork& net)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = TestNetwork::netOrder(net.spareAddr());
    to.sin_port = htons(kClosedPort);
    for (int round = 0; round < 50; ++round) {
        const int tcp = socket(AF_INET, SOCK_STREAM, 0);
        connect(tcp, reinterpret_cast<sockaddr*>(&to), sizeof to);
        close(tcp);
        if (engine.totals(kTrafficTcp).exists && engine.stats().eventsParsed > 2)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 10;
    int hogCount = 2;
    bool offload = true;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--hogs"))
            hogCount = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--offload"))
            offload = std::atoi(argv[i + 1]) != 0;
    }
    TestNetwork net;
    std::string why;
    if (!net.create(why)) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    if (!offload && std::system(("ip link set dev " + net.hostInterface() + " gso_max_size 1500 gso_max_segs 1").c_str()) != 0)
        std::printf("could not turn segmentation offload off\n");
    if (net.spawnInside({BENCH_BULK_PEER_PATH, "sink", std::to_string(kSinkPort)}) <= 0) {
        std::printf("the sink did not start\n");
        return 1;
    }
    XEngine engine;
    if (!engine.start(&why)) {
        std::printf("the engine did not start: %s\n", why.c_str());
        return 1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!engine.stats().capturing && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!engine.stats().capturing || !warmUp(engine, net)) {
        std::printf("skipped: not capturing (%s)\n", engine.eventSource().c_str());
        return 0;
    }

    const std::vector<pid_t> hogs = startHogs(hogCount);
    const XEngineStats before = engine.stats();
    const XTrafficRow rowBefore = peerRow(engine, net);
    const LinkCounters linkBefore = readLink(net.hostInterface());

    ChildProcess sender;
    if (!sender.start({BENCH_BULK_PEER_PATH, "send", net.peerAddr(), std::to_string(kSinkPort), std::to_string(seconds)})) {
        stopHogs(hogs);
        return 1;
    }
    const int status = sender.finish(int(seconds * 1000) + 30000);
    const LinkCounters linkAfter = readLink(net.hostInterface());
    // The engine is done once its row stops moving and the ring is empty.
    XTrafficRow rowAfter = peerRow(engine, net);
    for (int quiet = 0, round = 0; quiet < 5 && round < 150; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const XTrafficRow now = peerRow(engine, net);
        quiet = now.bytes[0] == rowAfter.bytes[0] && now.bytes[1] == rowAfter.bytes[1] &&
                        engine.stats().ringPending == 0
                    ? quiet + 1
                    : 0;
        rowAfter = now;
    }
    stopHogs(hogs);
    const XEngineStats after = engine.stats();
    engine.stop();

    unsigned long long appBytes = 0;
    std::sscanf(sender.output().c_str(), "sent %llu", &appBytes);
    const double wireOut = linkAfter.txIp() - linkBefore.txIp();
    const double wireIn = linkAfter.rxIp() - linkBefore.rxIp();
    const double countedOut = rowAfter.bytes[1] - rowBefore.bytes[1];
    const double countedIn = rowAfter.bytes[0] - rowBefore.bytes[0];
    const auto pct = [](double counted, double wire) { return wire > 0 ? 100.0 * (counted - wire) / wire : 0.0; };

    std::printf("bulk TCP for %.0f s to %s:%d with %d CPU hogs, offload %s; sender exit %d, %llu payload bytes "
                "(%.0f MB/s)\n",
                seconds, net.peerAddr().c_str(), kSinkPort, hogCount, offload ? "on" : "off", status, appBytes,
                double(appBytes) / seconds / 1e6);
    std::printf("veth %s at the IP level: out %.0f bytes (%llu packets), in %.0f bytes (%llu packets)\n",
                net.hostInterface().c_str(), wireOut, (unsigned long long)(linkAfter.txPackets - linkBefore.txPackets),
                wireIn, (unsigned long long)(linkAfter.rxPackets - linkBefore.rxPackets));
    std::printf("engine counted: out %.0f bytes (%.0f packets), in %.0f bytes (%.0f packets)\n", countedOut,
                rowAfter.packets[1] - rowBefore.packets[1], countedIn, rowAfter.packets[0] - rowBefore.packets[0]);
    std::printf("capture: packets seen %llu, kernel drops %llu, interface drops %llu, ring full waits %llu\n",
                (unsigned long long)(after.packetsSeen - before.packetsSeen),
                (unsigned long long)(after.kernelDrops - before.kernelDrops),
                (unsigned long long)(after.interfaceDrops - before.interfaceDrops),
                (unsigned long long)(after.ringFullWaits - before.ringFullWaits));
    std::printf("RESULT ring drops: %llu (goal 0)\n", (unsigned long long)(after.ringDropped - before.ringDropped));
    std::printf("RESULT counted vs veth: out %+.4f %%, in %+.4f %% (goal within 0.1 %%)\n", pct(countedOut, wireOut),
                pct(countedIn, wireIn));
    return 0;
}
