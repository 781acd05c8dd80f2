#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "capture/XNetPairTable.h"
#include "capture/XRecordCounter.h"

class XIPCounter;
class XPCProcessInfo;

// Per-remote-address traffic counter ("tcp" and "udp"). The parser thread counts; the reads of
// XRecordCounter may come from any thread. A new address is named after the program behind
// its first event and offered to the chat-program counter.
//
// Beside each address it counts the interval's traffic per (process, remote port class) of
// the events, for the engine's per-(program, host) ledger: in the address's own cell for the
// first process and class of the interval, in an overflow table for any other (and for
// addresses that got no record). takePairs() hands them out; a clear() of the counter keeps
// them.
class XPacketCounter : public XRecordCounter {
public:
    XPacketCounter(unsigned long localIP, unsigned short localPort);
    ~XPacketCounter() override;

    // Start-up, before the first count: finds the process information and the chat counter
    // registered as "other".
    void init() override;
    // The same with the collaborators given (either may be null).
    void init(XPCProcessInfo* processInfo, XIPCounter* chatCounter);

    // Parser thread only. ip in host order, ports in network order, direction 0 (received) or
    // 1 (sent); events with any other direction are not counted. pid 0 when unknown. An event
    // may stand for several packets (a flow's packets of one read interval).
    void count(unsigned long ip, unsigned short remotePort, unsigned short localPort, int size,
               int direction, unsigned long pid, int packets = 1);

    // Any thread, one at a time: appends the interval's counts per (process, address, port
    // class) to out, each with the given protocol, and starts a new interval.
    void takePairs(std::vector<XNetPair>& out, uint8_t protocol);
    // Any thread: events whose host was folded into their process's "other hosts" entry (more
    // pairs than the overflow table holds in one interval); their bytes still counted.
    uint64_t hostsFolded() const { return m_hostsFolded.load(std::memory_order_relaxed); }

protected:
    void releasingRecords() override;

private:
    void addRecord(uint32_t ip, unsigned short remotePort, unsigned short localPort, int size,
                   int direction, unsigned long pid, int packets, uint32_t now);
    // The caller holds m_lock.
    void countPair(_X_R_PACKETCOUNTER* record, uint32_t ip, uint32_t pid, uint16_t portClass, int direction,
                   uint64_t size, uint64_t packets);
    void countOverflow(uint32_t ip, uint32_t pid, uint16_t portClass, int direction, uint64_t size,
                       uint64_t packets);

    XIPCounter* m_chatCounter = nullptr;
    XPCProcessInfo* m_processInfo = nullptr;
    std::vector<_X_R_PACKETCOUNTER*> m_inUse;  // records whose cell holds counts; under m_lock
    XNetPairTable m_overflow;                   // under m_lock
    std::mutex m_takeMutex;                     // one takePairs() at a time; guards m_taken
    XNetPairTable m_taken;
    std::vector<XNetPair> m_scratch;
    std::atomic<uint64_t> m_hostsFolded{0};
};
