#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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
        IoTriple out[kMaxProcessTotals];
        m_trace.getDiskIO(out, kMaxProcessTotals);
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
    IoTriple out[kMaxProcessTotals];
    EXPECT_EQ(m_trace.getDiskIO(out, kMaxProcessTotals), 1);
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

TEST_F(KernelIoTraceTest, DiskTotalsPerProcessDrainAndWhatAnIntervalCannotHoldWaits)
{
    openGates();
    m_trace.onDiskEvent(disk(0, 512, 0));  // the idle process is charged to the system process
    m_trace.onDiskEvent(disk(100, 1000, 2000));
    m_trace.onDiskEvent(disk(100, 24, 48));
    IoTriple out[kMaxProcessTotals];
    ASSERT_EQ(m_trace.getDiskIO(out, kMaxProcessTotals), 2);
    EXPECT_EQ(out[0].pid, 4u);
    EXPECT_EQ(out[0].in, 512u);
    EXPECT_EQ(out[1].pid, 100u);
    EXPECT_EQ(out[1].in, 1024u);
    EXPECT_EQ(out[1].out, 2048u);
    EXPECT_EQ(m_trace.getDiskIO(out, kMaxProcessTotals), 0);  // drained

    // A 51st process waits for the next interval, and what it adds meanwhile joins it.
    for (uint32_t pid = 1000; pid < 1051; ++pid)
        m_trace.onDiskEvent(disk(pid, 1, 1));
    ASSERT_EQ(m_trace.getDiskIO(out, kMaxProcessTotals), 50);
    EXPECT_EQ(out[49].pid, 1049u);
    m_trace.onDiskEvent(disk(1050, 7, 7));
    ASSERT_EQ(m_trace.getDiskIO(out, kMaxProcessTotals), 1);
    EXPECT_EQ(out[0].pid, 1050u);
    EXPECT_EQ(out[0].in, 8u);
    EXPECT_EQ(m_trace.stats().diskDropped, 0u);

    // A drain into less room copies what fits; the rest comes with the next one.
    m_trace.onDiskEvent(disk(1, 1, 1));
    m_trace.onDiskEvent(disk(2, 1, 1));
    EXPECT_EQ(m_trace.getDiskIO(out, 1), 1);
    ASSERT_EQ(m_trace.getDiskIO(out, kMaxProcessTotals), 1);
    EXPECT_EQ(out[0].pid, 2u);

    // More than a 32-bit total holds (a lump after a long interval) spreads over intervals.
    const uint64_t lump = 5ull << 30;
    m_trace.onDiskEvent(disk(3, 0, lump));
    uint64_t written = 0;
    for (int i = 0; i < 3; ++i)
        for (int k = m_trace.getDiskIO(out, kMaxProcessTotals); k > 0; --k)
            written += out[k - 1].out;
    EXPECT_EQ(written, lump);
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
    IoTriple out[4];
    EXPECT_EQ(trace.getDiskIO(out, 4), 0);
}

} // namespace
