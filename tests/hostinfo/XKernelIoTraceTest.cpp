#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>
#include <vector>

#include "FakeIoEventSource.h"
#include "hostinfo/XKernelIoTrace.h"

namespace {

using platform::DiskEvent;
using platform::NetEvent;

constexpr uint32_t kRemote = 0x0201000A;  // 10.0.1.2 in memory order

class KernelIoTraceTest : public ::testing::Test {
protected:
    KernelIoTraceTest() : m_trace(std::make_unique<FakeIoEventSource>()) {}

    NetEvent net(uint8_t protocol, uint8_t direction, uint32_t size, uint64_t after = 1) const
    {
        NetEvent e;
        e.timestamp = m_trace.startTime() + after;
        e.pid = 42;
        e.size = size;
        e.remoteAddr = kRemote;
        e.remotePort = 0x5000;
        e.localPort = 0x3930;
        e.protocol = protocol;
        e.direction = direction;
        return e;
    }

    DiskEvent disk(uint32_t pid, uint64_t read, uint64_t written) const
    {
        return DiskEvent{m_trace.startTime() + 1, pid, read, written};
    }

    // Opens every gate with one event per class, then forgets what those events added.
    void openGates()
    {
        m_trace.onNetEvent(net(platform::kProtoTcp, 0, 1));
        m_trace.onNetEvent(net(platform::kProtoUdp, 0, 1));
        m_trace.onDiskEvent(disk(1, 0, 0));
        ORVANEPRO_NetIo io{};
        while (m_trace.ring()->pending() > 0)
            m_trace.ring()->popNetIo(&io);
        std::vector<IoTriple> out;
        m_trace.getDiskIO(out);
    }

    XKernelIoTrace m_trace;
};

TEST_F(KernelIoTraceTest, GateDropsOnlyEventsFromBeforeTheStartPerClass)
{
    m_trace.enableNetEvents();
    NetEvent early = net(platform::kProtoTcp, 1, 100, 0);  // stamped exactly at the start
    m_trace.onNetEvent(early);
    m_trace.onNetEvent(early);
    EXPECT_FALSE(m_trace.gateOpen(XKernelIoTrace::kGateTcp));
    EXPECT_EQ(m_trace.ring()->pending(), 0);
    m_trace.onNetEvent(net(platform::kProtoTcp, 1, 100));  // the first real event is counted
    EXPECT_TRUE(m_trace.gateOpen(XKernelIoTrace::kGateTcp));
    EXPECT_EQ(m_trace.ring()->pending(), 1);
    m_trace.onNetEvent(early);  // once open, the gate no longer looks at time stamps
    EXPECT_EQ(m_trace.ring()->pending(), 2);

    // UDP and disk have gates of their own; their first real events are counted too.
    EXPECT_FALSE(m_trace.gateOpen(XKernelIoTrace::kGateUdp));
    m_trace.onNetEvent(net(platform::kProtoUdp, 1, 100, 0));
    EXPECT_EQ(m_trace.ring()->pending(), 2);
    m_trace.onNetEvent(net(platform::kProtoUdp, 1, 100));
    EXPECT_EQ(m_trace.ring()->pending(), 3);
    m_trace.onDiskEvent(disk(7, 10, 20));
    std::vector<IoTriple> out;
    m_trace.getDiskIO(out);
    EXPECT_EQ(out.size(), 1u);
    EXPECT_EQ(m_trace.stats().gatedEvents, 3u);
}

TEST(KernelIoTracePerFlowTest, PerFlowCountsAreNotHeldBackAtTheStartAndKeepTheirPackets)
{
    // Its first event may sum all a flow carried in its first read.
    XKernelIoTrace trace(std::make_unique<FakeIoEventSource>(true, "ebpf"));
    trace.enableNetEvents();
    NetEvent e;
    e.timestamp = trace.startTime() + 1;
    e.pid = 42;
    e.size = 150000;
    e.packets = 104;
    e.remoteAddr = kRemote;
    e.protocol = platform::kProtoTcp;
    e.direction = 1;
    trace.onNetEvent(e);
    ORVANEPRO_NetIo io{};
    ASSERT_EQ(trace.ring()->popNetIo(&io), 1);
    EXPECT_EQ(io.bytesSent, 150000u);
    EXPECT_EQ(io.packets, 104u);
    EXPECT_TRUE(trace.ownersExact());
    EXPECT_EQ(trace.stats().gatedEvents, 0u);
}

TEST_F(KernelIoTraceTest, NetworkEventsNeedEnablingAndSkipLoopback)
{
    openGates();
    m_trace.onNetEvent(net(platform::kProtoTcp, 1, 100));
    EXPECT_EQ(m_trace.ring()->pending(), 0);  // not enabled yet
    m_trace.enableNetEvents();
    NetEvent loop = net(platform::kProtoTcp, 1, 100);
    loop.remoteAddr = kLoopbackNetOrder;
    m_trace.onNetEvent(loop);
    EXPECT_EQ(m_trace.ring()->pending(), 0);
    m_trace.onNetEvent(net(platform::kProtoTcp, 0, 1040));
    m_trace.onNetEvent(net(platform::kProtoUdp, 1, 128));

    ORVANEPRO_NetIo tcp{}, udp{};
    ASSERT_EQ(m_trace.ring()->popNetIo(&tcp), 1);
    ASSERT_EQ(m_trace.ring()->popNetIo(&udp), 1);
    EXPECT_EQ(tcp.protocol, kNetIoTcp);
    EXPECT_EQ(tcp.bytesReceived, 1040u);
    EXPECT_EQ(tcp.localPort, 0);  // TCP events carry no local port
    EXPECT_EQ(tcp.processId, 42u);
    EXPECT_EQ(udp.protocol, kNetIoUdp);
    EXPECT_EQ(udp.bytesSent, 128u);
    EXPECT_EQ(udp.localPort, 0x3930);
    EXPECT_EQ(udp.remoteAddr, kRemote);
}

TEST_F(KernelIoTraceTest, DiskTotalsPerProcessDrainAndFoldBeyondTheBound)
{
    openGates();
    m_trace.onDiskEvent(disk(0, 512, 0));  // the idle process is charged to the system process
    m_trace.onDiskEvent(disk(100, 1000, 2000));
    m_trace.onDiskEvent(disk(100, 24, 48));
    m_trace.onDiskEvent(disk(200, 6ull << 30, 0));  // beyond 32 bits in one interval
    std::vector<IoTriple> drained;
    m_trace.getDiskIO(drained);
    std::map<uint32_t, IoTriple> out;
    for (const IoTriple& t : drained)
        out[t.pid] = t;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[4].in, 512u);
    EXPECT_EQ(out[100].in, 1024u);
    EXPECT_EQ(out[100].out, 2048u);
    EXPECT_EQ(out[200].in, 6ull << 30);
    m_trace.getDiskIO(drained);
    EXPECT_TRUE(drained.empty());  // drained

