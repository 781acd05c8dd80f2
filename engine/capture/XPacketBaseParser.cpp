#include "capture/XPacketBaseParser.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "capture/XDNSRecord.h"
#include "capture/XDnsName.h"
#include "capture/XIPCounter.h"
#include "capture/XPacketBuffer.h"
#include "capture/XPacketCounter.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/ByteOrder.h"

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
    s.namesLearnt = m_namesLearnt.load(std::memory_order_relaxed);
    s.events = m_events.load(std::memory_order_relaxed);
    s.eventsUncounted = m_uncounted.load(std::memory_order_relaxed);
    return s;
}

void XPacketBaseParser::parser(unsigned long localAddress, const char* data, int len)
{
    if (len < 0 || m_stopped.load(std::memory_order_relaxed))
        return;
    m_datagrams.fetch_add(1, std::memory_order_relaxed);
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto ignore = [this] { m_ignored.fetch_add(1, std::memory_order_relaxed); };
    if (!data || len < 20 || p[9] != 17)
        return ignore();
    const int h = (p[0] & 0x0F) * 4;
    if (len < h + 8)
        return ignore();

    uint32_t source;
    uint32_t destination;
    std::memcpy(&source, p + 12, 4);
    std::memcpy(&destination, p + 16, 4);
    const uint32_t local = uint32_t(localAddress);
    if (source == local || destination != local)
        return ignore();
    if (read16(p + h) != 53)
        return ignore();
    const int udpLength = int(read16(p + h + 4));
    int messageLength = udpLength - 8;
    if (len < h + udpLength) {
        // A queue slot keeps the first 1024 bytes of a longer datagram: the records that lie
        // wholly inside them are still good. Anything else that is shorter than it says is
        // incomplete.
        const bool cutBySlot = len == XPacketBuffer::kSize && int(read16(p + 2)) == h + udpLength;
        if (!cutBySlot)
            return ignore();
        messageLength = len - h - 8;
    }
    parserDNS(data + h + 8, messageLength);
}

int XPacketBaseParser::parserDNSName(char* out, int outSize, const char* msg, int pos, int len)
{
    return decodeDnsName(out, outSize, msg, pos, len);
}

void XPacketBaseParser::parserDNS(const char* msg, int len)
{
    if (len < 12)
        return;
    const auto* m = reinterpret_cast<const unsigned char*>(msg);
    const unsigned flags = read16(m + 2);
    const unsigned questions = read16(m + 4);
    const unsigned answers = read16(m + 6);
    char name[kNameBuffer] = {};
    if (!(flags & 0x8000))
        return;

    int pos = 12;
    for (unsigned q = 0; q < questions && pos <= len; ++q) {
        while (pos < len && m[pos] != 0)
            ++pos;
        pos += 5;
    }
    if (pos > len || answers == 0)
        return;

    for (unsigned a = 0; a < answers; ++a) {
        const int nameLen = parserDNSName(name, kNameBuffer, msg, pos, len);
        if (nameLen == kMalformedDnsName)
            return;  // a name no resolver sends: nothing after it can be trusted either
        // Skip the owner name where it lies: labels, then a zero byte or a pointer.
        while (pos >= 0 && pos < len && m[pos] != 0 && (m[pos] & 0xC0) != 0xC0)
            pos += m[pos] + 1;
        if (pos >= 0 && pos < len)
            pos += (m[pos] == 0) ? 1 : 2;
        if (pos < 0 || pos + 10 > len)
            return;
        const unsigned type = read16(m + pos);
        const unsigned cls = read16(m + pos + 2);
        const int rdLength = int(read16(m + pos + 8));
        if (type == 1 && cls == 1) {
            if (pos + 10 + rdLength > len)
                return;
            if (rdLength == 4 && m_dns) {
                uint32_t address;
                std::memcpy(&address, m + pos + 10, 4);
                m_dns->addRecord(platform::netToHost32(address), name, nameLen);
                m_namesLearnt.fetch_add(1, std::memory_order_relaxed);
            }
        }
        pos += rdLength + 10;
        if (pos >= len)
            return;
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
