// The TCP and UDP owner tables of IP Helper: every IPv4 socket with its owning process.
#include "platform/SocketTable.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/windows/OwnerTables.h"

namespace platform {

namespace {

// Windows numbers no socket: a key of its ends and owner stands in for the inode that tells
// a socket seen before from a new one. Never 0.
uint64_t socketKey(bool tcp, const SocketRow& r)
{
    uint64_t h = 1469598103934665603ull ^ (tcp ? 1 : 2);
    for (const uint64_t v : {uint64_t(r.localAddr) << 16 | r.localPort, uint64_t(r.remoteAddr) << 16 | r.remotePort,
                             uint64_t(r.pid)}) {
        h ^= v;
        h *= 1099511628211ull;
        h ^= h >> 31;
    }
    return h == 0 ? 1 : h;
}

template <typename Row>
size_t rowsIn(const void* table, size_t bytes)
{
    // Every owner table is a DWORD count followed by its rows (aligned as the row type is).
    constexpr size_t kFirstRow = (sizeof(DWORD) + alignof(Row) - 1) / alignof(Row) * alignof(Row);
    if (!table || bytes < kFirstRow)
        return 0;
    DWORD count;
    std::memcpy(&count, table, sizeof count);
    return std::min<size_t>(count, (bytes - kFirstRow) / sizeof(Row));
}

template <typename Row>
const Row* firstRow(const void* table)
{
    constexpr size_t kFirstRow = (sizeof(DWORD) + alignof(Row) - 1) / alignof(Row) * alignof(Row);
    return reinterpret_cast<const Row*>(static_cast<const unsigned char*>(table) + kFirstRow);
}

// An IPv6 local address that stands for IPv4: ::ffff:a.b.c.d (kept as a.b.c.d) or :: (0).
bool ipv4Of(const UCHAR (&a)[16], uint32_t& out)
{
    static const UCHAR kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    static const UCHAR kZero[16] = {};
    if (std::memcmp(a, kZero, 16) == 0) {
        out = 0;
        return true;
    }
    if (std::memcmp(a, kMappedPrefix, 12) != 0)
        return false;
    std::memcpy(&out, a + 12, 4);
    return true;
}

// The ports' DWORDs hold the port in network order in their first two bytes.
uint16_t portOf(DWORD field)
{
    return uint16_t(field & 0xFFFF);
}

// Reads one table, growing the buffer while the system says it is too small (the table may
// grow between the calls).
template <typename Get>
bool readTable(Get get, std::vector<unsigned char>& buffer)
{
    DWORD size = DWORD(buffer.size());
    for (int attempt = 0; attempt < 5; ++attempt) {
        const DWORD rc = get(buffer.empty() ? nullptr : buffer.data(), &size);
        if (rc == NO_ERROR)
            return true;
        if (rc != ERROR_INSUFFICIENT_BUFFER)
            return false;
        buffer.resize(size + size / 4 + 256);
        size = DWORD(buffer.size());
    }
    return false;
}

} // namespace

size_t appendTcpOwnerRows(const void* table, size_t bytes, bool ipv6, std::vector<SocketRow>& out)
{
    const size_t before = out.size();
    if (!ipv6) {
        const size_t n = rowsIn<MIB_TCPROW_OWNER_PID>(table, bytes);
        const auto* rows = firstRow<MIB_TCPROW_OWNER_PID>(table);
        for (size_t i = 0; i < n; ++i) {
            SocketRow r;
            r.state = int(rows[i].dwState);
            r.localAddr = rows[i].dwLocalAddr;
            r.localPort = portOf(rows[i].dwLocalPort);
            // A listener's remote port field holds whatever was there.
            const bool listening = rows[i].dwState == MIB_TCP_STATE_LISTEN;
            r.remoteAddr = listening ? 0 : rows[i].dwRemoteAddr;
            r.remotePort = listening ? 0 : portOf(rows[i].dwRemotePort);
            r.pid = rows[i].dwOwningPid;
            r.inode = socketKey(true, r);
            out.push_back(r);
        }
        return out.size() - before;
    }
    const size_t n = rowsIn<MIB_TCP6ROW_OWNER_PID>(table, bytes);
    const auto* rows = firstRow<MIB_TCP6ROW_OWNER_PID>(table);
    for (size_t i = 0; i < n; ++i) {
        SocketRow r;
        uint32_t remote = 0;
        if (!ipv4Of(rows[i].ucLocalAddr, r.localAddr) || !ipv4Of(rows[i].ucRemoteAddr, remote))
            continue;
        r.state = int(rows[i].dwState);
        r.localPort = portOf(rows[i].dwLocalPort);
        const bool listening = rows[i].dwState == MIB_TCP_STATE_LISTEN;
        r.remoteAddr = listening ? 0 : remote;
        r.remotePort = listening ? 0 : portOf(rows[i].dwRemotePort);
        r.pid = rows[i].dwOwningPid;
        r.inode = socketKey(true, r);
        out.push_back(r);
    }
    return out.size() - before;
}

size_t appendUdpOwnerRows(const void* table, size_t bytes, bool ipv6, std::vector<SocketRow>& out)
{
    const size_t before = out.size();
    if (!ipv6) {
        const size_t n = rowsIn<MIB_UDPROW_OWNER_PID>(table, bytes);
        const auto* rows = firstRow<MIB_UDPROW_OWNER_PID>(table);
        for (size_t i = 0; i < n; ++i) {
            SocketRow r;
            r.localAddr = rows[i].dwLocalAddr;
            r.localPort = portOf(rows[i].dwLocalPort);
            r.pid = rows[i].dwOwningPid;
            r.inode = socketKey(false, r);
            out.push_back(r);
        }
        return out.size() - before;
    }
    const size_t n = rowsIn<MIB_UDP6ROW_OWNER_PID>(table, bytes);
    const auto* rows = firstRow<MIB_UDP6ROW_OWNER_PID>(table);
    for (size_t i = 0; i < n; ++i) {
        SocketRow r;
        if (!ipv4Of(rows[i].ucLocalAddr, r.localAddr))
            continue;
        r.localPort = portOf(rows[i].dwLocalPort);
        r.pid = rows[i].dwOwningPid;
        r.inode = socketKey(false, r);
        out.push_back(r);
    }
    return out.size() - before;
}

bool readSocketTable(SocketProtocol protocol, std::vector<SocketRow>& out)
{
    out.clear();
    const bool tcp = protocol == SocketProtocol::Tcp;
    bool any = false;
    std::vector<unsigned char> buffer(16 * 1024);
    for (const ULONG family : {ULONG(AF_INET), ULONG(AF_INET6)}) {
        const auto get = [tcp, family](void* table, DWORD* size) {
            return tcp ? ::GetExtendedTcpTable(table, size, FALSE, family, TCP_TABLE_OWNER_PID_ALL, 0)
                       : ::GetExtendedUdpTable(table, size, FALSE, family, UDP_TABLE_OWNER_PID, 0);
        };
        if (!readTable(get, buffer))
            continue;
        any = true;
        const bool ipv6 = family == AF_INET6;
        if (tcp)
            appendTcpOwnerRows(buffer.data(), buffer.size(), ipv6, out);
        else
            appendUdpOwnerRows(buffer.data(), buffer.size(), ipv6, out);
    }
    return any;
}

} // namespace platform
