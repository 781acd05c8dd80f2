// The kernel I/O event source against real traffic: a test host in a network namespace, real
// client programs, real files.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "TestNetwork.h"
#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XPCProcessInfo.h"

namespace {

constexpr int kTcpPort = 7101;
constexpr int kUdpPort = 7102;
constexpr int kClosedPort = 7199;  // nothing listens here: warm-up traffic gets no payload back

struct SeenEvent {
    ORVANEPRO_NetIo io;
    uint32_t attributedPid;
};

class HostInfoEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!m_net.create(why))
            GTEST_SKIP() << why;
        m_trace = std::make_unique<XKernelIoTrace>(platform::createSystemIoEventSource());
        m_info = std::make_unique<XPCProcessInfo>(XPCProcessInfo::Hooks::system(), m_trace.get());
        m_trace->enableNetEvents();
        m_trace->startTraceThread();
        m_pump = std::thread([this] { pump(); });
        ASSERT_TRUE(waitFor([&] { return m_trace->stats().running; }, 5000)) << "capture did not start";
    }

    void TearDown() override
    {
        m_stopPump = true;
        if (m_pump.joinable())
            m_pump.join();
        if (m_trace)
            m_trace->stopTrace();
    }

    // The parser thread's part: take every event, attribute it, keep those of the test host.
    void pump()
    {
        const uint32_t peer = m_net.peerAddrNetOrder();
        ORVANEPRO_NetIo io;
        while (!m_stopPump) {
            if (!m_trace->ring()->popNetIo(&io))
                continue;
            const uint32_t pid = m_info->addNetData(io);
            if (io.remoteAddr != peer)
                continue;
            std::lock_guard<std::mutex> guard(m_mutex);
            m_events.push_back({io, pid});
        }
    }


    std::vector<SeenEvent> eventsFor(uint16_t protocol, int remotePort)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        std::vector<SeenEvent> out;
        for (const SeenEvent& e : m_events)
            if (e.io.protocol == protocol && e.io.remotePort == htons(uint16_t(remotePort)))
                out.push_back(e);
        return out;
    }

    // Waits until capture delivers traffic of each protocol (our own, to a closed port), then
    // forgets it, so each test sees only the traffic it makes.
    void openNetworkGates()
    {
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_addr.s_addr = m_net.peerAddrNetOrder();
        const int udp = socket(AF_INET, SOCK_DGRAM, 0);
        peer.sin_port = htons(kClosedPort);
        const bool udpOpen = waitFor([&] {
            sendto(udp, "w", 1, 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
            return m_trace->gateOpen(XKernelIoTrace::kGateUdp) && !eventsFor(kNetIoUdp, kClosedPort).empty();
        }, 5000);
        close(udp);
        const bool tcpOpen = waitFor([&] {
            const int tcp = socket(AF_INET, SOCK_STREAM, 0);
            connect(tcp, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
            close(tcp);
            return m_trace->gateOpen(XKernelIoTrace::kGateTcp) && !eventsFor(kNetIoTcp, kClosedPort).empty();
        }, 5000);
        ASSERT_TRUE(udpOpen && tcpOpen) << "no traffic seen from the test host";
        std::lock_guard<std::mutex> guard(m_mutex);
        m_events.clear();
    }

    void startServers()
    {
        ASSERT_GT(m_net.spawnInside({peerProgram(), "tcp-server", std::to_string(kTcpPort), "100000"}), 0);
        ASSERT_GT(m_net.spawnInside({peerProgram(), "udp-echo", std::to_string(kUdpPort)}), 0);
    }

    // Network totals of one process: every getNetIO drain since the last call.
    void drainNetTotals(std::map<uint32_t, IoTriple>& totals)
    {
        std::vector<IoTriple> triples;
        m_info->getNetIO(triples);
        for (const IoTriple& triple : triples) {
            IoTriple& t = totals[triple.pid];
            t.pid = triple.pid;
            t.in += triple.in;
            t.out += triple.out;
        }
    }

    std::string describe()
    {
        const KernelIoStats s = m_trace->stats();
        std::lock_guard<std::mutex> guard(m_mutex);
        std::string text = "events from the test host: " + std::to_string(m_events.size()) +
                           ", packets seen " + std::to_string(s.source.packetsSeen) + ", delivered " +
                           std::to_string(s.source.netEventsDelivered) + ", queued " + std::to_string(s.eventsQueued) +
                           ", gated " + std::to_string(s.gatedEvents) + ", lookup timeouts " +
                           std::to_string(s.source.heldTimeouts) + ", kernel drops " + std::to_string(s.source.kernelDrops);
        for (const SeenEvent& e : m_events)
            text += "\n  proto " + std::to_string(e.io.protocol) + " port " + std::to_string(ntohs(e.io.remotePort)) + " size " + std::to_string(e.io.bytesSent + e.io.bytesReceived) +
                    " dir " + std::to_string(e.io.direction) + " pid " + std::to_string(e.io.processId);
        return text;
    }

    TestNetwork m_net;
    std::unique_ptr<XKernelIoTrace> m_trace;
    std::unique_ptr<XPCProcessInfo> m_info;
    std::thread m_pump;
    std::atomic<bool> m_stopPump{false};
    std::mutex m_mutex;
    std::vector<SeenEvent> m_events;
};

struct Sums {
    uint64_t sent = 0, received = 0;
    size_t events = 0, wrongPid = 0;
};

Sums sumEvents(const std::vector<SeenEvent>& events, uint32_t pid)
{
    Sums s;
    for (const SeenEvent& e : events) {
        ++s.events;
        s.wrongPid += e.io.processId != pid || e.attributedPid != pid;
        s.sent += e.io.bytesSent;
        s.received += e.io.bytesReceived;
        EXPECT_EQ(e.io.direction == kNetIoSend ? e.io.bytesReceived : e.io.bytesSent, 0u);
    }
    return s;
}

TEST_F(HostInfoEndToEnd, TransfersAreDeliveredWithDirectionsSizesAndOwner)
{
    startServers();
    openNetworkGates();

    const pid_t tcpClient = m_net.spawnHere({peerProgram(), "tcp-client", m_net.peerAddr(),
                                             std::to_string(kTcpPort), "200000", "300"});
    ASSERT_EQ(m_net.waitExit(tcpClient, 10000), 0);
    const pid_t udpClient = m_net.spawnHere({peerProgram(), "udp-client", m_net.peerAddr(),
                                             std::to_string(kUdpPort), "500", "20", "300"});
    ASSERT_EQ(m_net.waitExit(udpClient, 10000), 0);

    // UDP: 20 datagrams of 500 bytes each way, 28 header bytes each; one event per packet, or
    // per flow and read interval.
    ASSERT_TRUE(waitFor([&] {
        const Sums s = sumEvents(eventsFor(kNetIoUdp, kUdpPort), 0);
        return s.sent >= 20u * 528u && s.received >= 20u * 528u;
    }, 10000)) << describe();
    const std::vector<SeenEvent> udp = eventsFor(kNetIoUdp, kUdpPort);
    const Sums u = sumEvents(udp, uint32_t(udpClient));
    EXPECT_GE(u.events, 2u);
    EXPECT_LE(u.events, 40u);
    EXPECT_EQ(u.wrongPid, 0u);
    EXPECT_EQ(u.sent, 20u * 528u);
    EXPECT_EQ(u.received, 20u * 528u);
    EXPECT_NE(udp.front().io.localPort, 0u);
    for (const SeenEvent& e : udp)
        EXPECT_EQ(e.io.localPort, udp.front().io.localPort);

    // TCP: the payload plus headers, handshake and acknowledgements. A flow's two directions
    // are two events, and the reader may take the second one up to 100 ms after the first.
    ASSERT_TRUE(waitFor([&] {
        const Sums s = sumEvents(eventsFor(kNetIoTcp, kTcpPort), 0);
        return s.sent > 200000 && s.received >= 100000;
    }, 10000));
    const std::vector<SeenEvent> tcp = eventsFor(kNetIoTcp, kTcpPort);
    const Sums t = sumEvents(tcp, uint32_t(tcpClient));
    EXPECT_EQ(t.wrongPid, 0u) << describe();
    EXPECT_GT(t.sent, 200000u);
    EXPECT_LT(t.sent, 200000u * 11 / 10);
    EXPECT_GT(t.received, 100000u);
    EXPECT_LT(t.received, 100000u * 11 / 10 + 20000);
    for (const SeenEvent& e : tcp)
        EXPECT_EQ(e.io.localPort, 0u);

    // The per-process totals grew by exactly what was delivered for each program.
    std::map<uint32_t, IoTriple> totals;
    drainNetTotals(totals);
    EXPECT_EQ(totals[uint32_t(udpClient)].out, u.sent);
    EXPECT_EQ(totals[uint32_t(udpClient)].in, u.received);
    EXPECT_EQ(totals[uint32_t(tcpClient)].out, t.sent);
    EXPECT_EQ(totals[uint32_t(tcpClient)].in, t.received);
}

TEST_F(HostInfoEndToEnd, ShortLivedConnectionIsAttributedToItsProgram)
{
    startServers();
    openNetworkGates();
    const pid_t client = m_net.spawnHere({peerProgram(), "tcp-client", m_net.peerAddr(),
                                          std::to_string(kTcpPort), "1000", "100"});
    ASSERT_EQ(m_net.waitExit(client, 10000), 0);
    ASSERT_TRUE(waitFor([&] {
        const Sums s = sumEvents(eventsFor(kNetIoTcp, kTcpPort), 0);
        return s.sent > 1000 && s.received >= 100000;
    }, 10000)) << describe();
    const Sums s = sumEvents(eventsFor(kNetIoTcp, kTcpPort), uint32_t(client));
    EXPECT_EQ(s.wrongPid, 0u) << describe();
    std::map<uint32_t, IoTriple> totals;
    drainNetTotals(totals);
    EXPECT_EQ(totals[uint32_t(client)].out, s.sent);
    EXPECT_EQ(totals[uint32_t(client)].in, s.received);
}

TEST_F(HostInfoEndToEnd, DiskWritesAreReportedForTheWriter)
{
    const std::string dir = std::string(E2E_SCRATCH_DIR);
    // Our own writes open the disk gate first.
    ASSERT_TRUE(waitFor([&] {
        const std::string path = dir + "/gate.bin";
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char> block(65536, 'g');
        (void)!write(fd, block.data(), block.size());
        fsync(fd);
        close(fd);
        unlink(path.c_str());
        return m_trace->gateOpen(XKernelIoTrace::kGateDisk);
    }, 6000)) << "no disk events";

    const std::string path = dir + "/written-" + std::to_string(getpid()) + ".bin";
    const uint64_t bytes = 8u << 20;
    const pid_t writer = m_net.spawnHere({peerProgram(), "write-file", path, std::to_string(bytes), "2500"});
    ASSERT_TRUE(m_net.waitForLine(writer, "done", 10000));
    uint64_t written = 0;
    waitFor([&] {
        std::vector<IoTriple> triples;
        m_info->getDiskIO(triples);
        for (const IoTriple& t : triples)
            if (t.pid == uint32_t(writer))
                written += t.out;
        return written >= bytes;
    }, 4000);
    EXPECT_GE(written, bytes);
    EXPECT_LT(written, bytes + (1u << 20));
    m_net.waitExit(writer, 5000);
    unlink(path.c_str());
}

} // namespace
