#include "platform/PacketDecode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/IoEvents.h"

namespace platform {

namespace {

constexpr uint16_t kEtherTypeIpv4 = 0x0800;
constexpr uint16_t kHwLoopback = 772;  // ARPHRD_LOOPBACK
constexpr uint8_t kPacketHost = 0, kPacketBroadcast = 1, kPacketMulticast = 2, kPacketOutgoing = 4;
constexpr uint8_t kIpProtoTcp = 6, kIpProtoUdp = 17;

uint16_t be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
uint16_t raw16(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
uint32_t raw32(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }

struct LinkInfo {
    size_t headerLength;
    uint16_t etherType;
    uint16_t hwType;
    uint8_t packetType;
};

bool decodeLink(int linkType, const uint8_t* d, size_t caplen, LinkInfo& link)
{
    if (linkType == kLinkLinuxSll) {
        // packet type(2) hw type(2) addr len(2) addr(8) protocol(2)
        if (caplen < 16)
            return false;
        link = {16, be16(d + 14), be16(d + 2), uint8_t(be16(d))};
        return true;
    }
    if (linkType == kLinkLinuxSll2) {
        // protocol(2) reserved(2) ifindex(4) hw type(2) packet type(1) addr len(1) addr(8)
        if (caplen < 20)
            return false;
        link = {20, be16(d), be16(d + 8), d[10]};
        return true;
    }
    return false;
}

// Whether an IPv4 header's checksum holds: its 16-bit words add up to all ones.
bool headerChecksumHolds(const uint8_t* ip, size_t length)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < length; i += 2)
        sum += be16(ip + i);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return sum == 0xFFFF;
}

} // namespace

DecodeResult decodeCapturedPacket(int linkType, const uint8_t* data, size_t caplen,
                                  size_t wireLength, DecodedPacket& out)
{
    LinkInfo link{};
    if (!data || !decodeLink(linkType, data, caplen, link))
        return DecodeResult::Malformed;
    if (link.etherType != kEtherTypeIpv4 || link.hwType == kHwLoopback)
        return DecodeResult::Ignored;
    bool send = false;
    switch (link.packetType) {
    case kPacketOutgoing: send = true; break;
    case kPacketHost:
    case kPacketBroadcast:
    case kPacketMulticast: break;
    default: return DecodeResult::Ignored;  // another host's frame
    }

    const uint8_t* ip = data + link.headerLength;
    const size_t ipCaptured = caplen - link.headerLength;
    if (ipCaptured < 20 || (ip[0] >> 4) != 4)
        return DecodeResult::Malformed;
    const size_t ihl = size_t(ip[0] & 0x0F) * 4;
    if (ihl < 20 || ihl > ipCaptured)
        return DecodeResult::Malformed;
    const uint8_t proto = ip[9];
    if (proto != kIpProtoTcp && proto != kIpProtoUdp)
        return DecodeResult::Ignored;
    // What the wire carried of the IP packet; a header claiming more is not believed.
    const size_t wireIp = std::max(wireLength, caplen) - link.headerLength;
    uint32_t totalLength = be16(ip + 2);
    if (totalLength == 0)
        totalLength = uint32_t(std::min<size_t>(wireIp, UINT32_MAX));  // offloaded super-frame
    if (totalLength < ihl || totalLength > wireIp)
        return DecodeResult::Malformed;
    // An offloaded super-frame (total length 0) was built by the stack itself.
    if (!send && be16(ip + 2) != 0 && !headerChecksumHolds(ip, ihl))
        return DecodeResult::Malformed;

    const uint32_t src = raw32(ip + 12), dst = raw32(ip + 16);
    out.protocol = proto == kIpProtoTcp ? kProtoTcp : kProtoUdp;
    out.direction = send ? kDirSend : kDirReceive;
    out.size = totalLength;
    out.localAddr = send ? src : dst;
    out.remoteAddr = send ? dst : src;
    out.localPort = out.remotePort = 0;
    out.tcpSyn = false;
    out.ipId = be16(ip + 4);
    out.payloadLength = totalLength - uint32_t(ihl);
    out.udpLength = 0;
    out.dataOffset = out.dataLength = out.tcpSeq = 0;
    const uint16_t fragmentField = be16(ip + 6);
    out.moreFragments = (fragmentField & 0x2000) != 0;
    out.fragmentOffset = uint32_t(fragmentField & 0x1FFF) * 8;
    if ((fragmentField & 0x1FFF) != 0) {
        out.fragment = FragmentPart::Later;
        return DecodeResult::Fragment;
    }
    out.fragment = out.moreFragments ? FragmentPart::First : FragmentPart::Whole;

    const uint8_t* l4 = ip + ihl;
    const size_t l4Captured = ipCaptured - ihl;
    const size_t needed = proto == kIpProtoTcp ? 14 : 8;
    if (l4Captured < needed)
        return DecodeResult::Malformed;
    if (proto == kIpProtoTcp) {
        // The data offset counts 32-bit words of TCP header: at least 5, and inside the packet.
        const size_t tcpHeader = size_t(l4[12] >> 4) * 4;
        if (tcpHeader < 20 || ihl + tcpHeader > totalLength)
            return DecodeResult::Malformed;
        out.dataOffset = uint32_t(link.headerLength + ihl + tcpHeader);
        out.dataLength = totalLength - uint32_t(ihl + tcpHeader);
        out.tcpSeq = uint32_t(l4[4]) << 24 | uint32_t(l4[5]) << 16 | uint32_t(l4[6]) << 8 | l4[7];
    }
    if (proto == kIpProtoUdp) {
        out.udpLength = be16(l4 + 4);
        if (!send && out.fragment == FragmentPart::Whole && (out.udpLength < 8 || out.udpLength > out.payloadLength))
            return DecodeResult::Malformed;
        out.dataOffset = uint32_t(link.headerLength + ihl + 8);
        out.dataLength = out.payloadLength >= 8 ? out.payloadLength - 8 : 0;
        if (out.fragment == FragmentPart::Whole && out.udpLength >= 8 && out.udpLength <= out.payloadLength)
            out.dataLength = out.udpLength - 8u;
    }
    const uint16_t sport = raw16(l4), dport = raw16(l4 + 2);
    out.localPort = send ? sport : dport;
    out.remotePort = send ? dport : sport;
    out.tcpSyn = proto == kIpProtoTcp && (l4[13] & 0x02) && !(l4[13] & 0x10);
    return DecodeResult::Ok;
}

} // namespace platform
