#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "capengine/XEngine.h"
#include "capture/XLedgerBook.h"
#include "capture/XPacketBaseParser.h"
#include "hostinfo/XProcessRunTotals.h"
#include "hostinfo/XSocketList.h"

class XKernelIoTrace;
class XPacketMgr;
class XPacketQueueMgr;
class XParserResult;
class XParserWorker;

// What XEngine holds: the components it wired (or was given) and what it keeps for its readers.
struct CAPENGINE_HIDDEN XEngine::Impl {
    enum class State { Idle, Running, Stopped, FromComponents };

    explicit Impl(Components given);

    // Whether the part pointers below are set (they never change afterwards).
    bool wired() const { return state.load() != State::Idle; }

    // The counter of a kind, null when it does not exist (yet).
    XParserResult* result(XTrafficKind kind) const;
    // Fills the DNS name and the program of a row from its counter record.
    void completeRow(XTrafficKind kind, const _X_R_PACKETCOUNTER& record, XTrafficRow& row) const;

    Components components;                          // clock and name hooks, always set
    mutable std::mutex stateMutex;        // serialises start and stop
    std::atomic<State> state{State::Idle};

    // Set by start() (or from the components) before state leaves Idle, never changed after.
    XParserResultMgr* results = nullptr;
    XDNSRecord* dns = nullptr;
    XPCProcessInfo* processInfo = nullptr;
    XKernelIoTrace* trace = nullptr;
    XPacketMgr* packets = nullptr;
    XPacketQueueMgr* queues = nullptr;
    XParserWorker* worker = nullptr;

    std::mutex parserMutex;               // guards the two below
    XPacketBaseParser* parser = nullptr;  // owned by the packet manager while running
    XParserStats parserStats;             // kept when the parser is deleted

    // sample()'s own state: one caller.
    uint64_t sampleCalls = 0;
    uint32_t lastSampleMs = 0;
    XProcessRunTotals processTotals;
    XSocketList sockets;
    std::vector<XNetPair> pairs;        // sample()'s scratch, reused
    std::vector<IoTriple> net, disk;

    // What sample() moves over for takeLedger(); thread-safe itself.
    XLedgerBook ledger;
    std::atomic<uint64_t> ledgerFolded{0};
};
