#pragma once

#include <cstdint>
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

// Reads every IPv4 socket of the protocol (IPv4 sockets and IPv4-reachable IPv6 ones) with
// owner pids. False when no table could be read at all.
bool readSocketTable(SocketProtocol protocol, std::vector<SocketRow>& out);

} // namespace platform
