#include <gtest/gtest.h>

#include <string>

#include "HandshakeBuilder.h"
#include "capture/XDNSRecord.h"
#include "capture/XHandshakeNameLearner.h"
#include "capture/XQuicPacketProtection.h"

namespace {

using handshake::Bytes;

std::string nameOf(XDNSRecord& dns, uint32_t address, XNameSource* source)
{
    char buf[XDNSRecord::kTextSize] = {};
    return dns.getDNSName(address, buf, sizeof buf, source) > 0 ? std::string(buf) : std::string();
}

const XHandshakeFlow kFlow{0x0A000001, 40000, 443};

TEST(HandshakeNameLearner, WholeHellosAndQuicInitialsNameTheirAddressWithTheirSource)
{
    XDNSRecord dns("");
    XHandshakeNameLearner learner(&dns);
    const Bytes curl = handshake::recorded("tls_curl.bin");
    learner.onTcpPayload(kFlow, 1000, curl.data(), curl.size(), 0);
    const XHandshakeFlow quic{0x0A000002, 40001, 443};
    const Bytes initial = handshake::recorded("quic_rfc9001_client_initial.bin");
    learner.onUdpPayload(quic, initial.data(), initial.size(), 0);
    // Chromium's Initial in two datagrams: the flow waits for the second.
    const XHandshakeFlow split{0x0A000004, 40003, 443};
    const Bytes first = handshake::recorded("quic_chromium_initial_1.bin");
    const Bytes second = handshake::recorded("quic_chromium_initial_2.bin");
    learner.onUdpPayload(split, first.data(), first.size(), 0);
    EXPECT_EQ(learner.inFlight(), 1);
    learner.onUdpPayload(split, second.data(), second.size(), 1);
    EXPECT_EQ(nameOf(dns, split.address, nullptr), "www.lumivex.test");
    // UDP to another port is never read as QUIC.
    learner.onUdpPayload({0x0A000003, 40002, 8443}, initial.data(), initial.size(), 0);

    XNameSource source = XNameSource::None;
    EXPECT_EQ(nameOf(dns, kFlow.address, &source), "files.lumivex.test");
    EXPECT_EQ(source, XNameSource::Tls);
    EXPECT_EQ(nameOf(dns, quic.address, &source), "example.com");
    EXPECT_EQ(source, XNameSource::Quic);
    EXPECT_EQ(dns.size(), 3);
    const XHandshakeStats s = learner.stats();
    EXPECT_EQ(s.tlsHellos, 1u);
    EXPECT_EQ(s.tlsNames, 1u);
    EXPECT_EQ(s.quicInitials, 3u);
    EXPECT_EQ(s.quicNames, 2u);
    EXPECT_EQ(learner.inFlight(), 0);
}

TEST(HandshakeNameLearner, DnsNameStaysFirstAndReplacesAHandshakeName)
{
    XDNSRecord dns("");
    XHandshakeNameLearner learner(&dns);
    dns.addRecord(kFlow.address, "resolved.example", 16);
    const Bytes curl = handshake::recorded("tls_curl.bin");
    learner.onTcpPayload(kFlow, 1, curl.data(), curl.size(), 0);
    XNameSource source = XNameSource::None;
    EXPECT_EQ(nameOf(dns, kFlow.address, &source), "resolved.example");
    EXPECT_EQ(source, XNameSource::Dns);
    EXPECT_EQ(learner.stats().behindDns, 1u);

    const uint32_t other = 0x0A000009;
    learner.onTcpPayload({other, 1, 443}, 1, curl.data(), curl.size(), 0);
    dns.addRecord(other, "later.example", 13);
    EXPECT_EQ(nameOf(dns, other, &source), "later.example");
    EXPECT_EQ(source, XNameSource::Dns);
}

// Chromium's hello with its name past the first segment: the flow waits for the next one.
TEST(HandshakeNameLearner, HelloSplitOverSegmentsIsJoinedInSequenceOnly)
{
    const Bytes hello = handshake::recorded("tls_chromium_sni_late.bin");
    ASSERT_GT(hello.size(), 1448u);
    const size_t cut = 1448;
    XDNSRecord dns("");
    XHandshakeNameLearner learner(&dns);
    learner.onTcpPayload(kFlow, 500, hello.data(), cut, 0);
    EXPECT_EQ(learner.inFlight(), 1);
    learner.onTcpPayload(kFlow, 500, hello.data(), cut, 1);  // a retransmission changes nothing
    EXPECT_EQ(learner.inFlight(), 1);
    learner.onTcpPayload(kFlow, 500 + uint32_t(cut), hello.data() + cut, hello.size() - cut, 2);
    EXPECT_EQ(learner.inFlight(), 0);
    EXPECT_EQ(nameOf(dns, kFlow.address, nullptr), "www.lumivex.test");
    EXPECT_EQ(learner.stats().tlsNames, 1u);

    // A later segment than the next one: the gap is never filled, the flow is given up.
    const XHandshakeFlow gap{0x0A000005, 2, 443};
    learner.onTcpPayload(gap, 500, hello.data(), cut, 0);
    learner.onTcpPayload(gap, 500 + uint32_t(cut) + 10, hello.data() + cut + 10, hello.size() - cut - 10, 0);
    EXPECT_EQ(learner.inFlight(), 0);
    EXPECT_EQ(learner.stats().incomplete, 1u);
    EXPECT_TRUE(nameOf(dns, gap.address, nullptr).empty());
}

TEST(HandshakeNameLearner, WaitingFlowsAreCappedAndExpire)
{
    const Bytes hello = handshake::recorded("tls_chromium_sni_late.bin");
    XDNSRecord dns("");
    XHandshakeNameLearner learner(&dns);
    for (int i = 0; i < XHandshakeNameLearner::kMaxInFlight + 5; ++i)
        learner.onTcpPayload({0x0B000000u + uint32_t(i), 1, 443}, 0, hello.data(), 1448, 0);
    EXPECT_EQ(learner.inFlight(), XHandshakeNameLearner::kMaxInFlight);
    EXPECT_EQ(learner.stats().inFlightFull, 5u);
    learner.sweep(XHandshakeNameLearner::kWaitMs + 1000);
    EXPECT_EQ(learner.inFlight(), 0);
    EXPECT_EQ(learner.stats().incomplete, uint64_t(XHandshakeNameLearner::kMaxInFlight));
}

// After its name, a QUIC flow's later client Initials (an ACK, a PING probe) are passed over:
// no decryption, no waiting slot, nothing given up later.
TEST(HandshakeNameLearner, LaterInitialsOfANamedQuicFlowArePassedOver)
{
    XDNSRecord dns("");
    XHandshakeNameLearner learner(&dns);
    const XHandshakeFlow quic{0x0A000002, 40001, 443};
    const Bytes initial = handshake::recorded("quic_rfc9001_client_initial.bin");
    learner.onUdpPayload(quic, initial.data(), initial.size(), 0);
    const Bytes rfcDcid = {0x83, 0x94, 0xc8, 0xf0, 0x3e, 0x51, 0x57, 0x08};
    const Bytes ackOnly = handshake::quicInitial(kQuicVersion1, rfcDcid, 3, {0x02, 0x00, 0x00, 0x00, 0x00}, 1162);
    learner.onUdpPayload(quic, ackOnly.data(), ackOnly.size(), 100);
    EXPECT_EQ(learner.inFlight(), 0);
    learner.sweep(XHandshakeNameLearner::kWaitMs + 1000);
    XHandshakeStats s = learner.stats();
    EXPECT_EQ(s.quicInitials, 1u);
    EXPECT_EQ(s.quicNames, 1u);
    EXPECT_EQ(s.incomplete, 0u);

    // Long after, the same address and ports are a new connection, read again.
    learner.onUdpPayload(quic, ackOnly.data(), ackOnly.size(), XHandshakeNameLearner::kFinishedMs + 5000);
    EXPECT_EQ(learner.stats().quicInitials, 2u);

    // The set of finished flows is bounded: the oldest make room.
    const uint64_t later = XHandshakeNameLearner::kFinishedMs * 2;
    for (uint32_t i = 0; i <= XHandshakeNameLearner::kFinishedKept; ++i)
        learner.onUdpPayload({0x0C000000u + i, 40001, 443}, initial.data(), initial.size(), later);
    s = learner.stats();
    learner.onUdpPayload({0x0C000001u, 40001, 443}, initial.data(), initial.size(), later);
    EXPECT_EQ(learner.stats().quicInitials, s.quicInitials);
    learner.onUdpPayload({0x0C000000u, 40001, 443}, initial.data(), initial.size(), later);
    EXPECT_EQ(learner.stats().quicInitials, s.quicInitials + 1);
}

TEST(HandshakeNameLearner, PayloadsThatAreNoHelloAndHostileNamesLeaveNoName)
{
    XDNSRecord dns("");
    XHandshakeNameLearner learner(&dns);
    const Bytes http = {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P'};
    learner.onTcpPayload(kFlow, 0, http.data(), http.size(), 0);
    const Bytes bad = handshake::tlsRecords(handshake::clientHello({handshake::serverNameExtension("a\x1b[2J.test")}));
    learner.onTcpPayload(kFlow, 0, bad.data(), bad.size(), 0);
    EXPECT_EQ(dns.size(), 0);
    EXPECT_EQ(learner.stats().tlsHellos, 1u);
    EXPECT_EQ(learner.stats().badNames, 1u);
    EXPECT_EQ(learner.inFlight(), 0);
}

} // namespace
