// The IP Helper owner tables: recorded buffers laid out as GetExtendedTcpTable and
// GetExtendedUdpTable return them, and the real tables of this system.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/windows/OwnerTables.h"
#include "platform/windows/Winsock.h"

using namespace platform;

namespace {

template <typename Table, typename Row>
std::vector<unsigned char> table(DWORD claimedRows, const std::vector<Row>& rows)
{
    std::vector<unsigned char> bytes(offsetof(Table, table) + rows.size() * sizeof(Row));
    std::memcpy(bytes.data(), &claimedRows, sizeof claimedRows);
    if (!rows.empty())
        std::memcpy(bytes.data() + offsetof(Table, table), rows.data(), rows.size() * sizeof(Row));
    return bytes;
}

DWORD port(uint16_t p)
{
    return DWORD(hostToNet16(p)) | 0xABCD0000u;  // the upper half holds whatever was there
}

void mapped(UCHAR (&out)[16], uint32_t v4)
{
    std::memset(out, 0, 16);
    out[10] = out[11] = 0xFF;
    std::memcpy(out + 12, &v4, 4);
}

const uint32_t kLocal = hostToNet32(0xC0A80005);   // 192.168.0.5
const uint32_t kRemote = hostToNet32(0x5DB8D822);  // 93.184.216.34

} // namespace

TEST(OwnerTables, Ipv4TcpRowsKeepOrderStateAndOwnerAndStopAtTheBuffer)
{
    std::vector<MIB_TCPROW_OWNER_PID> rows(2);
    rows[0] = {MIB_TCP_STATE_LISTEN, 0, port(445), kRemote, port(9), 4};
    rows[1] = {MIB_TCP_STATE_ESTAB, kLocal, port(50000), kRemote, port(443), 1234};
    // The count claims a third row the buffer does not hold.
    const auto bytes = table<MIB_TCPTABLE_OWNER_PID>(3, rows);
    std::vector<SocketRow> out;
    ASSERT_EQ(appendTcpOwnerRows(bytes.data(), bytes.size(), false, out), 2u);
    EXPECT_EQ(out[0].state, MIB_TCP_STATE_LISTEN);
    EXPECT_EQ(out[0].localPort, hostToNet16(445));
    EXPECT_EQ(out[0].remoteAddr, 0u);  // a listener has no remote end
    EXPECT_EQ(out[0].remotePort, 0u);
    EXPECT_EQ(out[0].pid, 4u);
    EXPECT_EQ(out[1].state, MIB_TCP_STATE_ESTAB);
    EXPECT_EQ(out[1].localAddr, kLocal);
    EXPECT_EQ(out[1].localPort, hostToNet16(50000));
    EXPECT_EQ(out[1].remoteAddr, kRemote);
    EXPECT_EQ(out[1].remotePort, hostToNet16(443));
    EXPECT_EQ(out[1].pid, 1234u);
    // Each socket has a key of its own in place of an inode, and keeps it.
    EXPECT_NE(out[0].inode, 0u);
    EXPECT_NE(out[0].inode, out[1].inode);
    std::vector<SocketRow> again;
    appendTcpOwnerRows(bytes.data(), bytes.size(), false, again);
    EXPECT_EQ(again[1].inode, out[1].inode);

    EXPECT_EQ(appendTcpOwnerRows(bytes.data(), 3, false, out), 0u);  // not even the count
    EXPECT_EQ(appendTcpOwnerRows(nullptr, 100, false, out), 0u);
}

