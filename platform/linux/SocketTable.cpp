#include "platform/linux/ProcTables.h"
#include "platform/linux/SockDiag.h"

#include <charconv>

#include <string>

#include "platform/linux/InodeOwners.h"
#include "platform/linux/ProcFile.h"

namespace platform {

namespace {

// Splits off the next blank-separated field.
std::string_view nextField(std::string_view& line)
{
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const size_t end = line.find_first_of(" \t");
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    return field;
}

template <typename T>
bool parseHex(std::string_view s, T& out)
{
    if (s.empty())
        return false;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out, 16);
    return ec == std::errc() && ptr == s.data() + s.size();
}

// "0100007F:0035" (IPv4) or 32 hex digits ":" port (IPv6; only IPv4-mapped and unspecified
// addresses are kept). The kernel prints each 32-bit word as it lies in memory, so the value
// read is already in network byte order; the port is printed in host order.
bool parseEndpoint(std::string_view field, bool ipv6, uint32_t& addr, uint16_t& port)
{
    const size_t colon = field.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view a = field.substr(0, colon);
    uint16_t hostPort = 0;
    if (!parseHex(field.substr(colon + 1), hostPort))
        return false;
    port = uint16_t((hostPort >> 8) | (hostPort << 8));
    if (!ipv6)
        return a.size() == 8 && parseHex(a, addr);
    if (a.size() != 32)
        return false;
    uint32_t words[4];
    for (int i = 0; i < 4; ++i)
        if (!parseHex(a.substr(size_t(i) * 8, 8), words[i]))
            return false;
    if (words[0] != 0 || words[1] != 0)
        return false;
    if (words[2] == 0 && words[3] == 0) {  // "::", which also receives IPv4 on dual-stack sockets
        addr = 0;
        return true;
    }
    if (words[2] != 0xFFFF0000u)  // ::ffff:a.b.c.d in memory order
        return false;
    addr = words[3];
    return true;
}


} // namespace

size_t parseProcNetTable(std::string_view text, bool ipv6, SocketProtocol protocol,
                         std::vector<SocketRow>& out)
{
    size_t added = 0;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        SocketRow row;
        if (parseProcNetLine(line, ipv6, protocol, row)) {
            out.push_back(row);
            ++added;
        }
    }
    return added;
}

int translateTcpState(int linuxState)
{
    static constexpr int kMap[13] = {0, 5, 3, 4, 6, 7, 11, 1, 8, 10, 2, 9, 4};
    return linuxState >= 1 && linuxState <= 12 ? kMap[linuxState] : 0;
}

bool parseProcNetLine(std::string_view line, bool ipv6, SocketProtocol protocol, SocketRow& out)
{
    const std::string_view slot = nextField(line);
    if (slot.empty() || slot.back() != ':')
        return false;  // header or garbage
    SocketRow row;
    if (!parseEndpoint(nextField(line), ipv6, row.localAddr, row.localPort))
        return false;
    if (!parseEndpoint(nextField(line), ipv6, row.remoteAddr, row.remotePort))
        return false;
    unsigned state = 0;
    if (!parseHex(nextField(line), state))
        return false;
    // tx:rx queues, timer, retransmits, uid, timeout, then the inode.
    for (int skip = 0; skip < 5; ++skip)
        if (nextField(line).empty())
            return false;
    const std::string_view inode = nextField(line);
    const auto [ptr, ec] = std::from_chars(inode.data(), inode.data() + inode.size(), row.inode);
    if (inode.empty() || ec != std::errc() || ptr != inode.data() + inode.size())
        return false;
    row.state = protocol == SocketProtocol::Tcp ? translateTcpState(int(state)) : 0;
    out = row;
    return true;
}

bool readSocketTable(SocketProtocol protocol, std::vector<SocketRow>& out)
{
    out.clear();
    bool any = dumpSocketTable(protocol, out);
    if (!any) {
        out.clear();
        const bool tcp = protocol == SocketProtocol::Tcp;
        std::string text;
        if (readProcFile(tcp ? "/proc/net/tcp" : "/proc/net/udp", text)) {
            any = true;
            parseProcNetTable(text, false, protocol, out);
        }
        if (readProcFile(tcp ? "/proc/net/tcp6" : "/proc/net/udp6", text)) {
            any = true;
            parseProcNetTable(text, true, protocol, out);
        }
    }
    InodeOwners& owners = InodeOwners::instance();
    std::vector<uint64_t> unknown;
    for (SocketRow& row : out) {
        if (row.inode == 0)
            continue;
        row.pid = owners.cachedOwnerOf(row.inode);
        if (row.pid == 0)
            unknown.push_back(row.inode);
    }
    if (!unknown.empty() && owners.findOwners(unknown) > 0) {
        for (SocketRow& row : out)
            if (row.inode != 0 && row.pid == 0)
                row.pid = owners.cachedOwnerOf(row.inode);
    }
    return any;
}

} // namespace platform
