#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "capengine/CapengineExport.h"
#include "capengine/XCounterRecords.h"
#include "capengine/XEngineRows.h"
#include "capengine/XEngineStats.h"
#include "capengine/XLedger.h"

class XDNSRecord;
class XParserResultMgr;
class XPCProcessInfo;

// The capture engine as a front end sees it: the one place that creates and wires the engine's
// pieces, and the only interface the console and the window program read it through.
//
// Threads: start() and stop() belong to the thread that owns the engine; sample() has one
// caller (the front end's one-second timer); every read operation may be called from any
// thread at any time, also before start() and after stop() (then they answer "nothing").
// Every read copies under the lock of the part it reads: nothing handed out points into
// engine records.
class CAPENGINE_EXPORT XEngine {
public:
    // Components given instead of the system's (tests, benchmarks): a registry filled through
    // the counters' own count(), a DNS cache, process information, a tick clock. Any may be
    // null or empty. An engine made from components reads them but never starts.
    struct Components {
        XParserResultMgr* results = nullptr;
        XDNSRecord* dns = nullptr;
        XPCProcessInfo* processInfo = nullptr;
        std::function<uint32_t()> clock;          // engine ticks; the system's when empty
        std::function<std::string(uint32_t)> processName;  // pid to name; the system's when empty
        std::function<std::string(uint32_t)> processPath;  // pid to image path
        // pid to the start time of the process that has it now (0: none); the system's when
        // empty for the system engine, "every process lives, started at 0" for one made from
        // components
        std::function<uint64_t(uint32_t)> processStart;
        std::function<int(std::vector<XSocketRow>&)> sockets;  // the socket list; none when empty
    };

    XEngine();
    explicit XEngine(Components components);
    ~XEngine();
    XEngine(const XEngine&) = delete;
    XEngine& operator=(const XEngine&) = delete;

    // Owning thread. Wires and starts the system engine: chat programs, process information
    // (which starts the kernel event source), packet manager, queues, DNS cache, one parser,
    // the DNS listener of every local address (those added later too), then the parser
    // thread. Waits for nothing on the network. False (with the reason in why) when already
    // started, after a stop (one run per process), or for an engine made from components.
    bool start(std::string* why = nullptr);
    // Owning thread. Stops and joins every engine thread in the reverse order, within a
    // second. Safe to call more than once and without start().
    void stop();
    bool isRunning() const;

    // The front end's timer, once a second, one caller. nowMs is the caller's tick (tests
    // drive it). Reloads the owner tables on every second call (every 16th when the event
    // source names every flow's owner itself) and, while running, notes the sockets that
    // appeared, for their start time in sockets(); drains the per-process network and disk
    // totals into the run totals (see processTotals()) and, once takeLedger() was called, the
    // per-(program, host) counts into the ledger. One more call after stop() collects what
    // the last events counted.
    void sample(uint32_t nowMs);

    // Any thread, one caller: moves what sample() collected since the previous call into out
    // (cleared first), with each host's DNS name as the cache has it now; see XLedger.h. The
    // engine keeps the ledger from the first call on: a front end that records calls it once
    // when it starts, and that call hands out nothing (false). Every later call returns true,
    // with empty rows when nothing was counted.
    bool takeLedger(XLedger& out);

    // Any thread: every row of a counter, ascending address. Returns the number of rows.
    int snapshot(XTrafficKind kind, std::vector<XTrafficRow>& rows);
    // Any thread: addresses and last activity of a counter, ascending address (the chat
    // counter lists only its busy addresses). Returns the number of entries.
    int addresses(XTrafficKind kind, std::vector<XAddressStamp>& out);
    // Any thread: one address of a counter; false when the counter or the address is unknown.
    bool row(XTrafficKind kind, uint32_t address, XTrafficRow& out);
    // Any thread: the counter's totals (exists = false before its first event).
    XTrafficTotals totals(XTrafficKind kind);
    // Any thread: up to max addresses whose measure exceeds threshold, in creation order.
    int rankedItems(XTrafficKind kind, XRankMeasure measure, double threshold, int max,
                    std::vector<XRankedItem>& out);
    // Any thread: the DNS name learnt for an address, empty when none.
    std::string dnsName(uint32_t address);
    // Any thread: the owner tables' program for a TCP remote address / a UDP local port.
    std::string tcpProgram(uint32_t address);
    std::string udpProgram(uint16_t localPort);
    // Any thread: forgets every address of a counter; its totals read 0 at once.
    void clear(XTrafficKind kind);

    // Any thread: every counter of every stage, read together.
    XEngineStats stats();
    // Any thread: per-process totals of the run and of the interval between the last two
    // sample() calls, and the summed totals of each program's processes that have ended.
    XProcessTotals processTotals();
    // Any thread: every IPv4 TCP connection and UDP endpoint of the machine with its owner.
    // Reads the system's socket tables: tens of milliseconds on a busy host.
    int sockets(std::vector<XSocketRow>& out);

    // Any thread: the engine's log lines go to this file as well (appended); false when it
    // cannot be opened. The front end's own logger is separate.
    static bool setLogFile(const std::string& path);

    // Any thread: the engine clock (ticks, milliseconds).
    uint32_t tick() const;
    // Any thread: a short text naming the kernel event source in use and, when it is not
    // the preferred one, why ("pcap", "pcap: no capture privileges", ...).
    std::string eventSource() const;

private:
    struct CAPENGINE_HIDDEN Impl;
    std::unique_ptr<Impl> m_impl;
};
