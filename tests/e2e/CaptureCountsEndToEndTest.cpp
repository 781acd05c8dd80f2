// Byte and packet counts of the kernel I/O event source against real traffic from a test
// host: the first datagrams after the start, datagrams larger than the link's MTU, and a burst
// of new flows.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "TestNetwork.h"
#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XPCProcessInfo.h"

namespace {

constexpr int kUdpPort = 7302;

class CaptureCountsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!m_net.create(why))
            GTEST_SKIP() << why;
        ASSERT_GT(m_net.spawnInside({peerProgram(), "udp-echo", std::to_string(kUdpPort)}), 0);
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

    // Keeps every UDP event of the test host's echo port.
    void pump()
    {
        const uint32_t peer = m_net.peerAddrNetOrder();
        ORVANEPRO_NetIo io;
        while (!m_stopPump) {
            if (!m_trace->ring()->popNetIo(&io))
                continue;
            m_info->addNetData(io);
            const uint16_t burstPort = m_burstPort.load(std::memory_order_relaxed);
            if (burstPort != 0 && io.localPort == burstPort && io.direction == kNetIoSend &&
                ntohl(io.remoteAddr) - m_burstFirst.load(std::memory_order_relaxed) < (1u << 18)) {
                m_burstPackets.fetch_add(io.packets > 1 ? io.packets : 1, std::memory_order_relaxed);
                continue;
            }
            if (io.remoteAddr != peer || io.protocol != kNetIoUdp || io.remotePort != htons(kUdpPort))
                continue;
            std::lock_guard<std::mutex> guard(m_mutex);
            m_events.push_back(io);
        }
    }

    struct Totals {
        size_t sends = 0, receives = 0;
        uint64_t sent = 0, received = 0;
        size_t foreignPids = 0;
    };

    Totals totals(uint32_t pid)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        Totals t;
        for (const ORVANEPRO_NetIo& e : m_events) {
            // An event stands for one packet (pcap) or a flow's packets of one read (eBPF).
            (e.direction == kNetIoSend ? t.sends : t.receives) += e.packets > 1 ? e.packets : 1;
            t.sent += e.bytesSent;
            t.received += e.bytesReceived;
            t.foreignPids += e.processId != pid;
        }
        return t;
    }

    // Runs the UDP client: count datagrams of size bytes, each echoed back.
    pid_t exchange(int size, int count)
    {
        const pid_t client = m_net.spawnHere({peerProgram(), "udp-client", m_net.peerAddr(), std::to_string(kUdpPort),
                                              std::to_string(size), std::to_string(count), "300"});
        EXPECT_EQ(m_net.waitExit(client, 10000), 0);
        return client;
    }

    TestNetwork m_net;
    std::unique_ptr<XKernelIoTrace> m_trace;
    std::unique_ptr<XPCProcessInfo> m_info;
    std::thread m_pump;
    std::atomic<bool> m_stopPump{false};
    std::mutex m_mutex;
    std::vector<ORVANEPRO_NetIo> m_events;
    std::atomic<uint16_t> m_burstPort{0};  // network order
    std::atomic<uint32_t> m_burstFirst{0}; // host order
    std::atomic<uint64_t> m_burstPackets{0};
};

