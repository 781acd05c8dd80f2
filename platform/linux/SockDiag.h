#pragma once

#include <cstdint>
#include <vector>

#include "platform/SocketTable.h"

// NETLINK_SOCK_DIAG queries of the kernel's socket tables.
namespace platform {

// The sock_diag dump alone, without owners. False when netlink failed.
bool dumpSocketTable(SocketProtocol protocol, std::vector<SocketRow>& out);

// Finds the inode of the socket that owns a flow through a targeted sock_diag query
// (addresses and ports in network order). UDP finds an unconnected socket bound to the local
// port as well. A TCP flow whose socket has no inode yet (a connection not yet accepted)
// answers with its listening socket. 0 when none exists.
uint64_t findSocketInode(SocketProtocol protocol, uint32_t localAddr, uint16_t localPort,
                         uint32_t remoteAddr, uint16_t remotePort);

} // namespace platform
