// Whole IPv4 datagrams, as the listener queues them, into the packet parser: each as a query
// this host sent, then as an answer received after the query it would answer (same id and
// question, addresses and ports swapped), so that the answer reaches the record checks; and
// into a parser that holds early answers, as an answer first and its query after.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "capture/XDNSRecord.h"
#include "capture/XPacketBaseParser.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/NetIoRecord.h"

namespace {

// The query the datagram would answer, or nothing when it has no room for one.
std::vector<char> queryFor(const uint8_t* data, size_t size)
{
    if (size < 20)
        return {};
    const size_t h = size_t(data[0] & 0x0F) * 4;
    if (h < 20 || size < h + 8 + 12)
        return {};
    std::vector<char> q(data, data + size);
    std::memcpy(q.data() + 12, data + 16, 4);  // addresses swapped
    std::memcpy(q.data() + 16, data + 12, 4);
    std::memcpy(q.data() + h, data + h + 2, 2);  // ports swapped
    std::memcpy(q.data() + h + 2, data + h, 2);
    q[h + 8 + 2] = 0x01;  // a query
    q[h + 8 + 3] = 0x00;
    return q;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static XParserResultMgr registry;
    static XDNSRecord dns("www.lumivex.test", XDNSRecord::Limits{2000, std::size_t(1) << 20});
    static uint32_t tick = 0;
    static XPacketBaseParser* parser = [] {
        auto* p = new XPacketBaseParser;
        p->init(&registry, &dns, nullptr, [] { return tick; });
        return p;
    }();
    static XPacketBaseParser* holding = [] {
        auto* p = new XPacketBaseParser;
        p->init(&registry, &dns, nullptr, [] { return tick; });
        p->setAnswersMayPrecedeQueries(true);
        return p;
    }();
    if (size > 4096)
        return 0;
    tick += 10;
    // Copies of exactly the datagram's length, so any read past it is caught.
    const std::vector<char> datagram(data, data + size);
    parser->parser(kNetIoSend, datagram.data(), int(datagram.size()));
    const std::vector<char> query = queryFor(data, size);
    if (!query.empty())
        parser->parser(kNetIoSend, query.data(), int(query.size()));
    parser->parser(kNetIoReceive, datagram.data(), int(datagram.size()));
    holding->parser(kNetIoReceive, datagram.data(), int(datagram.size()));
    if (!query.empty())
        holding->parser(kNetIoSend, query.data(), int(query.size()));
    holding->tick();
    if (dns.size() > dns.capacity())
        __builtin_trap();
    return 0;
}
