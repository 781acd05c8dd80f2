#include "TestEngine.h"

#include "core/ranking/RankCategories.h"
#include "core/ranking/Ranking.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

constexpr int kTcpAllBytes = 0, kTcpAllPackets = 3, kUdpSentBytes = 8;

class RankingTest : public ::testing::Test {
protected:
    // n events of size bytes from a host-order address.
    void events(XTrafficKind kind, std::uint32_t address, int n, int size, int direction = 0)
    {
        for (int i = 0; i < n; ++i)
            test.count(kind, address, size, direction);
    }

    TestEngine test;
    Ranking ranking{CellSources{nullptr, "未知"}};
};

} // namespace

TEST_F(RankingTest, ByteCategoriesTakeAddressesFrom1024Bytes)
{
    events(kTrafficTcp, 0x0A000001, 1, 1023);
    events(kTrafficTcp, 0x0A000002, 1, 1024);
    events(kTrafficTcp, 0x0A000003, 2, 5000);
    EXPECT_EQ(ranking.compute(kTcpAllBytes, test.engine()), 2);
    const auto& rows = ranking.rows();
    EXPECT_EQ(rows[0][0], " 10.0.0.3");
    EXPECT_EQ(rows[0][1], "443");
    EXPECT_EQ(rows[0][3], "未知");
    EXPECT_EQ(rows[0][4], "9.77K");
    EXPECT_EQ(rows[1][0], " 10.0.0.2");
    EXPECT_EQ(rows[1][4], "1.00K");
    for (const std::string& cell : rows[2])
        EXPECT_EQ(cell, "");  // fewer than ten: the rest stays empty
}

TEST_F(RankingTest, PacketCategoriesTakeAddressesFrom100PacketsAndUseTheByteFormat)
{
    events(kTrafficTcp, 0x0A000001, 99, 10);
    events(kTrafficTcp, 0x0A000002, 100, 10);
    events(kTrafficTcp, 0x0A000003, 1500, 1);
    EXPECT_EQ(ranking.compute(kTcpAllPackets, test.engine()), 2);
    EXPECT_EQ(ranking.rows()[0][0], " 10.0.0.3");
    EXPECT_EQ(ranking.rows()[0][4], "1.46K");
    EXPECT_EQ(ranking.rows()[1][4], "100");
}

TEST_F(RankingTest, TheTenLargestInOrderAndNothingWithoutACounter)
{
    EXPECT_EQ(ranking.compute(kUdpSentBytes, test.engine()), 0);  // no "udp" counter yet
    for (const auto& row : ranking.rows())
        EXPECT_EQ(row[0], "");
    test.programs[9] = "/usr/sbin/unbound";
    for (std::uint32_t i = 1; i <= 30; ++i)
        test.count(kTrafficUdp, 0x0A000000 + i, int(2000 * i), 1, 53, 9);
    test.count(kTrafficUdp, 0x0A0000FF, 1 << 20, 0, 53, 9);  // received only: not in a sent ranking
    EXPECT_EQ(ranking.compute(kUdpSentBytes, test.engine()), 30);
    for (int r = 0; r < Ranking::kRows; ++r)
        EXPECT_EQ(ranking.rows()[std::size_t(r)][0], " 10.0.0." + std::to_string(30 - r));
    EXPECT_EQ(ranking.rows()[0][5], " unbound");
    EXPECT_EQ(ranking.compute(12, test.engine()), 0);
    EXPECT_EQ(ranking.compute(-1, test.engine()), 0);
    EXPECT_EQ(rankCategories().size(), 12u);
}
