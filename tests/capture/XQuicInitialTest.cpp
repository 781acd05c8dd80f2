#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HandshakeBuilder.h"
#include "capture/XQuicInitial.h"
#include "capture/XQuicPacketProtection.h"

namespace {

using handshake::Bytes;
using handshake::cryptoFrame;
using handshake::operator+;
using handshake::quicInitial;

const Bytes kRfcDcid = {0x83, 0x94, 0xc8, 0xf0, 0x3e, 0x51, 0x57, 0x08};

std::string hex(const uint8_t* p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

// Exactly the datagram's bytes on the heap, so a read past them is caught under ASan.
XQuicFeedStatus feed(XQuicInitialReassembly& r, const Bytes& datagram, size_t size = SIZE_MAX)
{
    const Bytes copy(datagram.begin(), datagram.begin() + long(std::min(size, datagram.size())));
    return r.feed(copy.data(), copy.size());
}

Bytes helloMessage(const std::string& name)
{
    return handshake::clientHello({handshake::extension(0x0039, Bytes(40, 0x11)), handshake::serverNameExtension(name)});
}

Bytes slice(const Bytes& b, size_t from, size_t to)
{
    return Bytes(b.begin() + long(from), b.begin() + long(std::min(to, b.size())));
}

TEST(QuicInitialKeys, MatchThePublishedVectors)
{
    XQuicInitialKeys v1;
    ASSERT_TRUE(deriveClientInitialKeys(kQuicVersion1, kRfcDcid.data(), kRfcDcid.size(), v1));
    EXPECT_EQ(hex(v1.key.data(), 16), "1f369613dd76d5467730efcbe3b1a22d");
    EXPECT_EQ(hex(v1.iv.data(), 12), "fa044b2f42a3fd3b46fb255c");
    EXPECT_EQ(hex(v1.hp.data(), 16), "9f50449e04a0e810283a1e9933adedd2");
    XQuicInitialKeys v2;
    ASSERT_TRUE(deriveClientInitialKeys(kQuicVersion2, kRfcDcid.data(), kRfcDcid.size(), v2));
    EXPECT_EQ(hex(v2.key.data(), 16), "8b1a0bc121284290a29e0971b5cd045d");
    EXPECT_EQ(hex(v2.iv.data(), 12), "91f73e2351d8fa91660e909f");
    EXPECT_EQ(hex(v2.hp.data(), 16), "45b95e15235d6f45a6b19cbcb0294ba9");
    EXPECT_FALSE(deriveClientInitialKeys(0xff00001d, kRfcDcid.data(), kRfcDcid.size(), v1));  // a draft version
}

TEST(QuicInitial, PublishedClientInitialsOfBothVersionsNameTheServer)
{
    for (const char* file : {"quic_rfc9001_client_initial.bin", "quic_rfc9369_client_initial.bin"}) {
        XQuicInitialReassembly r;
        EXPECT_EQ(feed(r, handshake::recorded(file)), XQuicFeedStatus::Accepted) << file;
        EXPECT_EQ(r.serverName().status, XServerNameStatus::Found) << file;
        EXPECT_EQ(r.serverName().serverName, "example.com") << file;
        EXPECT_FALSE(r.wantsMore());
    }
}

// Chromium splits its ClientHello over two datagrams in small CRYPTO frames out of order.
TEST(QuicInitial, RealClientHelloFromTwoDatagramsInEitherOrder)
{
    const Bytes first = handshake::recorded("quic_chromium_initial_1.bin");
    const Bytes second = handshake::recorded("quic_chromium_initial_2.bin");
    XQuicInitialReassembly r;
    ASSERT_EQ(feed(r, first), XQuicFeedStatus::Accepted);
    EXPECT_EQ(r.serverName().status, XServerNameStatus::Truncated);
    EXPECT_TRUE(r.wantsMore());
    ASSERT_EQ(feed(r, second), XQuicFeedStatus::Accepted);
    EXPECT_EQ(r.serverName().serverName, "www.lumivex.test");
    EXPECT_TRUE(r.serverName().ech);
    EXPECT_FALSE(r.wantsMore());

    XQuicInitialReassembly reversed;
    feed(reversed, second);
    feed(reversed, first);
    EXPECT_EQ(reversed.serverName().serverName, "www.lumivex.test");
}

TEST(QuicInitial, CoalescedPacketsAndTrailingPaddingAreWalked)
{
    const Bytes hello = helloMessage("h3.lumivex.test");
    const Bytes dcid(8, 0x42);
    // Two Initials (the hello's halves, second half first) around a 0-RTT packet, then zeros.
    Bytes zeroRtt{0xd3, 0x00, 0x00, 0x00, 0x01, 0x08};
    zeroRtt = zeroRtt + dcid + Bytes{0x00, 0x40, 0x20} + Bytes(0x20, 0x77);
    const Bytes datagram = quicInitial(kQuicVersion1, dcid, 1, cryptoFrame(40, slice(hello, 40, hello.size()))) +
                           zeroRtt + quicInitial(kQuicVersion1, dcid, 0, cryptoFrame(0, slice(hello, 0, 40))) +
                           Bytes(300, 0x00);
    XQuicInitialReassembly r;
    EXPECT_EQ(feed(r, datagram), XQuicFeedStatus::Accepted);
    EXPECT_EQ(r.serverName().serverName, "h3.lumivex.test");
}

TEST(QuicInitial, DatagramsThatAreNotTheConnectionsInitialsAreRefused)
{
    const Bytes rfc = handshake::recorded("quic_rfc9001_client_initial.bin");
    const auto statusOf = [](const Bytes& datagram) {
        XQuicInitialReassembly r;
        return feed(r, datagram);
    };
    EXPECT_EQ(statusOf(Bytes{0x40, 1, 2, 3, 4, 5, 6, 7}), XQuicFeedStatus::NotInitial);          // short header
    EXPECT_EQ(statusOf(Bytes{0xc0, 0, 0, 0, 0, 8, 1, 2}), XQuicFeedStatus::NotInitial);          // version negotiation
    Bytes grease = rfc;
    grease[1] = 0x1a, grease[2] = 0x2a, grease[3] = 0x3a, grease[4] = 0x4a;
    EXPECT_EQ(statusOf(grease), XQuicFeedStatus::NotInitial);
    Bytes tampered = rfc;
    tampered[600] ^= 0x01;
    EXPECT_EQ(statusOf(tampered), XQuicFeedStatus::Unauthentic);
    Bytes otherId = rfc;
    otherId[8] ^= 0x01;  // the keys come from the connection ID
    EXPECT_EQ(statusOf(otherId), XQuicFeedStatus::Unauthentic);

    // Every cut of the packet runs its Length past the datagram, or leaves no room for the
    // sample and the tag: nothing is accepted, nothing is read outside the datagram.
    for (size_t size = 0; size < rfc.size(); ++size) {
        XQuicInitialReassembly r;
        const XQuicFeedStatus s = feed(r, rfc, size);
        ASSERT_TRUE(s == XQuicFeedStatus::Malformed || s == XQuicFeedStatus::NotInitial) << size;
        ASSERT_EQ(r.serverName().status, XServerNameStatus::NotClientHello);
    }

    // Once a connection is taken, Initials of another connection ID or version are not mixed in.
    XQuicInitialReassembly r;
    ASSERT_EQ(feed(r, rfc), XQuicFeedStatus::Accepted);
    EXPECT_EQ(feed(r, quicInitial(kQuicVersion1, Bytes(8, 0x01), 3, cryptoFrame(0, helloMessage("other.test")))),
              XQuicFeedStatus::OtherConnection);
    EXPECT_EQ(feed(r, quicInitial(kQuicVersion2, kRfcDcid, 3, {0x01})), XQuicFeedStatus::OtherConnection);
    EXPECT_EQ(r.serverName().serverName, "example.com");
}

TEST(QuicInitial, ReassemblyIsBounded)
{
    const Bytes hello = helloMessage("late.lumivex.test");
    const Bytes dcid(8, 0x07);
    XQuicInitialReassembly r;
    // A stream offset far out is not stored; bytes past the bound are dropped.
    ASSERT_EQ(feed(r, quicInitial(kQuicVersion1, dcid, 0, cryptoFrame((uint64_t(1) << 62) - 1, {1}) +
                                                     cryptoFrame(XQuicInitialReassembly::kMaxCryptoBytes - 1, {1, 2, 3}))),
              XQuicFeedStatus::Accepted);
    EXPECT_EQ(r.contiguousBytes(), 0u);
    EXPECT_TRUE(r.wantsMore());
    for (int i = 1; i < XQuicInitialReassembly::kMaxDatagrams; ++i)
        EXPECT_EQ(feed(r, quicInitial(kQuicVersion1, dcid, uint32_t(i), {0x01})), XQuicFeedStatus::Accepted);
    EXPECT_FALSE(r.wantsMore());
    EXPECT_EQ(feed(r, quicInitial(kQuicVersion1, dcid, 9, cryptoFrame(0, hello))), XQuicFeedStatus::Full);
    EXPECT_EQ(r.serverName().status, XServerNameStatus::Truncated);
}

TEST(QuicInitialFrames, AckPaddingAndPingAreSteppedOverAndOtherFramesEndTheWalk)
{
    const std::string name = "f.lumivex.test";
    const Bytes hello = helloMessage(name);
    const size_t nameAt = hello.size() - name.size();  // the name ends the hello
    const Bytes ack{0x02, 0x05, 0x00, 0x01, 0x00, 0x01, 0x02};  // one range besides the first
    const Bytes ackEcn{0x03, 0x05, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03};
    const Bytes close{0x1c, 0x00, 0x00, 0x00};
    // Bytes received twice keep their first copy.
    const Bytes frames = ack + Bytes{0x00, 0x00, 0x01} + ackEcn + cryptoFrame(0, hello) +
                         cryptoFrame(nameAt, Bytes(name.size(), 'x'));
    XQuicInitialReassembly r;
    r.addInitialFrames(frames.data(), frames.size());
    EXPECT_EQ(r.serverName().serverName, name);

    const Bytes afterClose = close + cryptoFrame(0, hello);
    XQuicInitialReassembly closed;
    closed.addInitialFrames(afterClose.data(), afterClose.size());
    EXPECT_EQ(closed.contiguousBytes(), 0u);
    // A CRYPTO frame whose length runs past the payload is not stored.
    const Bytes past = Bytes{0x06, 0x00, 0x40, 0x80} + Bytes(20, 0x01);
    XQuicInitialReassembly cut;
    cut.addInitialFrames(past.data(), past.size());
    EXPECT_EQ(cut.contiguousBytes(), 0u);
}

}  // namespace
