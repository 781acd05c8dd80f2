#include "platform/EtwNetRecord.h"

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

constexpr uint32_t kTcpHeaderBytes = 40;  // IPv4 and TCP headers without options
constexpr uint32_t kUdpHeaderBytes = 28;  // IPv4 and UDP headers

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t le16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

// Addresses and ports lie in network order, as a packet carries them: kept as they lie.
uint32_t raw32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint16_t raw16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Where the fields of one layout lie.
struct Layout {
    size_t minSize;
    size_t pid;  // SIZE_MAX: the layout has none, the header's is taken
    size_t size;
    bool size16;
    size_t daddr, saddr, dport, sport;
};

constexpr size_t kNone = SIZE_MAX;

// The first version's fields (PID size daddr saddr dport sport), shared by every later one.
constexpr Layout kCurrent{20, 0, 4, false, 8, 12, 16, 18};

Layout layoutOf(const EtwNetRecordView& r, bool tcp)
{
    const size_t pointer = r.pointer64 ? 8 : 4;
    if (r.version == 0) {
        if (tcp)
            return Layout{20, 16, 12, false, 0, 4, 8, 10};
        return Layout{pointer + 16, kNone, pointer + 6, true, pointer + 8, pointer, pointer + 12, pointer + 4};
    }
    Layout l = kCurrent;
    // Version 2 appends to a TCP send: startime endtime seqnum connid*; to the others: seqnum
    // connid*. Later versions are read by the fields they share with the first.
    if (r.version == 2)
        l.minSize = tcp && r.opcode == kEtwTypeSend ? 20 + 12 + pointer : 20 + 4 + pointer;
    return l;
}

uint32_t withHeaders(uint32_t payload, uint32_t headers)
{
    return payload > UINT32_MAX - headers ? UINT32_MAX : payload + headers;
}

} // namespace

EtwNetResult decodeEtwNetRecord(const EtwNetRecordView& r, EtwNetEvent& out)
{
    const bool tcp = r.provider == kEtwTcpIpClass;
    if (!tcp && !(r.provider == kEtwUdpIpClass))
        return EtwNetResult::Ignored;
    if (r.opcode != kEtwTypeSend && r.opcode != kEtwTypeReceive)
        return EtwNetResult::Ignored;
    const Layout l = layoutOf(r, tcp);
    if (!r.data || r.size < l.minSize)
        return EtwNetResult::Truncated;

    const uint8_t* d = r.data;
    const bool send = r.opcode == kEtwTypeSend;
    NetEvent e;
    e.timestamp = r.timestamp;
    e.pid = l.pid == kNone ? r.headerPid : le32(d + l.pid);
    if (e.pid == UINT32_MAX)
        e.pid = 0;  // "no process" as the header spells it
    const uint32_t size = l.size16 ? le16(d + l.size) : le32(d + l.size);
    e.size = withHeaders(size, tcp ? kTcpHeaderBytes : kUdpHeaderBytes);
    e.packets = 1;
    e.protocol = tcp ? kProtoTcp : kProtoUdp;
    e.direction = send ? kDirSend : kDirReceive;
    // A received datagram names its sender as the source; everything else names the remote
    // end as the destination.
    const bool remoteIsSource = !tcp && !send;
    e.remoteAddr = raw32(d + (remoteIsSource ? l.saddr : l.daddr));
    e.remotePort = raw16(d + (remoteIsSource ? l.sport : l.dport));
    e.localPort = raw16(d + (remoteIsSource ? l.dport : l.sport));
    out.event = e;
    out.localAddr = raw32(d + (remoteIsSource ? l.daddr : l.saddr));
    return EtwNetResult::Event;
}

bool orientByLocalAddresses(EtwNetEvent& decoded, const std::vector<uint32_t>& localAddrs)
{
    NetEvent& e = decoded.event;
    if (e.direction != kDirReceive)
        return false;
    const auto local = [&localAddrs](uint32_t a) {
        return std::find(localAddrs.begin(), localAddrs.end(), a) != localAddrs.end();
    };
    if (!local(e.remoteAddr) || local(decoded.localAddr))
        return false;
    std::swap(e.remoteAddr, decoded.localAddr);
    std::swap(e.remotePort, e.localPort);
    return true;
}

} // namespace platform
