// Whole IPv4 datagrams, as a listener queues them, into the packet parser.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "capture/XDNSRecord.h"
#include "capture/XPacketBaseParser.h"
#include "capture/XParserResultMgr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static XParserResultMgr registry;
    static XDNSRecord dns("www.lumivex.test");
    static XPacketBaseParser* parser = [] {
        auto* p = new XPacketBaseParser;
        p->init(&registry, &dns, nullptr);
        return p;
    }();
    if (size > 4096)
        return 0;
    // The listener's address is the datagram's destination, so answers get past the
    // direction test; the parser must still never trust anything else in them.
    uint32_t local = 0;
    if (size >= 20)
        std::memcpy(&local, data + 16, 4);
    parser->parser(local, reinterpret_cast<const char*>(data), int(size));
    return 0;
}
