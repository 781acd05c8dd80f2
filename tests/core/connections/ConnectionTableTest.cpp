#include "TestEngine.h"

#include "core/connections/ConnectionTable.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

constexpr std::int64_t kNow = 1765000000000;  // ms since 1970

XSocketRow tcp(std::uint32_t local, std::uint16_t lport, std::uint32_t remote, std::uint16_t rport, int state,
               std::uint32_t pid, std::string program, std::uint64_t firstSeen)
{
    XSocketRow s;
    s.tcp = true;
    s.localAddr = local;
    s.localPort = lport;
    s.remoteAddr = remote;
    s.remotePort = rport;
    s.state = state;
    s.pid = pid;
    s.program = std::move(program);
    s.firstSeenMs = firstSeen;
    return s;
}

class ConnectionTableTest : public ::testing::Test {
protected:
    TestEngine test;
    ConnectionTable table{CellSources{nullptr, "未知"}, {}, [] { return kNow; }};
};

} // namespace

TEST_F(ConnectionTableTest, RowTextsOfConnectionsListenersAndEndpoints)
{
    const std::uint64_t started = kNow - ((26 * 3600 + 3 * 60 + 4) * 1000LL);  // 1 day 02:03:04 ago
    XSocketRow udp;
    udp.tcp = false;
    udp.localAddr = 0x7F000001;
    udp.localPort = 5353;
    udp.remoteAddr = 0x01020304;  // ignored for UDP
    udp.pid = 9;
    udp.firstSeenMs = std::uint64_t(kNow - 59000);
    test.sockets = {udp,
                    tcp(0x0A000001, 40000, 0x0A000002, 22, 5, 1234, "ssh", started),
                    tcp(0, 22, 0, 0, 2, 1, "", 0)};
    test.dns().addRecord(0x0A000002, "server.lan", 10);
    ASSERT_EQ(table.rebuild(test.engine()), 3);
    const auto& e = table.entries();
    // Sorted by program: "System" (an owner without a name), "ssh", then the UDP row's empty... all text.
    std::map<std::string, ConnectionTable::Row> byProtocolAndPort;
    for (const auto& entry : e)
        byProtocolAndPort[entry.texts[0] + entry.texts[2]] = entry.texts;

    const auto& established = byProtocolAndPort.at("    TCP10.0.0.1:40000");
    EXPECT_EQ(established[1], "ssh");
    EXPECT_EQ(established[3], "10.0.0.2:22");
    EXPECT_EQ(established[4], "ESTABLISHED");
    EXPECT_EQ(established[6], "  1 days 02:03:04");
    EXPECT_EQ(established[7], "1234");
    EXPECT_EQ(established[8], "server.lan");
    EXPECT_EQ(established[5].size(), std::string(" 00:00:00-01/ 1").size());

    const auto& listening = byProtocolAndPort.at("    TCP0.0.0.0:22");
    EXPECT_EQ(listening[1], "System");
    EXPECT_EQ(listening[3], "0.0.0.0:0");
    EXPECT_EQ(listening[4], "LISTEN");
    EXPECT_EQ(listening[5], "");  // no start time known
    EXPECT_EQ(listening[6], "");
    EXPECT_EQ(listening[8], "");
    EXPECT_EQ(listening[9], "");

    const auto& endpoint = byProtocolAndPort.at("    UDP127.0.0.1:5353");
    EXPECT_EQ(endpoint[3], "0.0.0.0:0");
    EXPECT_EQ(endpoint[4], "");
    EXPECT_EQ(endpoint[6], " 00:00:59");
    EXPECT_EQ(endpoint[8], "");
}

TEST_F(ConnectionTableTest, EveryColumnSortsAsText)
{
    test.sockets = {tcp(1, 1, 2, 2, 5, 4, "b", 0), tcp(1, 1, 2, 2, 5, 1000, "A", 0), tcp(1, 1, 2, 2, 5, 30, "c", 0)};
    table.rebuild(test.engine());
    using Column = ConnectionTable::Column;
    const auto column = [this](Column c) {
        std::string s;
        for (const auto& e : table.entries())
            s += e.texts[std::size_t(c)] + " ";
        return s;
    };
    EXPECT_EQ(table.sortColumn(), Column::Program);
    EXPECT_EQ(column(Column::Program), "A b c ");  // ascending, letter case ignored
    table.clickColumn(Column::Pid);
    EXPECT_FALSE(table.descending());
    EXPECT_EQ(column(Column::Pid), "1000 30 4 ");
    table.clickColumn(Column::Pid);
    EXPECT_TRUE(table.descending());
    EXPECT_EQ(column(Column::Pid), "4 30 1000 ");
    table.clickColumn(Column::Program);  // another column: ascending again
    EXPECT_FALSE(table.descending());
    EXPECT_EQ(column(Column::Program), "A b c ");
}

TEST_F(ConnectionTableTest, AgesAndStatesAtTheirEdges)
{
    EXPECT_EQ(table.ageText(kNow - 59000, kNow), " 00:00:59");
    EXPECT_EQ(table.ageText(kNow + 5000, kNow), " 00:00:00");  // a clock set back: no negative age
    EXPECT_EQ(table.ageText(0, kNow), "");
    EXPECT_EQ(table.ageText(std::uint64_t(kNow - 86400000LL * 12), kNow), " 12 days 00:00:00");
    EXPECT_STREQ(ConnectionTable::stateName(11), "TIME_WAIT");
    EXPECT_STREQ(ConnectionTable::stateName(12), "DELETE_TCB");
    EXPECT_STREQ(ConnectionTable::stateName(13), "");
    EXPECT_STREQ(ConnectionTable::stateName(-1), "");
    test.sockets = {tcp(1, 1, 2, 2, 99, 4, "x", 0)};
    table.rebuild(test.engine());
    EXPECT_EQ(table.entries()[0].texts[4], "");
    test.sockets.clear();
    EXPECT_EQ(table.rebuild(test.engine()), 0);
}
