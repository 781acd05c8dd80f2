#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#endif
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DnsMessageBuilder.h"
#include "TestProcessInfo.h"
#include "capture/XDNSRecord.h"
#include "capture/XIPCounter.h"
#include "capture/XPacketBaseParser.h"
#include "capture/XPacketCounter.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XParserResultMgr.h"

namespace {

const std::string kLocal = "10.0.0.2";
const std::string kServer = "192.0.2.53";

std::vector<uint8_t> readData(const std::string& file)
{
    std::ifstream in(std::string(LUMIVEX_TEST_DATA) + "/capture/" + file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ParserTest : public ::testing::Test {
protected:
    void SetUp() override { parser.init(&registry, &dns, processes.get(), [this] { return tick; }); }

    // A datagram this host received.
    void feed(const std::vector<uint8_t>& d) { parser.parser(kNetIoReceive, reinterpret_cast<const char*>(d.data()), int(d.size())); }
    // A datagram this host sent.
    void send(const std::vector<uint8_t>& d) { parser.parser(kNetIoSend, reinterpret_cast<const char*>(d.data()), int(d.size())); }
    // An answer, after the query it answers.
    void feedAsked(const std::vector<uint8_t>& answer)
    {
        send(queryFor(answer));
        feed(answer);
    }
    static std::vector<uint8_t> answerDatagram(const DnsMessageBuilder& b)
    {
        return udpDatagram(kServer, 53, kLocal, 40000, b.message());
    }
    void feedAnswer(const DnsMessageBuilder& b) { feedAsked(answerDatagram(b)); }
    std::string nameOf(const std::string& address)
    {
        char buf[128] = {};
        dns.getDNSName(hostAddr(address), buf, 128);
        return buf;
    }

    uint32_t tick = 1000;
    std::unique_ptr<XPCProcessInfo> processes = makeProcessInfo({});
    XParserResultMgr registry;
    XDNSRecord dns{""};
    XPacketBaseParser parser;
};

DnsMessageBuilder simpleAnswer(const std::string& name, const std::string& address)
{
    DnsMessageBuilder b;
    const int q = b.question(name);
    in_addr a{};
    inet_pton(AF_INET, address.c_str(), &a);
    const auto* p = reinterpret_cast<const uint8_t*>(&a.s_addr);
    b.answerAt(q, 1, {p[0], p[1], p[2], p[3]});
    return b;
}

TEST_F(ParserTest, AnswerWithPointerOwnerTeachesTheQuestionName)
{
    feedAnswer(simpleAnswer("www.example.org", "203.0.113.5"));
    EXPECT_EQ(nameOf("203.0.113.5"), "www.example.org");
    char buf[128];
    EXPECT_EQ(dns.getDNSName(hostAddr("203.0.113.5"), buf, 128), 17);
    EXPECT_EQ(parser.stats().namesLearnt, 1u);
    EXPECT_EQ(parser.stats().queriesSeen, 1u);
}

TEST_F(ParserTest, OnlyAnswersToThisHostsOwnRecentQueriesTeach)
{
    const auto answer = answerDatagram(simpleAnswer("www.yourbank.example", "203.0.113.6"));
    feed(answer);  // never asked: a peer's port 53 talking to a closed port
    EXPECT_EQ(dns.size(), 0);

    // Asked, but the answer differs from the query in what a resolver checks.
    const auto query = queryFor(answer);
    const auto answerWith = [&](size_t offset, uint8_t value) {
        auto a = answer;
        a[offset] = value;
        return a;
    };
    send(query);
    feed(answerWith(28, 0x99));                                    // another id
    feed(answerWith(23, 0x41));                                    // to another local port
    feed(answerWith(15, 0x54));                                    // from another server
    feed(answerWith(28 + 12 + 1, 'W' + 1));                        // another question
    EXPECT_EQ(dns.size(), 0);
    feed(answerWith(28 + 12 + 1, 'W'));                            // the question in other letter case
    EXPECT_EQ(nameOf("203.0.113.6"), "Www.yourbank.example");
    dns.addRecord(hostAddr("203.0.113.6"), "x", 1);
    feed(answer);  // a second answer to the same query
    EXPECT_EQ(nameOf("203.0.113.6"), "x");

    // Too late: the query was sent five seconds before.
    send(query);
    tick += XDnsQueries::kWindowMs;
    feed(answer);
    EXPECT_EQ(nameOf("203.0.113.6"), "x");
    EXPECT_EQ(parser.stats().answersUnasked, 7u);
    EXPECT_EQ(parser.stats().namesLearnt, 1u);
}

TEST_F(ParserTest, AnAnswerThatOvertakesItsQueryWaitsForItAWhile)
{
    // The queries come by another road than the answers, which may be the faster one.
    parser.setAnswersMayPrecedeQueries(true);
    const auto answer = answerDatagram(simpleAnswer("early.example", "203.0.113.7"));
    feed(answer);
    EXPECT_EQ(dns.size(), 0);
    tick += XDnsQueries::kHoldMs - 1;
    send(queryFor(answer));
    EXPECT_EQ(nameOf("203.0.113.7"), "early.example");
    EXPECT_EQ(parser.stats().answersEarly, 1u);

    // One whose query does not come in time gives up; the query, late, finds nothing.
    const auto unasked = answerDatagram(simpleAnswer("www.yourbank.example", "203.0.113.8"));
    feed(unasked);
    tick += XDnsQueries::kHoldMs;
    parser.tick();
    EXPECT_EQ(parser.stats().answersGaveUp, 1u);
    send(queryFor(unasked));
    EXPECT_EQ(nameOf("203.0.113.8"), "");
    EXPECT_EQ(parser.stats().answersEarly, 1u);
    EXPECT_EQ(parser.stats().answersUnasked, 0u);
}

TEST(DnsQueries, QueriesBeyondTheBoundAreForgottenOldestFirst)
{
    XDnsQueries queries(3);
    const auto key = [](uint16_t id) { return XDnsQueries::Key{1, 2, 3, id}; };
    for (uint16_t id = 1; id <= 4; ++id)
        queries.add(key(id), "q.example", 100);
    EXPECT_EQ(queries.size(), 3u);
    EXPECT_EQ(queries.dropped(), 1u);
    EXPECT_FALSE(queries.take(key(1), "q.example", 101));
    EXPECT_TRUE(queries.take(key(2), "Q.EXAMPLE", 101));
    // Answered ones make no room twice, and many answered queries leave nothing behind.
    for (uint16_t id = 10; id < 1000; ++id) {
        queries.add(key(id), "q.example", 200);
        EXPECT_TRUE(queries.take(key(id), "q.example", 200));
    }
    EXPECT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries.dropped(), 1u);
}

TEST_F(ParserTest, AddressRecordsForNamesTheQuestionDoesNotLeadToAreRefused)
{
    // Question a.example: its alias chain, given out of order, leads to c.example.
    DnsMessageBuilder b;
    b.question("a.example");
    b.answerNamed("c.example", 1, DnsMessageBuilder::a(198, 51, 100, 70));
    b.answerNamed("b.example", 5, DnsMessageBuilder::encodeName("c.example"));
    b.answerNamed("a.example", 5, DnsMessageBuilder::encodeName("b.example"));
    b.answerNamed("www.yourbank.example", 1, DnsMessageBuilder::a(198, 51, 100, 71));
    feedAnswer(b);
    EXPECT_EQ(nameOf("198.51.100.70"), "c.example");
    EXPECT_EQ(nameOf("198.51.100.71"), "");
    EXPECT_EQ(parser.stats().recordsOffQuestion, 1u);
}

TEST_F(ParserTest, NamesWithBytesNoHostNameHoldsAreRefusedNeverCut)
{
    // The owners are written out in full: a question of each, its A record after.
    const auto refused = [&](const std::string& owner, const std::string& address) {
        DnsMessageBuilder b;
        b.question(owner);
        b.answerNamed(owner, 1, DnsMessageBuilder::a(198, 51, 100, uint8_t(std::stoi(address))));
        feedAnswer(b);
        return nameOf("198.51.100." + address).empty();
    };
    EXPECT_TRUE(refused(std::string("www.yourbank.com\0.evil.example", 30), "80"));
    EXPECT_TRUE(refused("invoice\xE2\x80\xAE" "fdp.exe.example", "81"));
    EXPECT_TRUE(refused("with space.example", "82"));
    EXPECT_TRUE(refused("tab\there.example", "83"));
    EXPECT_EQ(parser.stats().namesMalformed, 4u);

    // A dot inside a label: "www.yourbank.com" as one label, reached through an alias.
    DnsMessageBuilder b;
    const int q = b.question("x.example");
    std::vector<uint8_t> owner = {16};
    const std::string label = "www.yourbank.com";
    owner.insert(owner.end(), label.begin(), label.end());
    owner.push_back(0);
    const int target = b.answerAt(q, 5, owner);
    b.answerAt(target, 1, DnsMessageBuilder::a(198, 51, 100, 84));
    b.answerNamed("ok-name_1.x.example", 1, DnsMessageBuilder::a(198, 51, 100, 85));
    feedAnswer(b);
    EXPECT_EQ(nameOf("198.51.100.84"), "");
    EXPECT_EQ(dns.size(), 0);
    EXPECT_EQ(parser.stats().namesMalformed, 5u);
    EXPECT_EQ(parser.stats().recordsOffQuestion, 1u);  // the good name that is no alias
}

TEST_F(ParserTest, DatagramsThatAreNotDnsQueriesOrAnswersAreIgnored)
{
    const auto answer = simpleAnswer("a.example", "203.0.113.1").message();
    const auto good = udpDatagram(kServer, 53, kLocal, 40000, answer);
    send(queryFor(good));

    feed(std::vector<uint8_t>(good.begin(), good.begin() + 19));            // too short
    feed(udpDatagram(kServer, 53, kLocal, 40000, answer, 0, -1, 6));          // TCP
    send(udpDatagram(kLocal, 53, kServer, 40000, answer));                    // sent from port 53: we serve
    feed(udpDatagram(kServer, 5353, kLocal, 40000, answer));                  // not from port 53
    feed(udpDatagram(kServer, 53, kLocal, 40000, answer, 0, int(answer.size()) + 9));  // longer than received
    auto hugeHeader = good;
    hugeHeader[0] = 0x4F;                                                     // 60-byte header, no room for UDP
    feed(std::vector<uint8_t>(hugeHeader.begin(), hugeHeader.begin() + 40));
    auto ipv6 = good;
    ipv6[0] = 0x65;
    feed(ipv6);
    parser.parser(kNetIoReceive, reinterpret_cast<const char*>(good.data()), -1);  // empty queue
    EXPECT_EQ(dns.size(), 0);
    EXPECT_EQ(parser.stats().datagramsIgnored, 7u);

    parser.stop();
    feed(good);
    EXPECT_EQ(dns.size(), 0);
}

TEST_F(ParserTest, HeaderOptionsMoveTheUdpHeader)
{
    feedAsked(udpDatagram(kServer, 53, kLocal, 40000, simpleAnswer("opt.example", "203.0.113.2").message(), 1));
    EXPECT_EQ(nameOf("203.0.113.2"), "opt.example");
}

TEST_F(ParserTest, CnameChainStoresTheOwnerOfTheAddressRecord)
{
    feedAsked(readData("answer_cname_two_a.bin"));
    EXPECT_EQ(nameOf("203.0.113.10"), "edge.cdn.example.net");
    EXPECT_EQ(nameOf("203.0.113.11"), "edge.cdn.example.net");
    EXPECT_EQ(dns.size(), 2);
}

TEST_F(ParserTest, Ipv6AnswerIsSkippedAndTheFollowingAddressRecordRead)
{
    feedAsked(readData("answer_aaaa_then_a.bin"));
    EXPECT_EQ(nameOf("198.51.100.7"), "mail.example.com");
    EXPECT_EQ(dns.size(), 1);
}

TEST_F(ParserTest, OwnerWrittenInFullIsFound)
{
    DnsMessageBuilder b;
    b.question("full.owner.example");
    b.answerNamed("full.owner.example", 1, DnsMessageBuilder::a(198, 51, 100, 20));
    feedAnswer(b);
    EXPECT_EQ(nameOf("198.51.100.20"), "full.owner.example");
}

TEST_F(ParserTest, QueriesAndNonAddressRecordsTeachNothing)
{
    DnsMessageBuilder query(0x0100);
    const int q = query.question("x.example");
    query.answerAt(q, 1, DnsMessageBuilder::a(198, 51, 100, 30));
    feedAnswer(query);

    DnsMessageBuilder wrong;
    const int w = wrong.question("y.example");
    wrong.answerAt(w, 1, {198, 51, 100, 31, 0}, 1);             // RDLENGTH 5
    wrong.answerAt(w, 1, DnsMessageBuilder::a(198, 51, 100, 32), 3);  // class CHAOS
    feedAnswer(wrong);
    EXPECT_EQ(dns.size(), 0);
}

TEST_F(ParserTest, TruncatedAndLoopingAnswersEndWithoutHarm)
{
    feedAsked(readData("answer_truncated.bin"));
    feedAsked(readData("answer_pointer_loop.bin"));

    // An address record whose owner points at itself.
    DnsMessageBuilder loop;
    loop.question("loop.example");
    const int at = loop.offsetOfNextByte();
    loop.answerAt(at, 1, DnsMessageBuilder::a(198, 51, 100, 39));
    feedAnswer(loop);

    // An address record whose data runs past the message end.
    auto msg = simpleAnswer("cut.example", "198.51.100.40").message();
    msg.resize(msg.size() - 2);
    feedAnswer(DnsMessageBuilder());  // empty answer section
    feedAsked(udpDatagram(kServer, 53, kLocal, 40000, msg));

    // Far more answers announced than present.
    auto many = simpleAnswer("many.example", "198.51.100.41").message();
    many[6] = 0xFF;
    many[7] = 0xFF;
    feedAsked(udpDatagram(kServer, 53, kLocal, 40000, many));
    EXPECT_EQ(nameOf("198.51.100.41"), "many.example");
    EXPECT_EQ(dns.size(), 1);
}

TEST_F(ParserTest, LongNamesReachTheCacheWhole)
{
    // 20 labels of 9 characters, 199 in all: more than a cache entry keeps, which marks it.
    std::string longName;
    for (int i = 0; i < 20; ++i)
        longName += (i ? "." : "") + std::string(9, char('a' + i));
    feedAnswer(simpleAnswer(longName, "198.51.100.50"));
    const std::string stored = nameOf("198.51.100.50");
    EXPECT_EQ(stored.rfind("\xE2\x80\xA6", 0), 0u) << stored;
    EXPECT_EQ(stored.substr(3), longName.substr(longName.size() - (stored.size() - 3)));

    feedAnswer(simpleAnswer("ninechars", "198.51.100.51"));
    char buf[128];
    EXPECT_EQ(dns.getDNSName(hostAddr("198.51.100.51"), buf, 128), 11);
}

TEST_F(ParserTest, OverlongLabelsAndNamesAreMalformedAndTeachNothing)
{
    feedAsked(readData("answer_label_64.bin"));       // a 64-byte label
    feedAsked(readData("answer_name_over_255.bin"));  // 258 bytes of name
    EXPECT_EQ(dns.size(), 0);
    EXPECT_EQ(nameOf("198.51.100.60"), "");
    EXPECT_EQ(nameOf("198.51.100.61"), "");
    EXPECT_EQ(parser.stats().namesMalformed, 2u);
}

TEST_F(ParserTest, AnswerCutShortForAKnownReasonTeachesTheRecordsInsideIt)
{
    // 62 address records in a 1047-byte datagram; a queue slot keeps 1024 bytes of it, which
    // hold the first 60 records whole.
    const std::vector<uint8_t> answer = readData("answer_62_records.bin");
    ASSERT_EQ(answer.size(), 1047u);
    XPacketQueueMgr queues;
    XPacketQueue* queue = queues.createQueue(0);
    ASSERT_NE(queue, nullptr);
    const std::vector<uint8_t> query = queryFor(answer);
    queue->push(reinterpret_cast<const char*>(query.data()), int(query.size()), kNetIoSend);
    ASSERT_EQ(queue->push(reinterpret_cast<const char*>(answer.data()), int(answer.size()), kNetIoReceive), 1024);
    char slot[2048];
    for (int direction = -1, n = 0; (n = queue->pop(slot, sizeof slot, &direction)) >= 0;)
        parser.parser(direction, slot, n);
    EXPECT_EQ(dns.size(), 60);
    EXPECT_EQ(nameOf("198.51.101.1"), "a.example");
    EXPECT_EQ(nameOf("198.51.101.60"), "a.example");
    EXPECT_EQ(nameOf("198.51.101.61"), "");

    // The first fragment of the same answer sent through a smaller link: 1000 bytes of it.
    std::vector<uint8_t> first(answer.begin(), answer.begin() + 1000);
    first[2] = 1000 >> 8;
    first[3] = 1000 & 0xFF;
    first[6] = 0x20;  // more fragments follow
    XDNSRecord fragmented{""};
    XPacketBaseParser reader;
    reader.init(&registry, &fragmented, processes.get());
    reader.parser(kNetIoSend, reinterpret_cast<const char*>(query.data()), int(query.size()));
    reader.parser(kNetIoReceive, reinterpret_cast<const char*>(first.data()), int(first.size()));
    EXPECT_EQ(fragmented.size(), 59);  // (1000 - 28 - 12 - 15) / 16 records lie inside it

    // A datagram that is simply shorter than its headers say is still ignored, slot-sized or not.
    std::vector<uint8_t> cut(answer.begin(), answer.begin() + 1024);
    cut[2] = 0x05;  // IP total length 1280: the UDP length no longer fits it
    cut[3] = 0x00;
    XDNSRecord other{""};
    XPacketBaseParser strict;
    strict.init(&registry, &other, processes.get());
    strict.parser(kNetIoSend, reinterpret_cast<const char*>(query.data()), int(query.size()));
    strict.parser(kNetIoReceive, reinterpret_cast<const char*>(cut.data()), int(cut.size()));
    EXPECT_EQ(other.size(), 0);
}

TEST_F(ParserTest, FirstEventOfAProtocolCreatesAndRegistersItsCounter)
{
    EXPECT_NE(registry.getResult("other", 2), nullptr);
    EXPECT_EQ(registry.getResult("tcp"), nullptr);

    ORVANEPRO_NetIo io{0, 1040, 0, netAddr("198.51.100.60"), htons(443), 0, kNetIoTcp, kNetIoSend, 1};
    parser.parserSock(io);
    auto* tcp = registry.getResult("tcp", 1);
    ASSERT_NE(tcp, nullptr);
    EXPECT_EQ(registry.getResult("tcp", 2), nullptr);
    EXPECT_EQ(registry.getResult("udp"), nullptr);
    _X_R_PACKETCOUNTER r{};
    ASSERT_TRUE(tcp->getIPdata(hostAddr("198.51.100.60"), r));
    EXPECT_EQ(r.bytes[1], 1040);
    EXPECT_EQ(ntohs(r.remotePort), 443);

    parser.stop();  // datagrams only
    io.protocol = kNetIoUdp;
    io.direction = kNetIoReceive;
    io.bytesReceived = 100;
    io.localPort = htons(5000);
    parser.parserSock(io);
    auto* udp = registry.getResult("udp", 1);
    ASSERT_NE(udp, nullptr);
    EXPECT_EQ(udp->getTotalBytes(0), 100);
    EXPECT_EQ(tcp->getTotalBytes(2), 1040);

    io.protocol = 9;  // neither TCP nor UDP: nothing but the chat counter sees it
    parser.parserSock(io);
    EXPECT_EQ(udp->getTotalPackets(2), 1);
    EXPECT_EQ(registry.size(), 3);
}

TEST(ParserWithoutRegistry, EventsAreCountedAsLost)
{
    XPacketBaseParser parser;
    parser.init(nullptr, nullptr, nullptr);
    ORVANEPRO_NetIo io{0, 10, 0, 1, 1, 0, kNetIoTcp, kNetIoSend, 1};
    parser.parserSock(io);
    parser.parserSock(io);
    EXPECT_EQ(parser.stats().eventsUncounted, 2u);
}

} // namespace
