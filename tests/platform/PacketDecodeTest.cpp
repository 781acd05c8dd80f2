#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/IoEvents.h"
#include "platform/PacketDecode.h"

namespace {

using platform::DecodedPacket;
using platform::DecodeResult;

// Sets the IP header checksum of a cooked (SLL) frame.
void setChecksum(std::vector<uint8_t>& f)
{
    uint8_t* ip = f.data() + 16;
    ip[10] = ip[11] = 0;
    uint32_t sum = 0;
    for (size_t i = 0; i < size_t(ip[0] & 0x0F) * 4; i += 2)
        sum += uint32_t(ip[i] << 8 | ip[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    ip[10] = uint8_t(~sum >> 8);
    ip[11] = uint8_t(~sum);
}

// A cooked (SLL) frame carrying an IPv4 packet from src to dst, its checksum and UDP length right.
std::vector<uint8_t> frame(uint16_t packetType, uint8_t proto, const char* src, const char* dst,
                           uint16_t sport, uint16_t dport, uint16_t totalLength, uint8_t tcpFlags = 0x10,
                           uint16_t hwType = 1)
{
    std::vector<uint8_t> f(16 + 20 + 20, 0);
    f[0] = uint8_t(packetType >> 8);
    f[1] = uint8_t(packetType);
    f[2] = uint8_t(hwType >> 8);
    f[3] = uint8_t(hwType);
    f[14] = 0x08;  // IPv4
    uint8_t* ip = f.data() + 16;
    ip[0] = 0x45;
    ip[2] = uint8_t(totalLength >> 8);
    ip[3] = uint8_t(totalLength);
    ip[9] = proto;
    inet_pton(AF_INET, src, ip + 12);
    inet_pton(AF_INET, dst, ip + 16);
    uint8_t* l4 = ip + 20;
    l4[0] = uint8_t(sport >> 8);
    l4[1] = uint8_t(sport);
    l4[2] = uint8_t(dport >> 8);
    l4[3] = uint8_t(dport);
    l4[12] = 0x50;  // a 20-byte TCP header
    l4[13] = tcpFlags;
    if (proto == 17) {  // the UDP length: what the packet holds after the IP header
        const uint16_t udpLength = totalLength >= 20 ? uint16_t(totalLength - 20) : 0;
        l4[4] = uint8_t(udpLength >> 8);
        l4[5] = uint8_t(udpLength);
    }
    setChecksum(f);
    return f;
}

// Decodes f as captured with a short snap length: unless given, the wire length is what the
// frame's IP total length says.
DecodeResult decode(const std::vector<uint8_t>& f, DecodedPacket& p, size_t caplen = SIZE_MAX, size_t wire = 0)
{
    const size_t claimed = 16 + size_t((f.size() > 19 ? f[18] : 0) << 8 | (f.size() > 19 ? f[19] : 0));
    return platform::decodeCapturedPacket(platform::kLinkLinuxSll, f.data(), std::min(caplen, f.size()),
                                          wire ? wire : std::max(f.size(), claimed), p);
}

TEST(PacketDecode, DirectionDecidesWhichEndIsRemote)
{
    DecodedPacket p;
    ASSERT_EQ(decode(frame(4, 6, "10.0.0.1", "10.0.0.2", 40000, 443, 1500), p), DecodeResult::Ok);
    EXPECT_EQ(p.direction, platform::kDirSend);
    EXPECT_EQ(p.protocol, platform::kProtoTcp);
    EXPECT_EQ(p.size, 1500u);
    EXPECT_EQ(p.remotePort, htons(443));
    EXPECT_EQ(p.localPort, htons(40000));
    char text[16];
    EXPECT_STREQ(inet_ntop(AF_INET, &p.remoteAddr, text, sizeof text), "10.0.0.2");
    EXPECT_FALSE(p.tcpSyn);

    ASSERT_EQ(decode(frame(0, 17, "10.0.0.2", "10.0.0.1", 53, 40001, 120), p), DecodeResult::Ok);
    EXPECT_EQ(p.direction, platform::kDirReceive);
    EXPECT_EQ(p.protocol, platform::kProtoUdp);
    EXPECT_EQ(p.remotePort, htons(53));
    EXPECT_EQ(p.localPort, htons(40001));
    EXPECT_STREQ(inet_ntop(AF_INET, &p.remoteAddr, text, sizeof text), "10.0.0.2");
}

TEST(PacketDecode, SynWithoutAckOpensAConnection)
{
    DecodedPacket p;
    ASSERT_EQ(decode(frame(4, 6, "10.0.0.1", "10.0.0.2", 1, 2, 60, 0x02), p), DecodeResult::Ok);
    EXPECT_TRUE(p.tcpSyn);
    ASSERT_EQ(decode(frame(0, 6, "10.0.0.2", "10.0.0.1", 2, 1, 60, 0x12), p), DecodeResult::Ok);
    EXPECT_FALSE(p.tcpSyn);
}

TEST(PacketDecode, FramesThatAreNotOursAreIgnored)
{
    DecodedPacket p;
    EXPECT_EQ(decode(frame(3, 6, "10.0.0.9", "10.0.0.8", 1, 2, 60), p), DecodeResult::Ignored);  // other host
    EXPECT_EQ(decode(frame(4, 6, "10.0.0.1", "10.0.0.1", 1, 2, 60, 0x10, 772), p), DecodeResult::Ignored);
    EXPECT_EQ(decode(frame(4, 1, "10.0.0.1", "10.0.0.2", 0, 0, 60), p), DecodeResult::Ignored);  // ICMP
    std::vector<uint8_t> ipv6 = frame(4, 6, "10.0.0.1", "10.0.0.2", 1, 2, 60);
    ipv6[14] = 0x86;
    ipv6[15] = 0xDD;
    EXPECT_EQ(decode(ipv6, p), DecodeResult::Ignored);
}

TEST(PacketDecode, TruncatedAndInconsistentHeadersAreMalformed)
{
    DecodedPacket p;
    const std::vector<uint8_t> good = frame(4, 6, "10.0.0.1", "10.0.0.2", 1, 2, 60);
    for (size_t cut : {0u, 10u, 16u, 35u, 36u + 13u})
        EXPECT_EQ(decode(good, p, cut), DecodeResult::Malformed) << cut;
    std::vector<uint8_t> badIhl = good;
    badIhl[16] = 0x44;
    setChecksum(badIhl);
    EXPECT_EQ(decode(badIhl, p), DecodeResult::Malformed);
    std::vector<uint8_t> hugeIhl = good;
    hugeIhl[16] = 0x4F;  // 60 bytes of header, more than was captured
    EXPECT_EQ(decode(hugeIhl, p), DecodeResult::Malformed);
    std::vector<uint8_t> shortTotal = good;
    shortTotal[18] = 0;
    shortTotal[19] = 10;
    setChecksum(shortTotal);
    EXPECT_EQ(decode(shortTotal, p), DecodeResult::Malformed);
    EXPECT_EQ(platform::decodeCapturedPacket(1, good.data(), good.size(), good.size(), p), DecodeResult::Malformed);
    EXPECT_EQ(platform::decodeCapturedPacket(platform::kLinkLinuxSll, nullptr, 0, 0, p), DecodeResult::Malformed);
}

TEST(PacketDecode, LengthsTheFrameDoesNotCarryAreMalformed)
{
    DecodedPacket p;
    // A 48-byte packet whose header claims 60 000 bytes.
    const std::vector<uint8_t> claims = frame(0, 17, "10.0.0.2", "10.0.0.1", 1, 2, 60000);
    EXPECT_EQ(decode(claims, p, SIZE_MAX, 16 + 48), DecodeResult::Malformed);
    ASSERT_EQ(decode(claims, p, SIZE_MAX, 16 + 60000), DecodeResult::Ok);  // the wire carried it all
    EXPECT_EQ(p.size, 60000u);
    // Ethernet padding: the frame is longer than the packet, which counts at its own length.
    ASSERT_EQ(decode(frame(0, 6, "10.0.0.2", "10.0.0.1", 1, 2, 40), p, SIZE_MAX, 16 + 46), DecodeResult::Ok);
    EXPECT_EQ(p.size, 40u);

    // TCP data offsets below five words, or past the end of the packet.
    std::vector<uint8_t> tcp = frame(0, 6, "10.0.0.2", "10.0.0.1", 1, 2, 40);
    for (uint8_t offset : {0x00, 0x40, 0x60, 0xF0}) {
        tcp[36 + 12] = offset;
        EXPECT_EQ(decode(tcp, p), DecodeResult::Malformed) << int(offset);
    }
    tcp[36 + 12] = 0x60;  // 24 bytes of header in a 44-byte packet
    tcp[18] = 0;
    tcp[19] = 44;
    setChecksum(tcp);
    EXPECT_EQ(decode(tcp, p, SIZE_MAX, 16 + 44), DecodeResult::Ok);
}

TEST(PacketDecode, FragmentsAndOffloadedFrames)
{
    DecodedPacket p;
    std::vector<uint8_t> fragment = frame(0, 17, "10.0.0.2", "10.0.0.1", 1, 2, 1500);
    fragment[16 + 4] = 0x12;  // IP id 0x1234
    fragment[16 + 5] = 0x34;
    fragment[16 + 6] = 0x20;  // more fragments, offset 0: the first, with the ports
    setChecksum(fragment);
    ASSERT_EQ(decode(fragment, p), DecodeResult::Ok);
    EXPECT_EQ(p.fragment, platform::FragmentPart::First);
    EXPECT_EQ(p.ipId, 0x1234);
    EXPECT_EQ(p.remotePort, htons(1));
    fragment[16 + 7] = 0xB9;  // offset 185 * 8: a later one, no ports but everything else
    setChecksum(fragment);
    ASSERT_EQ(decode(fragment, p), DecodeResult::Fragment);
    EXPECT_EQ(p.fragmentOffset, 185u * 8);
    EXPECT_EQ(p.payloadLength, 1480u);
    EXPECT_EQ(p.fragment, platform::FragmentPart::Later);
    EXPECT_TRUE(p.moreFragments);
    EXPECT_EQ(p.size, 1500u);
    EXPECT_EQ(p.protocol, platform::kProtoUdp);
    EXPECT_EQ(p.direction, platform::kDirReceive);
    EXPECT_EQ(p.remotePort, 0);
    char text[16];
    EXPECT_STREQ(inet_ntop(AF_INET, &p.remoteAddr, text, sizeof text), "10.0.0.2");
    // A segmentation-offload frame may carry total length 0: the wire length counts instead.
    ASSERT_EQ(decode(frame(4, 6, "10.0.0.1", "10.0.0.2", 1, 2, 0), p, SIZE_MAX, 16 + 64000), DecodeResult::Ok);
    EXPECT_EQ(p.size, 64000u);
}

TEST(PacketDecode, ReceivedPacketsTheStackWouldDropAreMalformed)
{
    DecodedPacket p;
    std::vector<uint8_t> badSum = frame(0, 6, "10.0.0.2", "10.0.0.1", 1, 2, 40);
    badSum[16 + 11] ^= 0x01;
    EXPECT_EQ(decode(badSum, p), DecodeResult::Malformed);
    badSum[0] = 0;
    badSum[1] = 4;  // the same header sent by this host: it left, whatever its checksum
    EXPECT_EQ(decode(badSum, p), DecodeResult::Ok);

    // UDP lengths below the UDP header or beyond the packet; one shorter than the packet is
    // the stack's to trim and counts.
    std::vector<uint8_t> udp = frame(0, 17, "10.0.0.2", "10.0.0.1", 1, 2, 40);
    for (const auto& [length, result] : {std::pair{7, DecodeResult::Malformed}, std::pair{21, DecodeResult::Malformed},
                                         std::pair{12, DecodeResult::Ok}}) {
        udp[36 + 4] = 0;
        udp[36 + 5] = uint8_t(length);
        EXPECT_EQ(decode(udp, p), result) << length;
    }
}

TEST(PacketDecode, CookedV2Header)
{
    // protocol(2) reserved(2) ifindex(4) hatype(2) pkttype(1) halen(1) addr(8), then IPv4
    std::vector<uint8_t> v1 = frame(4, 17, "10.0.0.1", "10.0.0.2", 5, 6, 40);
    std::vector<uint8_t> v2(20, 0);
    v2[0] = 0x08;
    v2[9] = 1;
    v2[10] = 4;
    v2.insert(v2.end(), v1.begin() + 16, v1.end());
    DecodedPacket p;
    ASSERT_EQ(platform::decodeCapturedPacket(platform::kLinkLinuxSll2, v2.data(), v2.size(), v2.size(), p),
              DecodeResult::Ok);
    EXPECT_EQ(p.direction, platform::kDirSend);
    EXPECT_EQ(p.remotePort, htons(6));
}

} // namespace
