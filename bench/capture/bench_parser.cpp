// Parsing a typical DNS exchange: the query, then its answer datagram with one question, a
// CNAME and two address records.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "capture/XDNSRecord.h"
#include "capture/XPacketBaseParser.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/NetIoRecord.h"

namespace {

void putName(std::vector<uint8_t>& out, std::initializer_list<const char*> labels)
{
    for (const char* l : labels) {
        out.push_back(uint8_t(std::strlen(l)));
        out.insert(out.end(), l, l + std::strlen(l));
    }
    out.push_back(0);
}

std::vector<uint8_t> typicalAnswer()
{
    std::vector<uint8_t> dns = {0xbe, 0xef, 0x81, 0x80, 0, 1, 0, 3, 0, 0, 0, 0};
    putName(dns, {"www", "example", "org"});
    dns.insert(dns.end(), {0, 1, 0, 1});
    std::vector<uint8_t> target;
    putName(target, {"edge", "cdn", "example", "net"});
    dns.insert(dns.end(), {0xC0, 0x0C, 0, 5, 0, 1, 0, 0, 1, 0x2c, 0, uint8_t(target.size())});
    const uint8_t targetOffset = uint8_t(dns.size());
    dns.insert(dns.end(), target.begin(), target.end());
    for (uint8_t last : {10, 11})
        dns.insert(dns.end(), {0xC0, targetOffset, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 203, 0, 113, last});

    std::vector<uint8_t> d = {0x45, 0, 0, 0, 0, 0, 0x40, 0, 57, 17, 0, 0, 192, 0, 2, 53, 10, 0, 0, 2};
    const size_t udpLength = 8 + dns.size();
    d.insert(d.end(), {0, 53, 0x9c, 0x40, uint8_t(udpLength >> 8), uint8_t(udpLength), 0, 0});
    d.insert(d.end(), dns.begin(), dns.end());
    d[2] = uint8_t(d.size() >> 8);
    d[3] = uint8_t(d.size());
    return d;
}

void BM_ParseDnsAnswer(benchmark::State& state)
{
    XParserResultMgr registry;
    XDNSRecord dns("");
    XPacketBaseParser parser;
    parser.init(&registry, &dns, nullptr);
    const std::vector<uint8_t> d = typicalAnswer();
    // The query it answers: addresses and ports swapped, a query's flags.
    std::vector<uint8_t> q = d;
    std::memcpy(&q[12], &d[16], 4);
    std::memcpy(&q[16], &d[12], 4);
    std::memcpy(&q[20], &d[22], 2);
    std::memcpy(&q[22], &d[20], 2);
    q[30] = 0x01;
    q[31] = 0x00;
    for (auto _ : state) {
        parser.parser(kNetIoSend, reinterpret_cast<const char*>(q.data()), int(q.size()));
        parser.parser(kNetIoReceive, reinterpret_cast<const char*>(d.data()), int(d.size()));
    }
    if (dns.size() != 2)
        state.SkipWithError("the answer was not learnt");
}
BENCHMARK(BM_ParseDnsAnswer)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
