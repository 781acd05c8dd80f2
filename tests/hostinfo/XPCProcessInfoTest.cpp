#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "hostinfo/XPCProcessInfo.h"

namespace {

using platform::SocketProtocol;
using platform::SocketRow;

// Socket tables and process names under the test's control.
class ProcessInfoTest : public ::testing::Test {
protected:
    ProcessInfoTest() : m_info(hooks(), nullptr) {}

    XPCProcessInfo::Hooks hooks()
    {
        XPCProcessInfo::Hooks h;
        h.readTable = [this](SocketProtocol p, std::vector<SocketRow>& rows) {
            ++m_tableReads;
            rows = p == SocketProtocol::Tcp ? m_tcp : m_udp;
            return m_tablesReadable;
        };
        h.imagePath = [this](uint32_t pid) { return m_paths.count(pid) ? m_paths[pid] : std::string(); };
        h.shortName = [this](uint32_t pid) { return m_comms.count(pid) ? m_comms[pid] : std::string(); };
        return h;
    }

    static SocketRow tcpRow(uint32_t remoteHostOrder, uint32_t pid)
    {
        SocketRow r;
        r.remoteAddr = htonl(remoteHostOrder);
        r.pid = pid;
        r.state = 5;
        return r;
    }

    static SocketRow udpRow(uint16_t portNetOrder, uint32_t pid)
    {
        SocketRow r;
        r.localPort = portNetOrder;
        r.pid = pid;
        return r;
    }

    std::string tcpName(uint32_t ip, uint32_t* pid = nullptr)
    {
        char buf[260] = {};
        return m_info.getTcpProgamName(ip, buf, sizeof buf, pid) > 0 ? std::string(buf) : std::string("<none>");
    }

    static ORVANEPRO_NetIo event(uint32_t pid, uint16_t protocol, uint16_t direction, uint32_t bytes,
                                 uint32_t remoteHostOrder = 0x0A000002)
    {
        ORVANEPRO_NetIo io{};
        io.processId = pid;
        io.protocol = protocol;
        io.direction = direction;
        (direction == kNetIoSend ? io.bytesSent : io.bytesReceived) = bytes;
        io.remoteAddr = htonl(remoteHostOrder);
        return io;
    }

    std::map<uint32_t, IoTriple> drainNet()
    {
        std::vector<IoTriple> out;
        std::map<uint32_t, IoTriple> totals;
        m_info.getNetIO(out);
        for (const IoTriple& t : out)
            totals[t.pid] = t;
        return totals;
    }

