#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "capture/XPacketParser.h"

class XDNSRecord;
class XIPCounter;
class XPacketCounter;
class XParserResultMgr;
class XPCProcessInfo;

// Counters of the parser; any thread may read them.
struct XParserStats {
    uint64_t datagrams = 0;         // datagrams handed to parser()
    uint64_t datagramsIgnored = 0;  // dropped: short, not UDP, not for us, truncated, ...
    uint64_t namesLearnt = 0;       // address records given to the DNS cache
    uint64_t events = 0;            // network events handed to parserSock()
    uint64_t eventsUncounted = 0;   // events lost because their counter could not be created
};

// The packet parser: learns host names from DNS answers and counts network events in the
// "tcp", "udp" and "other" counters. init() runs at start-up; everything else on the parser
// thread. The counters it creates belong to the result registry.
class XPacketBaseParser : public XPacketParser {
public:
    static constexpr int kNameBuffer = 65;

    XPacketBaseParser();
    ~XPacketBaseParser() override;

    void parser(unsigned long localAddress, const char* data, int len) override;
    void parserSock(const ORVANEPRO_NetIo& io) override;
    // Finds the registry, the DNS cache and the process information, and creates and
    // registers the chat counter "other".
    void init() override;
    // The same with the collaborators given; any may be null. The counters take the time of
    // their events from clock (the system's tick when empty).
    void init(XParserResultMgr* results, XDNSRecord* dns, XPCProcessInfo* processInfo,
              std::function<uint32_t()> clock = {});
    void stop() override { m_stopped.store(true, std::memory_order_relaxed); }

    XParserStats stats() const;

private:
    void parserDNS(const char* msg, int len);
    int parserDNSName(char* out, int outSize, const char* msg, int pos, int len);
    XPacketCounter* createCounter(const char* name, const ORVANEPRO_NetIo& io, uint32_t addr,
                                  int size, uint32_t pid);

    std::atomic<bool> m_stopped{false};
    XParserResultMgr* m_results = nullptr;
    XDNSRecord* m_dns = nullptr;
    XPacketCounter* m_tcp = nullptr;
    XPacketCounter* m_udp = nullptr;
    XIPCounter* m_other = nullptr;
    XPCProcessInfo* m_processInfo = nullptr;
    std::function<uint32_t()> m_clock;

    std::atomic<uint64_t> m_datagrams{0};
    std::atomic<uint64_t> m_ignored{0};
    std::atomic<uint64_t> m_namesLearnt{0};
    std::atomic<uint64_t> m_events{0};
    std::atomic<uint64_t> m_uncounted{0};
};
