#pragma once

#include <cstddef>
#include <vector>

#include "platform/SocketTable.h"

namespace platform {

// The owner tables of IP Helper as GetExtendedTcpTable (TCP_TABLE_OWNER_PID_ALL) and
// GetExtendedUdpTable (UDP_TABLE_OWNER_PID) return them, IPv4 (ipv6 false) or IPv6, read into
// rows and appended to out. IPv6 rows are kept only when their local address is IPv4-mapped
// (IPv4 traffic of a dual-stack socket, normalised to IPv4) or unspecified (a dual-stack
// listener). A buffer shorter than its row count says is read up to its last whole row.
// Returns the rows appended.
size_t appendTcpOwnerRows(const void* table, size_t bytes, bool ipv6, std::vector<SocketRow>& out);
size_t appendUdpOwnerRows(const void* table, size_t bytes, bool ipv6, std::vector<SocketRow>& out);

} // namespace platform