TEST(OwnerTables, Ipv6RowsCountOnlyWhereTheyStandForIpv4)
{
    std::vector<MIB_TCP6ROW_OWNER_PID> tcp(3);
    std::memset(tcp.data(), 0, tcp.size() * sizeof tcp[0]);
    mapped(tcp[0].ucLocalAddr, kLocal);  // IPv4 traffic of a dual-stack socket
    mapped(tcp[0].ucRemoteAddr, kRemote);
    tcp[0].dwLocalPort = port(50001);
    tcp[0].dwRemotePort = port(80);
    tcp[0].dwState = MIB_TCP_STATE_ESTAB;
    tcp[0].dwOwningPid = 77;
    tcp[1].ucLocalAddr[15] = 1;  // ::1, IPv6 only
    tcp[1].ucRemoteAddr[15] = 1;
    tcp[1].dwState = MIB_TCP_STATE_ESTAB;
    tcp[2].dwLocalPort = port(8080);  // a dual-stack listener on ::
    tcp[2].dwRemotePort = port(1);
    tcp[2].dwState = MIB_TCP_STATE_LISTEN;
    tcp[2].dwOwningPid = 88;
    const auto tcpBytes = table<MIB_TCP6TABLE_OWNER_PID>(3, tcp);
    std::vector<SocketRow> out;
    ASSERT_EQ(appendTcpOwnerRows(tcpBytes.data(), tcpBytes.size(), true, out), 2u);
    EXPECT_EQ(out[0].localAddr, kLocal);
    EXPECT_EQ(out[0].remoteAddr, kRemote);
    EXPECT_EQ(out[0].remotePort, hostToNet16(80));
    EXPECT_EQ(out[0].pid, 77u);
    EXPECT_EQ(out[1].localAddr, 0u);
    EXPECT_EQ(out[1].localPort, hostToNet16(8080));
    EXPECT_EQ(out[1].remotePort, 0u);

    std::vector<MIB_UDP6ROW_OWNER_PID> udp(2);
    std::memset(udp.data(), 0, udp.size() * sizeof udp[0]);
    mapped(udp[0].ucLocalAddr, kLocal);
    udp[0].dwLocalPort = port(5353);
    udp[0].dwOwningPid = 9;
    udp[1].ucLocalAddr[0] = 0xFE;  // link-local IPv6
    const auto udpBytes = table<MIB_UDP6TABLE_OWNER_PID>(2, udp);
    std::vector<SocketRow> udpRows;
    ASSERT_EQ(appendUdpOwnerRows(udpBytes.data(), udpBytes.size(), true, udpRows), 1u);
    EXPECT_EQ(udpRows[0].localAddr, kLocal);
    EXPECT_EQ(udpRows[0].localPort, hostToNet16(5353));
    EXPECT_EQ(udpRows[0].pid, 9u);
    EXPECT_EQ(udpRows[0].state, 0);
}

TEST(OwnerTables, TheSystemTablesListSocketsOfThisProcess)
{
    ASSERT_TRUE(ensureWinsock());
    const SOCKET tcp = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const SOCKET udp = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    ASSERT_NE(tcp, INVALID_SOCKET);
    ASSERT_NE(udp, INVALID_SOCKET);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = hostToNet32(0x7F000001);
    ASSERT_EQ(::bind(tcp, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(::listen(tcp, 1), 0);
    ASSERT_EQ(::bind(udp, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    sockaddr_in tcpAddr{}, udpAddr{};
    int length = sizeof tcpAddr;
    ::getsockname(tcp, reinterpret_cast<sockaddr*>(&tcpAddr), &length);
    length = sizeof udpAddr;
    ::getsockname(udp, reinterpret_cast<sockaddr*>(&udpAddr), &length);

    const auto finds = [](SocketProtocol protocol, const sockaddr_in& a) {
        std::vector<SocketRow> rows;
        EXPECT_TRUE(readSocketTable(protocol, rows));
        return std::any_of(rows.begin(), rows.end(), [&](const SocketRow& r) {
            // Wine names no owners (pid 0); Windows names this process.
            return r.localAddr == a.sin_addr.s_addr && r.localPort == a.sin_port &&
                   (r.pid == ::GetCurrentProcessId() || r.pid == 0);
        });
    };
    EXPECT_TRUE(finds(SocketProtocol::Tcp, tcpAddr));
    EXPECT_TRUE(finds(SocketProtocol::Udp, udpAddr));
    ::closesocket(tcp);
    ::closesocket(udp);
}
