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
    void SetUp() override { parser.init(&registry, &dns, processes.get()); }

    void feed(const std::vector<uint8_t>& d, const std::string& local = kLocal)
    {
        parser.parser(netAddr(local), reinterpret_cast<const char*>(d.data()), int(d.size()));
    }
    void feedAnswer(const DnsMessageBuilder& b) { feed(udpDatagram(kServer, 53, kLocal, 40000, b.message())); }
    std::string nameOf(const std::string& address)
    {
        char buf[128] = {};
        dns.getDNSName(hostAddr(address), buf, 128);
        return buf;
    }

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
}

TEST_F(ParserTest, DatagramsThatAreNotIncomingDnsAnswersAreIgnored)
{
    const auto answer = simpleAnswer("a.example", "203.0.113.1").message();
    const auto good = udpDatagram(kServer, 53, kLocal, 40000, answer);

    feed(std::vector<uint8_t>(good.begin(), good.begin() + 19));            // too short
    feed(udpDatagram(kServer, 53, kLocal, 40000, answer, 0, -1, 6));          // TCP
    feed(udpDatagram(kLocal, 53, kServer, 40000, answer));                    // sent by us
    feed(udpDatagram(kServer, 53, "10.0.0.3", 40000, answer));                // for another address
    feed(udpDatagram(kServer, 5353, kLocal, 53, answer));                     // not from port 53
    feed(udpDatagram(kServer, 53, kLocal, 40000, answer, 0, int(answer.size()) + 9));  // longer than received
    auto hugeHeader = good;
    hugeHeader[0] = 0x4F;                                                     // 60-byte header, no room for UDP
    feed(std::vector<uint8_t>(hugeHeader.begin(), hugeHeader.begin() + 40));
    parser.parser(netAddr(kLocal), reinterpret_cast<const char*>(good.data()), -1);  // empty queue
    EXPECT_EQ(dns.size(), 0);
    EXPECT_EQ(parser.stats().datagramsIgnored, 7u);

    parser.stop();
    feed(good);
    EXPECT_EQ(dns.size(), 0);
}

TEST_F(ParserTest, HeaderOptionsMoveTheUdpHeader)
{
    feed(udpDatagram(kServer, 53, kLocal, 40000, simpleAnswer("opt.example", "203.0.113.2").message(), 1));
    EXPECT_EQ(nameOf("203.0.113.2"), "opt.example");
}

TEST_F(ParserTest, CnameChainStoresTheOwnerOfTheAddressRecord)
{
    feed(readData("answer_cname_two_a.bin"));
    EXPECT_EQ(nameOf("203.0.113.10"), "edge.cdn.example.net");
    EXPECT_EQ(nameOf("203.0.113.11"), "edge.cdn.example.net");
    EXPECT_EQ(dns.size(), 2);
}

TEST_F(ParserTest, Ipv6AnswerIsSkippedAndTheFollowingAddressRecordRead)
{
    feed(readData("answer_aaaa_then_a.bin"));
    EXPECT_EQ(nameOf("198.51.100.7"), "mail.example.com");
    EXPECT_EQ(dns.size(), 1);
}

TEST_F(ParserTest, OwnerWrittenInFullIsFound)
{
    DnsMessageBuilder b;
    b.question("q.example");
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
    feed(readData("answer_truncated.bin"));
    feed(readData("answer_pointer_loop.bin"));

    // An address record whose data runs past the message end.
    auto msg = simpleAnswer("cut.example", "198.51.100.40").message();
    msg.resize(msg.size() - 2);
    feedAnswer(DnsMessageBuilder());  // empty answer section
    feed(udpDatagram(kServer, 53, kLocal, 40000, msg));

    // Far more answers announced than present.
    auto many = simpleAnswer("many.example", "198.51.100.41").message();
    many[6] = 0xFF;
    many[7] = 0xFF;
    feed(udpDatagram(kServer, 53, kLocal, 40000, many));
    EXPECT_EQ(nameOf("198.51.100.41"), "many.example");
    EXPECT_EQ(dns.size(), 1);
}

TEST_F(ParserTest, LongNamesAreCutAtTheLastWholeLabel)
{
    // 20 labels of 9 characters: only six fit in 65 bytes (6 * 10 = 60; a seventh needs 69).
    std::string longName;
    for (int i = 0; i < 20; ++i)
        longName += (i ? "." : "") + std::string(9, char('a' + i));
    feedAnswer(simpleAnswer(longName, "198.51.100.50"));
    EXPECT_EQ(nameOf("198.51.100.50"), longName.substr(0, 59));

    feedAnswer(simpleAnswer("ninechars", "198.51.100.51"));
    char buf[128];
    EXPECT_EQ(dns.getDNSName(hostAddr("198.51.100.51"), buf, 128), 11);
}

TEST_F(ParserTest, OverlongLabelsAndNamesAreMalformedAndTeachNothing)
{
    feed(readData("answer_label_64.bin"));       // a 64-byte label
    feed(readData("answer_name_over_255.bin"));  // 258 bytes of name
    EXPECT_EQ(dns.size(), 0);
    EXPECT_EQ(nameOf("198.51.100.60"), "");
    EXPECT_EQ(nameOf("198.51.100.61"), "");
}

TEST_F(ParserTest, AnswerLongerThanAQueueSlotTeachesTheRecordsInsideIt)
{
    // 62 address records in a 1047-byte datagram; a queue slot keeps 1024 bytes of it, which
    // hold the first 60 records whole.
    const std::vector<uint8_t> answer = readData("answer_62_records.bin");
    ASSERT_EQ(answer.size(), 1047u);
    XPacketQueueMgr queues;
    XPacketQueue* queue = queues.createQueue(netAddr(kLocal));
    ASSERT_NE(queue, nullptr);
    ASSERT_EQ(queue->push(reinterpret_cast<const char*>(answer.data()), int(answer.size())), 1024);
    char slot[2048];
    const int n = queue->pop(slot, sizeof slot);
    parser.parser(queue->getID(), slot, n);
    EXPECT_EQ(dns.size(), 60);
    EXPECT_EQ(nameOf("198.51.101.1"), "a.example");
    EXPECT_EQ(nameOf("198.51.101.60"), "a.example");
    EXPECT_EQ(nameOf("198.51.101.61"), "");

    // A datagram that is simply shorter than its headers say is still ignored, slot-sized or not.
    std::vector<uint8_t> cut(answer.begin(), answer.begin() + 1024);
    cut[2] = 0x05;  // IP total length 1280: the UDP length no longer fits it
    cut[3] = 0x00;
    XDNSRecord other{""};
    XPacketBaseParser strict;
    strict.init(&registry, &other, processes.get());
    strict.parser(netAddr(kLocal), reinterpret_cast<const char*>(cut.data()), int(cut.size()));
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