TEST_F(CaptureCountsEndToEnd, FirstDatagramsAfterTheStartAreCounted)
{
    // Nothing of ours is sent before: the start gate meets these datagrams first.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const pid_t client = exchange(100, 10);
    ASSERT_TRUE(waitFor([&] { return totals(uint32_t(client)).receives >= 10; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Totals t = totals(uint32_t(client));
    EXPECT_EQ(t.sends, 10u);
    EXPECT_EQ(t.receives, 10u);
    EXPECT_EQ(t.sent, 10u * 128u);
    EXPECT_EQ(t.received, 10u * 128u);
}

TEST_F(CaptureCountsEndToEnd, DatagramsLargerThanTheMtuAreCountedWhole)
{
    // Five 8000-byte datagrams each way through a 1500-byte MTU: six fragments and 8128 bytes
    // on the wire per datagram, every fragment the client's. The eBPF source counts at the
    // socket, which sends and receives each datagram whole: one packet of 8028 bytes.
    const bool perSocket = m_trace->sourceStatus() == "ebpf";
    const uint64_t bytes = perSocket ? 8028u : 8128u;
    const size_t packets = perSocket ? 5u : 30u;
    const pid_t client = exchange(8000, 5);
    ASSERT_TRUE(waitFor([&] { return totals(uint32_t(client)).received >= 5u * bytes; }, 5000))
        << "received " << totals(uint32_t(client)).received << ", fragments "
        << m_trace->stats().source.fragments;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const Totals t = totals(uint32_t(client));
    EXPECT_EQ(t.sent, 5u * bytes);
    EXPECT_EQ(t.received, 5u * bytes);
    EXPECT_EQ(t.sends, packets);
    EXPECT_EQ(t.receives, packets);
    EXPECT_EQ(t.foreignPids, 0u);
    if (!perSocket) {
        EXPECT_GE(m_trace->stats().source.fragments, 50u);
    }
}

TEST_F(CaptureCountsEndToEnd, ABurstOfNewFlowsIsCountedWhole)
{
    if (m_trace->sourceStatus() != "ebpf")
        GTEST_SKIP() << "only the eBPF source counts per flow in the kernel: " << m_trace->sourceStatus();
    // 300 000 new flows as fast as one socket sends them: two ports on each of 150 000
    // addresses routed to the test host, which drops them quietly. More than one flow map
    // holds.
    const int b = 20 + 4 * int(getpid() % 5);
    const std::string prefix = "10." + std::to_string(b) + ".0.0/14";
    ASSERT_EQ(std::system(("ip route add " + prefix + " via " + m_net.peerAddr() + " dev " + m_net.hostInterface()).c_str()), 0);
    ASSERT_EQ(std::system(("ip netns exec " + m_net.name() + " ip route add blackhole " + prefix).c_str()), 0);
    const uint32_t first = uint32_t(b) << 24;
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    socklen_t len = sizeof local;
    getsockname(s, reinterpret_cast<sockaddr*>(&local), &len);
    m_burstFirst = first;
    m_burstPort = local.sin_port;

    constexpr uint32_t kFlows = 300000;
    constexpr unsigned kBatch = 64;
    char payload[8] = {};
    iovec iov{payload, sizeof payload};
    sockaddr_in to[kBatch];
    mmsghdr msgs[kBatch];
    uint32_t sent = 0;
    for (uint32_t i = 0; i < kFlows;) {
        const unsigned n = std::min<uint32_t>(kBatch, kFlows - i);
        for (unsigned k = 0; k < n; ++k) {
            to[k] = sockaddr_in{};
            to[k].sin_family = AF_INET;
            to[k].sin_addr.s_addr = htonl(first + (i + k) / 2);
            to[k].sin_port = htons(uint16_t(9 + (i + k) % 2));
            msgs[k] = mmsghdr{};
            msgs[k].msg_hdr.msg_name = &to[k];
            msgs[k].msg_hdr.msg_namelen = sizeof to[k];
            msgs[k].msg_hdr.msg_iov = &iov;
            msgs[k].msg_hdr.msg_iovlen = 1;
        }
        const int done = sendmmsg(s, msgs, n, 0);
        if (done <= 0) {
            ASSERT_TRUE(errno == ENOBUFS || errno == EAGAIN || errno == EINTR) << std::strerror(errno);
            continue;
        }
        i += uint32_t(done);
        sent += uint32_t(done);
    }
    close(s);
    EXPECT_TRUE(waitFor([&] { return m_burstPackets.load() >= sent; }, 20000));
    EXPECT_EQ(m_burstPackets.load(), sent);
    EXPECT_EQ(m_trace->stats().source.flowMapFullPackets, 0u);
}

} // namespace
