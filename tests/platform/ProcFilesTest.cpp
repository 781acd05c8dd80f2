#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/Processes.h"
#include "platform/linux/ProcTables.h"
#include "platform/linux/ProcessNames.h"

namespace {

using platform::SocketProtocol;
using platform::SocketRow;

std::string readFixture(const std::string& name)
{
    std::ifstream in(std::string(LUMIVEX_TEST_DATA) + "/platform/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

uint32_t ip(const char* dotted)
{
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

TEST(ProcNetTable, Ipv4RowsAreReadAndBadLinesSkipped)
{
    std::vector<SocketRow> rows;
    EXPECT_EQ(platform::parseProcNetTable(readFixture("proc_net_tcp"), false, SocketProtocol::Tcp, rows), 4u);
    ASSERT_EQ(rows.size(), 4u);

    EXPECT_EQ(rows[0].localAddr, ip("127.0.0.1"));
    EXPECT_EQ(rows[0].localPort, htons(631));
    EXPECT_EQ(rows[0].state, 2);  // LISTEN
    EXPECT_EQ(rows[0].inode, 21456u);

    EXPECT_EQ(rows[1].localAddr, ip("10.0.0.2"));
    EXPECT_EQ(rows[1].localPort, htons(50000));
    EXPECT_EQ(rows[1].remoteAddr, ip("10.0.0.1"));
    EXPECT_EQ(rows[1].remotePort, htons(443));
    EXPECT_EQ(rows[1].state, 5);  // ESTABLISHED
    EXPECT_EQ(rows[1].inode, 99881u);
    EXPECT_EQ(rows[1].pid, 0u);   // owners are filled by the table reader, not the parser

    EXPECT_EQ(rows[2].state, 11);  // TIME_WAIT, no inode
    EXPECT_EQ(rows[2].inode, 0u);
    // Truncated, non-hex and out-of-range lines are gone; extra columns are fine.
    EXPECT_EQ(rows[3].inode, 777u);
    EXPECT_EQ(rows[3].state, 4);  // NEW_SYN_RECV counts as SYN_RCVD
}

TEST(ProcNetTable, Ipv6TableKeepsOnlyIpv4ReachableSockets)
{
    std::vector<SocketRow> rows;
    platform::parseProcNetTable(readFixture("proc_net_tcp6"), true, SocketProtocol::Tcp, rows);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].localAddr, 0u);  // "::" also accepts IPv4 on a dual-stack socket
    EXPECT_EQ(rows[0].localPort, htons(22));
    EXPECT_EQ(rows[1].localAddr, ip("10.0.0.2"));    // ::ffff:10.0.0.2
    EXPECT_EQ(rows[1].remoteAddr, ip("10.0.0.1"));
    EXPECT_EQ(rows[1].remotePort, htons(54321));
}

TEST(ProcNetTable, UdpRowsHaveNoTcpState)
{
    std::vector<SocketRow> rows;
    const std::string line = "  12: 00000000:0035 00000000:0000 07 00000000:00000000 00:00000000 00000000   101        0 4242 2";
    SocketRow row;
    ASSERT_TRUE(platform::parseProcNetLine(line, false, SocketProtocol::Udp, row));
    EXPECT_EQ(row.state, 0);
    EXPECT_EQ(row.localPort, htons(53));
    EXPECT_EQ(row.inode, 4242u);
}

TEST(ProcNetTable, MalformedLinesAreRejected)
{
    SocketRow row;
    for (const char* line : {"", "   ", "sl local", "0: 0100007F:0277", "0: 0100007F:0277 00000000:0000 0A",
                             "0: 0100007F:XYZ 00000000:0000 0A 0:0 0:0 0 0 0 1",
                             "0: 0100007F:10000 00000000:0000 0A 0:0 0:0 0 0 0 1",
                             "0: 100007F:0277 00000000:0000 0A 0:0 0:0 0 0 0 1",
                             "0: 0100007F:0277 00000000:0000 0A 0:0 0:0 0 0 0 -5"})
        EXPECT_FALSE(platform::parseProcNetLine(line, false, SocketProtocol::Tcp, row)) << line;
}

TEST(ProcNetTable, StateTranslation)
{
    const int expected[] = {0, 5, 3, 4, 6, 7, 11, 1, 8, 10, 2, 9, 4, 0};
    for (int s = 0; s <= 13; ++s)
        EXPECT_EQ(platform::translateTcpState(s), expected[s]) << s;
    EXPECT_EQ(platform::translateTcpState(-1), 0);
}

TEST(ProcPidIo, ByteCountersAreRead)
{
    platform::ProcessIo io;
    ASSERT_TRUE(platform::parseProcessIo(readFixture("proc_pid_io"), io));
    EXPECT_EQ(io.readBytes, 4096u);
    EXPECT_EQ(io.writeBytes, 4022272u);
    EXPECT_FALSE(platform::parseProcessIo("rchar: 1\nread_bytes: 5\n", io));
    EXPECT_FALSE(platform::parseProcessIo("read_bytes: x\nwrite_bytes: 1\n", io));
    EXPECT_FALSE(platform::parseProcessIo("read_bytes: 99999999999999999999999\nwrite_bytes: 1\n", io));
    ASSERT_TRUE(platform::parseProcessIo("read_bytes: 18446744073709551615\nwrite_bytes: 0", io));
    EXPECT_EQ(io.readBytes, 18446744073709551615ull);
}

TEST(ProcPidStat, StartTimeIsCountedAfterTheNamesLastParenthesis)
{
    uint64_t start = 0;
    const char* line = "4242 (a) b (c)) S 1 4242 4242 0 -1 4194560 120 0 0 0 3 1 0 0 20 0 1 0 987654321 1000 10";
    ASSERT_TRUE(platform::parseProcessStartTime(line, start));
    EXPECT_EQ(start, 987654321u);
    EXPECT_FALSE(platform::parseProcessStartTime("4242 (a) S 1 2 3", start));      // cut short
    EXPECT_FALSE(platform::parseProcessStartTime("4242 a S 1 2", start));          // no name
    EXPECT_FALSE(platform::parseProcessStartTime(
        "1 (x) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 12x4 0 0", start));        // not a number
    EXPECT_FALSE(platform::parseProcessStartTime(
        "1 (x) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0  1 0 5 0", start));            // a field is empty
}

TEST(LiveProc, OwnProcessIsVisible)
{
    EXPECT_FALSE(platform::processImageName(uint32_t(getpid())).empty());
    EXPECT_TRUE(platform::processImageName(0).empty());
    platform::ProcessIo io;
    EXPECT_TRUE(platform::readProcessIo(uint32_t(getpid()), io));
    const std::vector<uint32_t> pids = platform::listProcessIds();
    EXPECT_TRUE(std::binary_search(pids.begin(), pids.end(), uint32_t(getpid())));
    EXPECT_NE(platform::processStartTime(uint32_t(getpid())), 0u);
    EXPECT_EQ(platform::processStartTime(0), 0u);
}

} // namespace

TEST(ProcessNames, ExeLinkCommAndCmdline)
{
    EXPECT_EQ(platform::imagePathOfExeLink("/usr/bin/prog (deleted)"), "/usr/bin/prog");
    EXPECT_EQ(platform::imagePathOfExeLink(" (deleted)"), " (deleted)");
    EXPECT_EQ(platform::baseNameOf("/usr/bin/prog"), "prog");
    EXPECT_EQ(platform::baseNameOf("/usr/bin/"), "");
    EXPECT_EQ(platform::baseNameOf("prog"), "prog");
    // comm is cut to 15 characters: completed from the command line when it starts the same.
    const std::string cmdline("/opt/x/chromium-browser-stable\0--type=renderer\0", 47);
    EXPECT_EQ(platform::nameFromCommAndCmdline("chromium-browse\n", cmdline), "chromium-browser-stable");
    EXPECT_EQ(platform::nameFromCommAndCmdline("chromium-browse\n", std::string("/bin/other\0", 11)), "chromium-browse");
    EXPECT_EQ(platform::nameFromCommAndCmdline("bash\n", cmdline), "bash");
    EXPECT_EQ(platform::nameFromCommAndCmdline("", ""), "");
    EXPECT_EQ(platform::nameFromCommAndCmdline("\n\n", "x"), "");
}
