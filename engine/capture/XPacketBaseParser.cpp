#include "capture/XPacketBaseParser.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "capture/XAsciiCase.h"
#include "capture/XDNSRecord.h"
#include "capture/XDnsName.h"
#include "capture/XIPCounter.h"
#include "capture/XPacketBuffer.h"
#include "capture/XPacketCounter.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/ByteOrder.h"
#include "platform/Clock.h"

namespace {

inline unsigned read16(const unsigned char* p)
{
    return (unsigned(p[0]) << 8) | p[1];
}

// An event stands for at least one packet; records made without a count carry 0.
inline int packetsOf(const ORVANEPRO_NetIo& io)
{
    return io.packets > 1 ? int(std::min<uint32_t>(io.packets, 0x7FFFFFFF)) : 1;
}

} // namespace

XPacketBaseParser::XPacketBaseParser() = default;

XPacketBaseParser::~XPacketBaseParser() = default;

void XPacketBaseParser::init()
{
    init(XParserResultMgr::Instance(), XDNSRecord::Instance(), XPCProcessInfo::Instance());
}

void XPacketBaseParser::init(XParserResultMgr* results, XDNSRecord* dns, XPCProcessInfo* processInfo,
                             std::function<uint32_t()> clock)
{
    m_results = results;
    m_dns = dns;
    m_clock = std::move(clock);
    m_other = new (std::nothrow) XIPCounter(0, 0);
    if (m_other) {
        m_other->init(dns);
        m_other->setClock(m_clock);
        if (m_results && m_results->addResult("other", m_other)) {
            // registered: the registry owns it
        } else {
            delete m_other;
            m_other = nullptr;
        }
    }
    m_processInfo = processInfo;
}

XParserStats XPacketBaseParser::stats() const
{
    XParserStats s;
    s.datagrams = m_datagrams.load(std::memory_order_relaxed);
    s.datagramsIgnored = m_ignored.load(std::memory_order_relaxed);
    s.queriesSeen = m_queriesSeen.load(std::memory_order_relaxed);
    s.queriesDropped = m_queriesDropped.load(std::memory_order_relaxed);
    s.answersUnasked = m_unasked.load(std::memory_order_relaxed);
    s.answersEarly = m_early.load(std::memory_order_relaxed);
    s.answersGaveUp = m_gaveUp.load(std::memory_order_relaxed);
    s.recordsOffQuestion = m_offQuestion.load(std::memory_order_relaxed);
    s.namesMalformed = m_malformed.load(std::memory_order_relaxed);
    s.namesLearnt = m_namesLearnt.load(std::memory_order_relaxed);
    s.events = m_events.load(std::memory_order_relaxed);
    s.eventsUncounted = m_uncounted.load(std::memory_order_relaxed);
    return s;
}

// One UDP datagram to or from port 53 as the parser reads it: addresses and ports in network
// order, as they lie in the datagram, and the DNS message inside it.
struct XPacketBaseParser::Udp {
    uint32_t source;
    uint32_t destination;
    uint16_t sourcePort;
    uint16_t destinationPort;
    const char* msg;
    int len;
};

void XPacketBaseParser::parser(int direction, const char* data, int len)
{
    if (len < 0 || m_stopped.load(std::memory_order_relaxed))
        return;
    m_datagrams.fetch_add(1, std::memory_order_relaxed);
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    if (!data || len < 20 || (p[0] >> 4) != 4 || p[9] != 17)
        return ignore();
    const int h = (p[0] & 0x0F) * 4;
    if (h < 20 || len < h + 8)
        return ignore();

    Udp udp{};
    std::memcpy(&udp.source, p + 12, 4);
    std::memcpy(&udp.destination, p + 16, 4);
    std::memcpy(&udp.sourcePort, p + h, 2);
    std::memcpy(&udp.destinationPort, p + h + 2, 2);
    const int udpLength = int(read16(p + h + 4));
    if (udpLength < 8)
        return ignore();
    int messageLength = udpLength - 8;
    if (len < h + udpLength && direction == kNetIoSend) {
        // Of a query this host sent only the id and the question are read: the start of it
        // is enough (the kernel event source copies no more of a query).
        messageLength = len - h - 8;
    } else if (len < h + udpLength) {
        // The records that lie wholly inside the part received are still good when the rest
        // is missing for a known reason: a queue slot keeps the first 1024 bytes of a longer
        // datagram, and a datagram too large for the link arrives in fragments, of which only
        // the first carries the UDP header. Anything else shorter than it says is incomplete.
        const int ipLength = int(read16(p + 2));
        const bool cutBySlot = len == XPacketBuffer::kSize && ipLength == h + udpLength;
        const bool firstFragment = (read16(p + 6) & 0x3FFF) == 0x2000 && ipLength <= len;
        if (!cutBySlot && !firstFragment)
            return ignore();
        messageLength = std::min(len, ipLength) - h - 8;
    }
    udp.msg = data + h + 8;
    udp.len = messageLength;
    if (direction == kNetIoSend) {
        if (read16(p + h + 2) != 53)
            return ignore();  // this host answering, as a DNS server
        parserQuery(udp);
    } else {
        if (read16(p + h) != 53)
            return ignore();
        parserDNS(udp);
    }
}

