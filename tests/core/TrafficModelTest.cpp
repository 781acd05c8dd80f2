#include "core/TrafficModel.h"

#include "TestEngine.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

class TrafficModelTest : public ::testing::Test {
protected:
    TestEngine test;
    TrafficModel model{test.engine()};
};

} // namespace

TEST_F(TrafficModelTest, MissingResultGivesNoItems)
{
    EXPECT_EQ(model.refreshList(kTrafficTcp, true), 0);
    EXPECT_EQ(model.refreshList(kTrafficUdp, true), 0);
    EXPECT_EQ(model.refreshList(XTrafficKind(7), true), 0);
    TrafficTotals totals;
    totals.sentBytes[0] = 99;
    model.statTotals(totals);
    EXPECT_EQ(totals.sentBytes[0], 0);
    EXPECT_EQ(totals.addresses[1], 0u);
    XTrafficRow row;
    EXPECT_FALSE(model.itemDataAt(kTrafficTcp, 0, row));
}

TEST_F(TrafficModelTest, PositionAndAddressLookupsStayInBounds)
{
    test.count(kTrafficTcp, 0x0A000001, 100, 1);
    test.count(kTrafficTcp, 0x0A000002, 100, 1);
    ASSERT_EQ(model.refreshList(kTrafficTcp, true), 2);
    EXPECT_EQ(model.ipAt(kTrafficTcp, -1), 0u);
    EXPECT_EQ(model.ipAt(kTrafficTcp, 2), 0u);
    EXPECT_EQ(model.ipAt(XTrafficKind(3), 0), 0u);
    EXPECT_EQ(model.ipAt(XTrafficKind(-1), 0), 0u);
    EXPECT_EQ(model.indexOfIp(kTrafficTcp, 0), -1);
    EXPECT_EQ(model.indexOfIp(kTrafficTcp, 0x0A000009), -1);
    EXPECT_EQ(model.indexOfIp(XTrafficKind(5), 0x0A000001), -1);
    EXPECT_EQ(model.indexOfIp(kTrafficTcp, model.ipAt(kTrafficTcp, 1)), 1);
    XTrafficRow row;
    EXPECT_FALSE(model.itemDataAt(kTrafficTcp, 2, row));
    ASSERT_TRUE(model.itemDataAt(kTrafficTcp, 0, row));
    EXPECT_EQ(row.bytes[1], 100);
}

TEST_F(TrafficModelTest, SortsMostRecentFirstByAgeAcrossTickWrap)
{
    // Three addresses: one seen just before the 32-bit tick wrapped, two after it. Raw stamps
    // would put the oldest first.
    test.now = 0xFFFFFF00u;
    test.count(kTrafficTcp, 0x0A000001, 10, 0);
    test.now = 200;
    test.count(kTrafficTcp, 0x0A000002, 10, 0);
    test.now = 100;
    test.count(kTrafficTcp, 0x0A000003, 10, 0);
    test.now = 300;
    ASSERT_EQ(model.refreshList(kTrafficTcp, true), 3);
    EXPECT_EQ(model.ipAt(kTrafficTcp, 0), 0x0A000002u);
    EXPECT_EQ(model.ipAt(kTrafficTcp, 1), 0x0A000003u);
    EXPECT_EQ(model.ipAt(kTrafficTcp, 2), 0x0A000001u);
    EXPECT_EQ(model.list(kTrafficTcp)[2].lastUpdate, 0xFFFFFF00u);
}

TEST_F(TrafficModelTest, ListFollowsTheCounterAfterAClear)
{
    for (uint32_t i = 1; i <= 5; ++i)
        test.count(kTrafficUdp, 0x0A000000 + i, 10, 1);
    ASSERT_EQ(model.refreshList(kTrafficUdp, false), 5);
    test.engine().clear(kTrafficUdp);
    test.count(kTrafficUdp, 0x0B000001, 10, 1);
    ASSERT_EQ(model.refreshList(kTrafficUdp, true), 1);
    EXPECT_EQ(model.size(kTrafficUdp), 1);
    EXPECT_EQ(model.ipAt(kTrafficUdp, 1), 0u);  // no stale address left behind the count
}

TEST_F(TrafficModelTest, TotalsComeFromTcpAndUdpOnly)
{
    test.count(kTrafficTcp, 0x0A000001, 1000, 1);
    test.count(kTrafficTcp, 0x0A000001, 300, 0);
    test.count(kTrafficUdp, 0x0A000002, 50, 0);
    TrafficTotals totals;
    model.statTotals(totals);
    EXPECT_EQ(totals.sentBytes[0], 1000);
    EXPECT_EQ(totals.recvBytes[0], 300);
    EXPECT_EQ(totals.recvPackets[0], 1);
    EXPECT_EQ(totals.recvBytes[1], 50);
    EXPECT_EQ(totals.addresses[0], 1u);
    EXPECT_EQ(totals.addresses[1], 1u);
    EXPECT_EQ(totals.sentBytes[2], 0);

    test.dns().addRecord(0x0A000001, "peer.example", 12);
    EXPECT_EQ(model.dnsNameOf(0x0A000001), "peer.example");
    EXPECT_EQ(model.dnsNameOf(0x0A000002), "");
}