    // Far more processes than the old fixed table held all keep their own totals; beyond the
    // bound the bytes go to pid 0, counted.
    const uint32_t many = uint32_t(ProcessIoTable::kMaxProcesses) + 3;
    for (uint32_t pid = 1000; pid < 1000 + many; ++pid)
        m_trace.onDiskEvent(disk(pid, 1, 2));
    EXPECT_EQ(m_trace.stats().diskFolded, 3u);
    m_trace.getDiskIO(drained);
    uint64_t read = 0, folded = 0;
    for (const IoTriple& t : drained) {
        read += t.in;
        folded += t.pid == 0 ? t.in : 0;
    }
    EXPECT_EQ(drained.size(), ProcessIoTable::kMaxProcesses + 1);
    EXPECT_EQ(read, many);
    EXPECT_EQ(folded, 3u);
}

TEST(KernelIoTraceLifecycle, StopEndsTheConsumerThreadOnceStarted)
{
    XKernelIoTrace trace(std::make_unique<FakeIoEventSource>());
    trace.startTraceThread();
    trace.startTraceThread();  // a second start does nothing
    for (int i = 0; i < 200 && !trace.stats().running; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(trace.stats().running);
    trace.stopTrace();
    EXPECT_FALSE(trace.stats().running);
    trace.stopTrace();  // idempotent
}

TEST(KernelIoTraceLifecycle, RefusedSourceEndsQuietly)
{
    XKernelIoTrace trace(std::make_unique<FakeIoEventSource>(false));
    trace.startTraceThread();
    trace.stopTrace();
    EXPECT_FALSE(trace.stats().running);
    std::vector<IoTriple> out;
    trace.getDiskIO(out);
    EXPECT_TRUE(out.empty());
}

} // namespace
