#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/FlowOwners.h"
#include "platform/IoEvents.h"

namespace platform {

// Gives every captured packet the pid of the process that owns its flow. Known flows are
// answered from a cache; the first packet of an unknown flow asks the FlowOwnerSource, and
// that flow's packets wait (a few milliseconds, at most holdMs) for the answer rather than go
// out without an owner, since the first event decides whose record an address gets.
// Capture thread only.
class FlowAttributor {
public:
    struct Options {
        uint32_t holdMs = 250;            // longest wait for an owner lookup
        size_t maxHeld = 32768;           // events waiting at once
        uint32_t ownedIdleMs = 120000;    // a flow unused this long is forgotten (owned or not)
        uint32_t unownedRetryMs = 1000;   // a flow nobody owned is looked up again after this
        size_t maxFlows = 65536;          // cached flows
        uint32_t urgentPerSecond = 2000;  // connection openings looked up on the capture thread
    };

    struct Stats {
        uint64_t delivered = 0;
        uint64_t flowsResolved = 0;
        uint64_t flowsUnowned = 0;
        uint64_t heldTimeouts = 0;
        uint64_t holdOverflows = 0;
        uint64_t lookupQueueFull = 0;
        uint64_t cacheEvictions = 0;
        uint64_t urgentLookups = 0;
    };

    FlowAttributor(FlowOwnerSource& owners, IoEventSink& sink);
    FlowAttributor(FlowOwnerSource& owners, IoEventSink& sink, Options options);

    // One packet; tcpSyn restarts the flow (a new connection may belong to a new process).
    // The first packet of a TCP connection and the first datagram a UDP socket sends are
    // looked up at once, within a per-second budget. A key without ports (a fragment whose
    // first part was not seen) goes on at once without an owner.
    void onPacket(const FlowKey& key, const NetEvent& event, bool tcpSyn, uint64_t nowMs);
    // Takes the lookup answers and sends on every waiting event that has its owner or has
    // waited too long. Call often (after every capture batch).
    void poll(uint64_t nowMs);
    // Sends on everything still waiting, with the owners known so far (at shutdown).
    void flush();

    size_t heldCount() const { return m_held.size(); }
    size_t flowCount() const { return m_flows.size(); }
    const Stats& stats() const { return m_stats; }

private:
    enum class FlowState : uint8_t { Pending, Known };
    struct Flow {
        FlowState state = FlowState::Pending;
        uint32_t pid = 0;
        uint64_t lastUsedMs = 0;
        uint64_t askedMs = 0;
    };
    struct Held {
        FlowKey key;
        NetEvent event;
        uint64_t deadlineMs;
    };

    void deliver(NetEvent event, uint32_t pid);
    void ask(const FlowKey& key, Flow& flow, uint64_t nowMs, bool opening);
    void sweep(uint64_t nowMs);

    FlowOwnerSource& m_owners;
    IoEventSink& m_sink;
    Options m_options;
    std::unordered_map<FlowKey, Flow, FlowKeyHash> m_flows;
    // The flow of the previous packet: bursts of one flow skip the hash lookup. Reset
    // whenever the map may move or lose entries.
    FlowKey m_lastKey;
    Flow* m_lastFlow = nullptr;
    std::vector<Held> m_held;
    std::vector<FlowOwnerAnswer> m_answers;
    uint64_t m_lastSweepMs = 0;
    uint64_t m_urgentSecond = 0;  // the second the urgent budget below belongs to
    uint32_t m_urgentUsed = 0;
    Stats m_stats;
};

} // namespace platform
