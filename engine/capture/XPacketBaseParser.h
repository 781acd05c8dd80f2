#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "capture/XDnsQueries.h"
#include "capture/XPacketParser.h"

class XDNSRecord;
class XIPCounter;
class XPacketCounter;
class XParserResultMgr;
class XPCProcessInfo;

// Counters of the parser; any thread may read them.
struct XParserStats {
    uint64_t datagrams = 0;         // datagrams handed to parser()
    uint64_t datagramsIgnored = 0;  // dropped: short, not UDP, not DNS, truncated, ...
    uint64_t queriesSeen = 0;       // DNS queries this host sent
    uint64_t queriesDropped = 0;    // queries forgotten unanswered: too many waiting
    uint64_t answersUnasked = 0;    // answers that answer no query of this host
    uint64_t answersEarly = 0;      // answers that came before their query and waited for it
    uint64_t answersGaveUp = 0;     // answers that waited for a query in vain (see XDnsQueries)
    uint64_t recordsOffQuestion = 0;  // address records for neither the question nor an alias
    uint64_t namesMalformed = 0;    // records refused for a name no host has
    uint64_t namesLearnt = 0;       // address records given to the DNS cache
    uint64_t events = 0;            // network events handed to parserSock()
    uint64_t eventsUncounted = 0;   // events lost because their counter could not be created
};

// The packet parser: learns host names from the DNS answers to this host's own queries and
// counts network events in the "tcp", "udp" and "other" counters. init() runs at start-up;
// everything else on the parser thread. The counters it creates belong to the result
// registry.
class XPacketBaseParser : public XPacketParser {
public:
    XPacketBaseParser();
    ~XPacketBaseParser() override;

    void parser(int direction, const char* data, int len) override;
    void parserSock(const ORVANEPRO_NetIo& io) override;
    // Finds the registry, the DNS cache and the process information, and creates and
    // registers the chat counter "other".
    void init() override;
    // The same with the collaborators given; any may be null. The counters, and the window in
    // which a query's answer is believed, take their time from clock (the system's tick when
    // empty).
    void init(XParserResultMgr* results, XDNSRecord* dns, XPCProcessInfo* processInfo,
              std::function<uint32_t()> clock = {});
    void stop() override { m_stopped.store(true, std::memory_order_relaxed); }
    // Gives up on the answers that waited too long for their query.
    void tick() override;
    // Before the parser thread runs: the queries reach the parser by another road than the
    // answers (the kernel copies them where they are sent, the answers come from the wire), so
    // an answer that finds no query waits a moment for it (XDnsQueries::hold) instead of being
    // refused at once.
    void setAnswersMayPrecedeQueries(bool may) { m_holdEarlyAnswers = may; }

    XParserStats stats() const;

private:
    struct Udp;
    void parserQuery(const Udp& udp);
    void parserDNS(const Udp& udp);
    void learnAnswer(const char* msg, int len);
    void noteHeld();
    int parserDNSName(char* out, int outSize, const char* msg, int pos, int len);
    void learnAddresses(const char* msg, int len, int pos, unsigned answers, std::string_view question);
    uint32_t now() const;
    void ignore();
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
    XDnsQueries m_queries;
    bool m_holdEarlyAnswers = false;

    std::atomic<uint64_t> m_datagrams{0};
    std::atomic<uint64_t> m_ignored{0};
    std::atomic<uint64_t> m_queriesSeen{0};
    std::atomic<uint64_t> m_queriesDropped{0};
    std::atomic<uint64_t> m_unasked{0};
    std::atomic<uint64_t> m_early{0};
    std::atomic<uint64_t> m_gaveUp{0};
    std::atomic<uint64_t> m_offQuestion{0};
    std::atomic<uint64_t> m_malformed{0};
    std::atomic<uint64_t> m_namesLearnt{0};
    std::atomic<uint64_t> m_events{0};
    std::atomic<uint64_t> m_uncounted{0};
};