int XPacketBaseParser::parserDNSName(char* out, int outSize, const char* msg, int pos, int len)
{
    return decodeDnsName(out, outSize, msg, pos, len);
}

void XPacketBaseParser::ignore()
{
    m_ignored.fetch_add(1, std::memory_order_relaxed);
}

uint32_t XPacketBaseParser::now() const
{
    return m_clock ? m_clock() : platform::tickCount();
}

namespace {

// The position after the name at pos, walked where it lies (a pointer ends it); -1 when it
// runs past the message.
int skipName(const unsigned char* m, int pos, int len)
{
    while (pos < len && m[pos] != 0 && (m[pos] & 0xC0) != 0xC0)
        pos += m[pos] + 1;
    if (pos >= len)
        return -1;
    return pos + (m[pos] == 0 ? 1 : 2);
}

// The question of a message with exactly one, decoded into out: its length (> 0), or 0 when
// there is none worth matching, or a negative decodeDnsName() result. next receives the
// position after the question.
int questionOf(const char* msg, int len, char (&out)[kDnsNameBuffer], int& next)
{
    const auto* m = reinterpret_cast<const unsigned char*>(msg);
    if (read16(m + 4) != 1)
        return 0;
    const int n = decodeDnsName(out, kDnsNameBuffer, msg, 12, len);
    next = n > 0 ? skipName(m, 12, len) : -1;
    if (n > 0 && (next < 0 || next + 4 > len))
        return 0;
    next += 4;  // QTYPE and QCLASS
    return n;
}

} // namespace

void XPacketBaseParser::parserQuery(const Udp& udp)
{
    if (udp.len < 12 || (read16(reinterpret_cast<const unsigned char*>(udp.msg) + 2) & 0x8000))
        return ignore();  // an answer this host sends to port 53: it is the server then
    char question[kDnsNameBuffer];
    int next = 0;
    const int n = questionOf(udp.msg, udp.len, question, next);
    if (n <= 0)
        return ignore();
    uint16_t id;
    std::memcpy(&id, udp.msg, 2);
    m_queriesSeen.fetch_add(1, std::memory_order_relaxed);
    std::string early;
    if (m_queries.add({udp.source, udp.destination, udp.sourcePort, id}, std::string_view(question, size_t(n)), now(),
                      &early)) {
        // Its answer came first and waited for it: believed now.
        learnAnswer(early.data(), int(early.size()));
    }
    m_queriesDropped.store(m_queries.dropped(), std::memory_order_relaxed);
    noteHeld();
}

void XPacketBaseParser::learnAnswer(const char* msg, int len)
{
    char question[kDnsNameBuffer];
    int pos = 0;
    const int n = len >= 12 ? questionOf(msg, len, question, pos) : 0;
    const unsigned answers = n > 0 ? read16(reinterpret_cast<const unsigned char*>(msg) + 6) : 0;
    if (answers != 0)
        learnAddresses(msg, len, pos, answers, std::string_view(question, size_t(n)));
}

void XPacketBaseParser::noteHeld()
{
    m_early.store(m_queries.heldAnswered(), std::memory_order_relaxed);
    m_gaveUp.store(m_queries.heldGaveUp(), std::memory_order_relaxed);
}

void XPacketBaseParser::tick()
{
    if (m_queries.held() == 0)
        return;
    m_queries.expireHeld(now());
    noteHeld();
}

