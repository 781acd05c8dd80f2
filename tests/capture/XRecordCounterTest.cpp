#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "TestProcessInfo.h"
#include "capture/XPacketCounter.h"

namespace {

constexpr uint16_t kPort80 = 0x5000;  // 80 in network order
constexpr uint16_t kPort53 = 0x3500;

class PacketCounterTest : public ::testing::Test {
protected:
    void SetUp() override { counter.init(processes.get(), nullptr); }

    std::unique_ptr<XPCProcessInfo> processes =
        makeProcessInfo({{1234, "/usr/lib/firefox/firefox-bin"}, {4, "/sbin/system"}});
    XPacketCounter counter{0, 0};
};

TEST_F(PacketCounterTest, FirstEventCreatesRecordLaterEventsKeepPortsAndName)
{
    const uint32_t ip = 0xC0000201;  // 192.0.2.1
    counter.count(ip, kPort80, 0, 1040, 1, 1234);
    ASSERT_EQ(counter.size(), 1);

    _X_R_PACKETCOUNTER r{};
    ASSERT_TRUE(counter.getIPdata(ip, r));
    EXPECT_EQ(r.bytes[1], 1040);
    EXPECT_EQ(r.packets[1], 1);
    EXPECT_EQ(r.bytes[0], 0);
    EXPECT_EQ(r.packets[0], 0);
    EXPECT_EQ(r.remotePort, kPort80);
    EXPECT_EQ(r.localPort, 0);
    EXPECT_STREQ(r.programName, "firefox-bin");

    counter.count(ip, kPort53, 0x1111, 500, 0, 999);
    ASSERT_TRUE(counter.getIPdata(ip, r));
    EXPECT_EQ(r.bytes[0], 500);
    EXPECT_EQ(r.packets[0], 1);
    EXPECT_EQ(r.remotePort, kPort80);
    EXPECT_EQ(r.localPort, 0);
    EXPECT_STREQ(r.programName, "firefox-bin");
    EXPECT_EQ(counter.size(), 1);
    EXPECT_FALSE(counter.getIPdata(ip + 1, r));

    in_addr shown{};
    shown.s_addr = htonl(ip);
    EXPECT_STREQ(inet_ntoa(shown), "192.0.2.1");
}

TEST_F(PacketCounterTest, IdleAndSystemProcessesLeaveTheNameEmpty)
{
    counter.count(1, kPort80, 0, 10, 0, 4);
    counter.count(2, kPort80, 0, 10, 0, 0);
    _X_R_PACKETCOUNTER r{};
    ASSERT_TRUE(counter.getIPdata(1, r));
    EXPECT_STREQ(r.programName, "");
    ASSERT_TRUE(counter.getIPdata(2, r));
    EXPECT_STREQ(r.programName, "");
}

TEST_F(PacketCounterTest, UdpRecordKeepsBothPortsAsDelivered)
{
    counter.count(7, kPort53, 0x3930, 60, 0, 0);
    _X_R_PACKETCOUNTER r{};
    ASSERT_TRUE(counter.getIPdata(7, r));
    EXPECT_EQ(ntohs(r.remotePort), 53);
    EXPECT_EQ(ntohs(r.localPort), 12345);
}

TEST_F(PacketCounterTest, DirectionOutsideZeroAndOneIsNotCountedAnywhere)
{
    counter.count(9, kPort80, 0, 100, 2, 0);
    counter.count(9, kPort80, 0, 100, -1, 0);
    EXPECT_EQ(counter.size(), 0);
    EXPECT_EQ(counter.getTotalBytes(2), 0);
    counter.count(9, kPort80, 0, 100, 0, 0);
    counter.count(9, kPort80, 0, 100, 5, 0);
    _X_R_PACKETCOUNTER r{};
    ASSERT_TRUE(counter.getIPdata(9, r));
    EXPECT_EQ(r.packets[0] + r.packets[1], 1);
}

TEST_F(PacketCounterTest, TotalsAndStatDataReportSentBeforeReceived)
{
    counter.count(1, kPort80, 0, 100, 0, 0);
    counter.count(2, kPort80, 0, 300, 1, 0);
    counter.count(2, kPort80, 0, 50, 1, 0);
    EXPECT_EQ(counter.getTotalBytes(0), 100);
    EXPECT_EQ(counter.getTotalBytes(1), 350);
    EXPECT_EQ(counter.getTotalBytes(2), counter.getTotalBytes(0) + counter.getTotalBytes(1));
    EXPECT_EQ(counter.getTotalPackets(7), 3);

    _X_PACKETCOUNTER_STATDATA s{};
    counter.getStatData(s);
    EXPECT_EQ(s.bytesSent, 350);
    EXPECT_EQ(s.bytesReceived, 100);
    EXPECT_EQ(s.packetsSent, 2);
    EXPECT_EQ(s.packetsReceived, 1);
    EXPECT_EQ(s.addresses, 2);
    EXPECT_TRUE(counter.match(0, 0, 1));
    EXPECT_FALSE(counter.match(0, 0, 2));
}

TEST_F(PacketCounterTest, GetIPsIsAscendingAndStopsAtMaxOrAnOlderRecord)
{
    for (uint32_t ip : {50u, 3u, 0xFFFFFFF0u, 20u})
        counter.count(ip, kPort80, 0, 1, 0, 0);
    unsigned long ips[8] = {};
    unsigned long ticks[8] = {};
    ASSERT_EQ(counter.getIPs(ips, ticks, 0, 8), 4);
    EXPECT_EQ(ips[0], 3u);
    EXPECT_EQ(ips[1], 20u);
    EXPECT_EQ(ips[2], 50u);
    EXPECT_EQ(ips[3], 0xFFFFFFF0u);
    EXPECT_EQ(counter.getIPs(ips, ticks, 0, 2), 2);
    EXPECT_EQ(counter.getIPs(ips, ticks, ticks[0] + 1000000, 8), 0);
    EXPECT_EQ(counter.getIPs(ips, ticks, 0, 0), 0);
}

TEST_F(PacketCounterTest, ThresholdQueryIsStrictlyAboveAndPicksTheMeasure)
{
    counter.count(1, kPort80, 0, 1000, 0, 0);
    counter.count(1, kPort80, 0, 24, 1, 0);  // 1024 in total
    counter.count(2, kPort80, 0, 1000, 0, 0);
    counter.count(2, kPort80, 0, 23, 1, 0);  // 1023 in total
    _X_PACKETCOUNTER_ITEMDATA items[4] = {};

    ASSERT_EQ(counter.getItemIPs(3, items, 1023.0, 4), 1);
    EXPECT_EQ(items[0].address, 1u);
    EXPECT_EQ(items[0].value, 1024);

    EXPECT_EQ(counter.getItemIPs(1, items, 999.0, 4), 2);
    EXPECT_EQ(counter.getItemIPs(2, items, 23.0, 4), 1);
    EXPECT_EQ(counter.getItemIPs(4, items, 0.5, 4), 2);
    EXPECT_EQ(counter.getItemIPs(5, items, 0.5, 4), 2);
    ASSERT_EQ(counter.getItemIPs(6, items, 1.5, 4), 2);
    EXPECT_EQ(items[0].value, 2);
    EXPECT_EQ(counter.getItemIPs(6, items, 1.5, 1), 1);
    EXPECT_EQ(counter.getItemIPs(9, items, 0.0, 4), 0);
}

TEST_F(PacketCounterTest, ClearEmptiesReadsAtOnceAndTheNextEventStartsAFreshSet)
{
    counter.count(1, kPort80, 0, 10, 0, 0);
    counter.count(2, kPort80, 0, 10, 1, 0);
    counter.clear();

    EXPECT_EQ(counter.size(), 0);
    _X_R_PACKETCOUNTER r{};
    EXPECT_FALSE(counter.getIPdata(1, r));
    unsigned long ips[4], ticks[4];
    EXPECT_EQ(counter.getIPs(ips, ticks, 0, 4), 0);
    _X_PACKETCOUNTER_ITEMDATA items[4];
    EXPECT_EQ(counter.getItemIPs(3, items, -1.0, 4), 0);
    _X_R_PACKETCOUNTER* ptrs[4];
    EXPECT_EQ(counter.getCounters(ptrs, 4), 0);
    EXPECT_EQ(counter.getTotalBytes(2), 0);

    counter.count(3, kPort80, 0, 7, 0, 0);
    ASSERT_EQ(counter.size(), 1);
    ASSERT_EQ(counter.getCounters(ptrs, 4), 1);
    EXPECT_EQ(ptrs[0]->address, 3u);
    EXPECT_FALSE(counter.getIPdata(1, r));
    EXPECT_EQ(counter.getTotalBytes(2), 7);
}

TEST_F(PacketCounterTest, PoolKeeps2049AddressesInTwoStableBlocks)
{
    counter.count(100000, kPort80, 0, 1, 0, 0);
    _X_R_PACKETCOUNTER* first = nullptr;
    ASSERT_EQ(counter.getCounters(&first, 1), 1);

    for (uint32_t i = 1; i < 2049; ++i)
        counter.count(100000 + i, kPort80, 0, 1, 0, 0);
    EXPECT_EQ(counter.size(), 2049);
    EXPECT_EQ(counter.blockCount(), 2);

    std::vector<_X_R_PACKETCOUNTER*> ptrs(3000);
    ASSERT_EQ(counter.getCounters(ptrs.data(), 3000), 2049);
    EXPECT_EQ(ptrs[0], first);
    for (int i = 0; i < 2049; ++i)
        EXPECT_EQ(ptrs[size_t(i)]->address, 100000u + uint32_t(i)) << i;
    EXPECT_EQ(counter.getCounters(ptrs.data(), 10), 10);
}

TEST_F(PacketCounterTest, FullPoolDropsTheRecordCountsItAndKeepsTotals)
{
    counter.setMaxBlocks(1);
    for (uint32_t i = 0; i < 2049; ++i)
        counter.count(i + 1, kPort80, 0, 1, 0, 0);
    EXPECT_EQ(counter.size(), 2048);
    EXPECT_EQ(counter.poolFailures(), 1u);
    EXPECT_EQ(counter.getTotalPackets(0), 2049);
    _X_R_PACKETCOUNTER r{};
    EXPECT_FALSE(counter.getIPdata(2049, r));
    // The address without a record is still in the ledger's counts.
    std::vector<XNetPair> pairs;
    counter.takePairs(pairs, 6);
    ASSERT_EQ(pairs.size(), 2049u);
    EXPECT_EQ(pairs.back().remoteAddress, 2049u);
    EXPECT_EQ(pairs.back().bytes[0], 1u);
}

TEST_F(PacketCounterTest, LedgerPairsSplitASharedAddressByProcessAndPortAndOutliveAClear)
{
    const uint32_t ip = 0xC0000201;
    counter.count(ip, htons(443), 0, 100, 1, 1234);
    counter.count(ip, htons(443), 0, 40, 0, 1234);
    counter.count(ip, htons(443), 0, 50, 0, 999);        // another program, same address
    counter.count(ip, htons(50000), 0, 7, 1, 1234);     // a port above 1024: no class
    counter.count(ip + 1, htons(5353), htons(40000), 9, 1, 0);  // below the local port: its class
    counter.clear();
    counter.count(ip, htons(443), 0, 1, 1, 1234);       // after the clear: a new record's cell

    std::vector<XNetPair> pairs;
    counter.takePairs(pairs, 17);
    std::map<std::tuple<uint32_t, uint32_t, uint16_t>, XNetPair> byKey;
    uint64_t bytes = 0;
    for (const XNetPair& p : pairs) {
        EXPECT_EQ(p.protocol, 17);
        XNetPair& sum = byKey[{p.pid, p.remoteAddress, p.portClass}];
        for (int d = 0; d < 2; ++d) {
            sum.bytes[d] += p.bytes[d];
            sum.packets[d] += p.packets[d];
        }
        bytes += p.bytes[0] + p.bytes[1];
    }
    EXPECT_EQ(bytes, 207u);
    ASSERT_EQ(byKey.size(), 4u);
    const XNetPair& firefox = byKey[{1234, ip, 443}];
    EXPECT_EQ(firefox.bytes[1], 101u);
    EXPECT_EQ(firefox.bytes[0], 40u);
    EXPECT_EQ(firefox.packets[1], 2u);
    EXPECT_EQ((byKey[{999, ip, 443}].bytes[0]), 50u);
    EXPECT_EQ((byKey[{1234, ip, 0}].bytes[1]), 7u);
    EXPECT_EQ((byKey[{0, ip + 1, 5353}].bytes[1]), 9u);

    pairs.clear();
    counter.takePairs(pairs, 17);
    EXPECT_TRUE(pairs.empty());  // handed out once
}

} // namespace
