#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/IoEvents.h"
#include "platform/PacketDecode.h"

namespace {

using platform::DecodedPacket;
using platform::DecodeResult;

// A cooked (SLL) frame carrying an IPv4 packet from src to dst.
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
    l4[13] = tcpFlags;
    return f;
}

DecodeResult decode(const std::vector<uint8_t>& f, DecodedPacket& p, size_t caplen = SIZE_MAX, size_t wire = 0)
{
    return platform::decodeCapturedPacket(platform::kLinkLinuxSll, f.data(), std::min(caplen, f.size()),
                                          wire ? wire : f.size(), p);
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
    EXPECT_EQ(decode(badIhl, p), DecodeResult::Malformed);
    std::vector<uint8_t> hugeIhl = good;
    hugeIhl[16] = 0x4F;  // 60 bytes of header, more than was captured
    EXPECT_EQ(decode(hugeIhl, p), DecodeResult::Malformed);
    std::vector<uint8_t> shortTotal = good;
    shortTotal[18] = 0;
    shortTotal[19] = 10;
    EXPECT_EQ(decode(shortTotal, p), DecodeResult::Malformed);
    EXPECT_EQ(platform::decodeCapturedPacket(1, good.data(), good.size(), good.size(), p), DecodeResult::Malformed);
    EXPECT_EQ(platform::decodeCapturedPacket(platform::kLinkLinuxSll, nullptr, 0, 0, p), DecodeResult::Malformed);
}

TEST(PacketDecode, FragmentsAndOffloadedFrames)
{
    DecodedPacket p;
    std::vector<uint8_t> fragment = frame(0, 17, "10.0.0.2", "10.0.0.1", 1, 2, 1500);
    fragment[16 + 7] = 0xB9;  // offset 185 * 8
    EXPECT_EQ(decode(fragment, p), DecodeResult::Fragment);
    // A segmentation-offload frame may carry total length 0: the wire length counts instead.
    ASSERT_EQ(decode(frame(4, 6, "10.0.0.1", "10.0.0.2", 1, 2, 0), p, SIZE_MAX, 16 + 64000), DecodeResult::Ok);
    EXPECT_EQ(p.size, 64000u);
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
