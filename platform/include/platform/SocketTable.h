#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace platform {

enum class SocketProtocol { Tcp, Udp };

// One IPv4 socket (IPv4-mapped IPv6 sockets are normalised to IPv4). Addresses and ports are
// in network byte order, as a packet carries them.
struct SocketRow {
    uint32_t localAddr = 0;
    uint16_t localPort = 0;
    uint32_t remoteAddr = 0;
    uint16_t remotePort = 0;
    int state = 0;        // TCP: 1 CLOSED ... 12 DELETE_TCB; UDP: 0
    uint64_t inode = 0;
    uint32_t pid = 0;     // 0 when no owner could be found
};

// Parses one data line of /proc/net/{tcp,udp,tcp6,udp6}. False for the header, a truncated
// or malformed line, or an IPv6 address that is not IPv4-mapped.
bool parseProcNetLine(std::string_view line, bool ipv6, SocketProtocol protocol, SocketRow& out);

// Appends the rows of a whole /proc/net table text; bad lines are skipped one by one.
// Returns the number of rows appended.
size_t parseProcNetTable(std::string_view text, bool ipv6, SocketProtocol protocol,
                         std::vector<SocketRow>& out);

// Translates a Linux TCP state (1 ESTABLISHED ... 12 NEW_SYN_RECV) to 1..12 of the table
// numbering (1 CLOSED, 2 LISTEN, 3 SYN_SENT, 4 SYN_RCVD, 5 ESTABLISHED, 6 FIN_WAIT1,
// 7 FIN_WAIT2, 8 CLOSE_WAIT, 9 CLOSING, 10 LAST_ACK, 11 TIME_WAIT, 12 DELETE_TCB).
int translateTcpState(int linuxState);

// Reads every IPv4 socket of the protocol (IPv4 sockets and IPv4-reachable IPv6 ones) with
// owner pids: from a sock_diag dump, or from /proc/net when netlink is not available.
// False when no table could be read at all.
bool readSocketTable(SocketProtocol protocol, std::vector<SocketRow>& out);

// The sock_diag dump alone, without owners. False when netlink failed.
bool dumpSocketTable(SocketProtocol protocol, std::vector<SocketRow>& out);

// Finds the inode of the socket that owns a flow through a targeted sock_diag query
// (addresses and ports in network order). UDP finds an unconnected socket bound to the local
// port as well. A TCP flow whose socket has no inode yet (a connection not yet accepted)
// answers with its listening socket. 0 when none exists.
uint64_t findSocketInode(SocketProtocol protocol, uint32_t localAddr, uint16_t localPort,
                         uint32_t remoteAddr, uint16_t remotePort);

} // namespace platform
