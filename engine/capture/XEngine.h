#pragma once

#include <mutex>
#include <vector>

#include "capture/XCounterRecords.h"
#include "capture/XEngineStats.h"
#include "capture/XPacketBaseParser.h"

class XDNSRecord;
class XParserResultMgr;

// Starts and stops the whole capture engine in the order the engine relies on. start() and
// stop() belong to one owning thread (the GUI or console main thread); the read operations
// may be called from any thread while the engine runs. Pointers from results() and dns()
// stay valid for the life of the process.
class XEngine {
public:
    XEngine() = default;
    ~XEngine();
    XEngine(const XEngine&) = delete;
    XEngine& operator=(const XEngine&) = delete;

    // Registers the chat programs, creates the singletons (process information, which starts
    // the kernel trace, packet manager, queue manager, DNS cache), one parser, a listener on
    // every local address, and starts the parser thread. False when already started, when
    // a previous run was stopped (one run per process), or when a singleton is missing.
    bool start();
    // Stops the parser thread and joins it, ends and joins every listener, deletes the parser
    // and stops the kernel trace. Safe to call more than once and without start().
    void stop();
    bool isRunning();

    // The registry of the "tcp", "udp" and "other" counters; null before start().
    XParserResultMgr* results();
    // The DNS name cache; null before start().
    XDNSRecord* dns();
    // Copies every record of the counter registered under name ("tcp", "udp", "other") into
    // out, in ascending address order. Returns the number copied (0 when the counter does not
    // exist yet).
    int snapshot(const char* name, std::vector<_X_R_PACKETCOUNTER>& out);
    // Every drop counter of the engine.
    XEngineStats stats();

private:
    enum class State { Idle, Running, Stopped };

    std::mutex m_mutex;  // serialises start, stop and the reads of m_parser
    State m_state = State::Idle;
    XPacketBaseParser* m_parser = nullptr;  // owned by the packet manager while running
    XParserStats m_parserStats;             // kept when the parser is deleted
};