void XPacketBaseParser::parserDNS(const Udp& udp)
{
    const char* msg = udp.msg;
    const int len = udp.len;
    if (len < 12)
        return ignore();
    const auto* m = reinterpret_cast<const unsigned char*>(msg);
    if (!(read16(m + 2) & 0x8000))
        return ignore();  // a query from port 53
    char question[kDnsNameBuffer];
    int pos = 0;
    const int n = questionOf(msg, len, question, pos);
    if (n < 0) {
        m_malformed.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    uint16_t id;
    std::memcpy(&id, msg, 2);
    // The answer must go from the server this host asked to the port that asked, with the
    // query's id and question, within a few seconds of the query.
    const XDnsQueries::Key key{udp.destination, udp.source, udp.destinationPort, id};
    const std::string_view asked(question, size_t(n));
    if (n == 0 || !m_queries.take(key, asked, now())) {
        if (n > 0 && m_holdEarlyAnswers && !m_queries.waiting(key)) {
            // No query with its key yet: it may still be on its way.
            m_queries.hold(key, asked, std::string_view(msg, size_t(len)), now());
            noteHeld();
            return;
        }
        m_unasked.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const unsigned answers = read16(m + 6);
    if (answers != 0)
        learnAddresses(msg, len, pos, answers, std::string_view(question, size_t(n)));
}

void XPacketBaseParser::learnAddresses(const char* msg, int len, int pos, unsigned answers, std::string_view question)
{
    const auto* m = reinterpret_cast<const unsigned char*>(msg);
    struct Record {
        int owner;  // position of the owner name
        unsigned type;
        unsigned cls;
        int data;   // position of RDATA
        int dataLength;
    };
    // A message of at most 64 KiB holds fewer records than this with the owner as a pointer.
    constexpr size_t kMaxRecords = 6000;
    std::vector<Record> records;
    for (unsigned a = 0; a < answers && records.size() < kMaxRecords; ++a) {
        const int owner = pos;
        pos = skipName(m, pos, len);
        if (pos < 0 || pos + 10 > len)
            break;
        const Record r{owner, read16(m + pos), read16(m + pos + 2), pos + 10, int(read16(m + pos + 8))};
        if (r.data + r.dataLength > len)
            break;
        records.push_back(r);
        pos = r.data + r.dataLength;
    }

    // The names the answer may speak for: the question and the aliases it leads to, which
    // usually come in order but are followed in any order.
    constexpr int kMaxChain = 16;
    std::vector<std::string> chain{std::string(question)};
    const auto inChain = [&chain](std::string_view name) {
        return std::ranges::any_of(chain, [name](const std::string& c) { return equalsIgnoreCase(c, name); });
    };
    char owner[kDnsNameBuffer];
    char target[kDnsNameBuffer];
    for (bool grew = true; grew && int(chain.size()) < kMaxChain;) {
        grew = false;
        for (const Record& r : records) {
            if (r.type != 5 || r.cls != 1 || int(chain.size()) >= kMaxChain)
                continue;
            const int o = parserDNSName(owner, kDnsNameBuffer, msg, r.owner, len);
            const int t = parserDNSName(target, kDnsNameBuffer, msg, r.data, len);
            if (o > 0 && t > 0 && inChain({owner, size_t(o)}) && !inChain({target, size_t(t)})) {
                chain.emplace_back(target, size_t(t));
                grew = true;
            }
        }
    }

    for (const Record& r : records) {
        if (r.type != 1 || r.cls != 1)
            continue;
        const int o = parserDNSName(owner, kDnsNameBuffer, msg, r.owner, len);
        if (o < 0) {
            m_malformed.fetch_add(1, std::memory_order_relaxed);
            if (o == kMalformedDnsName)
                return;  // a name no resolver sends: nothing after it can be trusted either
            continue;
        }
        if (o == 0 || r.dataLength != 4)
            continue;
        if (!inChain({owner, size_t(o)})) {
            m_offQuestion.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        if (m_dns) {
            uint32_t address;
            std::memcpy(&address, m + r.data, 4);
            m_dns->addRecord(platform::netToHost32(address), owner, o);
            m_namesLearnt.fetch_add(1, std::memory_order_relaxed);
        }
    }
}

XPacketCounter* XPacketBaseParser::createCounter(const char* name, const ORVANEPRO_NetIo& io,
                                                 uint32_t addr, int size, uint32_t pid)
{
    if (!m_results)
        return nullptr;
    auto* counter = new (std::nothrow) XPacketCounter(0, 0);
    if (!counter)
        return nullptr;
    counter->init(m_processInfo, m_other);
    counter->setClock(m_clock);
    counter->count(addr, io.remotePort, io.localPort, size, io.direction, pid, packetsOf(io));
    if (!m_results->addResult(name, counter)) {
        delete counter;
        return nullptr;
    }
    return counter;
}

void XPacketBaseParser::parserSock(const ORVANEPRO_NetIo& io)
{
    m_events.fetch_add(1, std::memory_order_relaxed);
    const uint32_t pid = m_processInfo ? m_processInfo->addNetData(io) : 0;
    const uint32_t addr = platform::netToHost32(io.remoteAddr);
    const int size = int(io.direction == 1 ? io.bytesSent : io.bytesReceived);

    XPacketCounter** slot = nullptr;
    const char* name = nullptr;
    if (io.protocol == kNetIoTcp) {
        slot = &m_tcp;
        name = "tcp";
    } else if (io.protocol == kNetIoUdp) {
        slot = &m_udp;
        name = "udp";
    }
    if (slot) {
        if (*slot) {
            (*slot)->count(addr, io.remotePort, io.localPort, size, io.direction, pid, packetsOf(io));
        } else {
            *slot = createCounter(name, io, addr, size, pid);
            if (!*slot)
                m_uncounted.fetch_add(1, std::memory_order_relaxed);
        }
    }
    if (m_other)
        m_other->count(addr, 0, size, io.direction, packetsOf(io));
}