    std::vector<SocketRow> m_tcp, m_udp;
    std::map<uint32_t, std::string> m_paths{{100, "/usr/bin/firefox"}, {200, "/opt/tool/curl"},
                                            {300, "/usr/lib/very/long/path/abcdefghijklmnopqrs"}};
    std::map<uint32_t, std::string> m_comms{{2, "kthreadd"}};
    bool m_tablesReadable = true;
    int m_tableReads = 0;
    XPCProcessInfo m_info;
};

TEST_F(ProcessInfoTest, OwnerTableRules)
{
    // The later row of an address wins; pid 0 rows are skipped; listeners enter key 0.
    m_tcp = {tcpRow(0x0A000001, 100), tcpRow(0x0A000001, 200), tcpRow(0x0A000003, 0), tcpRow(0, 100)};
    m_info.reload();
    uint32_t pid = 0;
    EXPECT_EQ(tcpName(0x0A000001, &pid), "curl");
    EXPECT_EQ(pid, 200u);
    EXPECT_EQ(tcpName(0x0A000003), "<none>");
    EXPECT_EQ(tcpName(0), "firefox");

    // A closed connection keeps its owner; a reused address is refilled in place.
    char before[260];
    m_info.getTcpProgamName(0x0A000001, before, sizeof before, nullptr);
    m_tcp = {tcpRow(0x0A000009, 100)};
    m_info.reload();
    EXPECT_EQ(tcpName(0x0A000001), "curl");
    m_tcp = {tcpRow(0x0A000001, 100)};
    m_info.reload();
    EXPECT_EQ(tcpName(0x0A000001), "firefox");
    EXPECT_EQ(m_info.recordBlocks(), 1);

    // An unreadable table changes nothing.
    m_tablesReadable = false;
    m_tcp = {tcpRow(0x0A000001, 200)};
    m_info.reload();
    EXPECT_EQ(tcpName(0x0A000001), "firefox");
}

TEST_F(ProcessInfoTest, AtMost2000OwnedRowsAreEntered)
{
    // Rows without an owner, such as TIME_WAIT, do not use up the limit.
    for (uint32_t i = 0; i < 3000; ++i)
        m_tcp.push_back(tcpRow(0x0A000000 + i, 0));
    for (uint32_t i = 0; i < 2100; ++i)
        m_tcp.push_back(tcpRow(0x0B000000 + i, 100));
    m_info.reload();
    EXPECT_EQ(tcpName(0x0B000000 + 1999), "firefox");
    EXPECT_EQ(tcpName(0x0B000000 + 2000), "<none>");
}

TEST_F(ProcessInfoTest, RecordBlocksGrowWithoutMovingOldRecords)
{
    for (uint32_t i = 0; i < 2000; ++i)
        m_tcp.push_back(tcpRow(0x0C000000 + i, 100));
    m_info.reload();
    for (uint32_t i = 0; i < 2000; ++i)
        m_tcp[i] = tcpRow(0x0D000000 + i, 200);
    m_info.reload();
    EXPECT_EQ(m_info.recordBlocks(), 1);
    for (uint32_t i = 0; i < 2000; ++i)
        m_tcp[i] = tcpRow(0x0E000000 + i, 100);
    m_info.reload();  // the 5001st distinct address starts a second block
    EXPECT_EQ(m_info.recordBlocks(), 2);
    EXPECT_EQ(tcpName(0x0C000000), "firefox");
    EXPECT_EQ(tcpName(0x0D000000 + 1999), "curl");
    EXPECT_EQ(tcpName(0x0E000000 + 1999), "firefox");
}

TEST_F(ProcessInfoTest, NameCopyRules)
{
    m_tcp = {tcpRow(0x0A000001, 300)};
    m_info.reload();
    // Only the owner's pid.
    uint32_t pid = 0;
    EXPECT_EQ(m_info.getTcpProgamName(0x0A000001, nullptr, 0, &pid), 0);
    EXPECT_EQ(pid, 300u);
    // Exactly size bytes, no terminator added.
    char buf[32];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(m_info.getTcpProgamName(0x0A000001, buf, 16, nullptr), 16);
    EXPECT_EQ(std::string(buf, 16), "abcdefghijklmnop");
    EXPECT_EQ(buf[16], '#');
    // The zero fill comes along when the buffer is larger than the name.
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(m_info.getTcpProgamName(0x0A000001, buf, 32, nullptr), 32);
    EXPECT_STREQ(buf, "abcdefghijklmnopqrs");
    EXPECT_EQ(buf[31], '\0');
    // Unknown address: nothing written.
    pid = 77;
    EXPECT_EQ(m_info.getTcpProgamName(0x0A0000FF, buf, 32, &pid), 0);
    EXPECT_EQ(pid, 77u);
}

TEST_F(ProcessInfoTest, QueryProcessNameRules)
{
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    const int full = m_info.queryProcessName(300, buf, sizeof buf);
    EXPECT_EQ(full, int(m_paths[300].size()));  // the length of the full path
    EXPECT_STREQ(buf, "abcdefg");                 // 7 characters and a NUL
    char big[64];
    EXPECT_GT(m_info.queryProcessName(100, big, sizeof big), 0);
    EXPECT_STREQ(big, "firefox");
    EXPECT_EQ(m_info.queryProcessName(100, nullptr, 8), 0);
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(m_info.queryProcessName(100, buf, 0), 0);
    EXPECT_EQ(buf[0], '#');
    EXPECT_EQ(m_info.queryProcessName(999, big, sizeof big), 0);  // no such process
    EXPECT_GT(m_info.queryProcessName(2, big, sizeof big), 0);    // no image: the short name
    EXPECT_STREQ(big, "kthreadd");
}

TEST_F(ProcessInfoTest, UdpOwnersAreRefreshedWithTcp)
{
    m_udp = {udpRow(htons(5353), 100), udpRow(htons(53), 200), udpRow(htons(53), 100)};
    m_info.reload();
    char buf[64];
    uint32_t pid = 0;
    ASSERT_GT(m_info.getUdpProgamName(htons(53), buf, sizeof buf, &pid), 0);
    EXPECT_STREQ(buf, "firefox");
    EXPECT_EQ(pid, 100u);
    EXPECT_EQ(m_info.getUdpProgamName(htons(9999), buf, sizeof buf, &pid), 0);
}

TEST_F(ProcessInfoTest, AddNetDataAttribution)
{
    // Loopback is never counted; pid 0 UDP cannot be attributed and counts as no process's.
    ORVANEPRO_NetIo loop = event(100, kNetIoTcp, kNetIoSend, 50);
    loop.remoteAddr = kLoopbackNetOrder;
    EXPECT_EQ(m_info.addNetData(loop), 100u);
    EXPECT_EQ(m_info.addNetData(event(0, kNetIoUdp, kNetIoSend, 50)), 0u);
    auto unowned = drainNet();
    ASSERT_EQ(unowned.size(), 1u);
    EXPECT_EQ(unowned[0].out, 50u);

    // TCP without a pid takes the owner of its remote address.
    m_tcp = {tcpRow(0x0A000002, 200)};
    m_info.reload();
    EXPECT_EQ(m_info.addNetData(event(0, kNetIoTcp, kNetIoReceive, 1040)), 200u);
    // A pid that the table contradicts is replaced by the owner, every time.
    EXPECT_EQ(m_info.addNetData(event(100, kNetIoTcp, kNetIoSend, 10)), 200u);
    EXPECT_EQ(m_info.addNetData(event(100, kNetIoTcp, kNetIoSend, 10)), 200u);
    // UDP keeps its pid. An event standing for several packets (an offload segment) counts
    // them all; one that names no count is one packet.
    ORVANEPRO_NetIo segment = event(100, kNetIoUdp, kNetIoSend, 128);
    segment.packets = 3;
    EXPECT_EQ(m_info.addNetData(segment), 100u);
    auto totals = drainNet();
    EXPECT_EQ(totals[200].in, 1040u);
    EXPECT_EQ(totals[200].out, 20u);
    EXPECT_EQ(totals[200].packetsIn, 1u);
    EXPECT_EQ(totals[200].packetsOut, 2u);
    EXPECT_EQ(totals[100].out, 128u);
    EXPECT_EQ(totals[100].packetsOut, 3u);
    EXPECT_TRUE(drainNet().empty());  // the second drain finds nothing new

    // Once a pid matches the table it is confirmed and no longer checked.
    m_tcp = {tcpRow(0x0A000002, 300)};
    m_info.reload();
    EXPECT_EQ(m_info.addNetData(event(300, kNetIoTcp, kNetIoSend, 1)), 300u);
    m_tcp = {tcpRow(0x0A000002, 200)};
    m_info.reload();
    EXPECT_EQ(m_info.addNetData(event(300, kNetIoTcp, kNetIoSend, 1)), 300u);
    // An address with no owner keeps the event's pid.
    EXPECT_EQ(m_info.addNetData(event(100, kNetIoTcp, kNetIoSend, 1, 0x0A0000EE)), 100u);
}

TEST_F(ProcessInfoTest, ManyProcessesInOneIntervalKeepEveryByte)
{
    // Far more processes than a second usually has each keep their totals; beyond the bound
    // the rest count for pid 0, counted as folded.
    const uint32_t many = uint32_t(ProcessIoTable::kMaxProcesses) + 5;
    for (uint32_t pid = 1000; pid < 1000 + many; ++pid)
        EXPECT_EQ(m_info.addNetData(event(pid, kNetIoUdp, kNetIoSend, 3)), pid);
    EXPECT_EQ(m_info.netFolded(), 5u);
    const auto totals = drainNet();
    EXPECT_EQ(totals.size(), ProcessIoTable::kMaxProcesses + 1);
    uint64_t sent = 0;
    for (const auto& [pid, t] : totals)
        sent += t.out;
    EXPECT_EQ(sent, uint64_t(many) * 3);
    EXPECT_EQ(totals.at(0).out, 15u);
    EXPECT_TRUE(drainNet().empty());
}

} // namespace
