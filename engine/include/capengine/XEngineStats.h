#pragma once

#include <cstdint>

// Every counter of every engine stage that can drop or refuse data, plus the throughput
// figures they are read against. One line per counter: X(field, printed name, kind, meaning).
// Kind kDrop marks data lost or refused, kMiss traffic counted without its owner or its host
// (bytes kept), kFlow
// throughput. Counters only grow during a
// run; front ends print them by walking XEngineStats::forEach, so a counter added here needs
// no change in them.
#define XENGINE_COUNTERS(X)                                                                       \
    X(packetsSeen, "packets_seen", kFlow, "IPv4 TCP/UDP packets taken from the capture")          \
    X(packetsMalformed, "packets_malformed", kDrop, "captured frames that were not usable IPv4")  \
    X(fragments, "fragments", kFlow, "later IPv4 fragments, counted for their datagram's flow")   \
    X(fragmentsIncomplete, "fragments_incomplete", kDrop, "fragments of datagrams never completed, dropped as the stack drops them") \
    X(kernelDrops, "kernel_drops", kDrop, "packets the capture dropped in the kernel")            \
    X(interfaceDrops, "interface_drops", kDrop, "packets the interface dropped")                  \
    X(flowMapFull, "flow_map_full_packets", kDrop, "packets the kernel left uncounted: flow map full") \
    X(eventsQueued, "events_queued", kFlow, "network events written into the event ring")         \
    X(ringDropped, "events_dropped_ring_full", kDrop, "network events dropped: event ring full")  \
    X(ringFullWaits, "ring_full_waits", kFlow, "times the capture waited for room in the ring")   \
    X(gatedEvents, "events_gated_at_start", kFlow, "events from before the start, not counted")  \
    X(flowsResolved, "flows_attributed", kFlow, "flows whose owner lookup found a process")       \
    X(flowsUnowned, "flows_unowned", kMiss, "flows whose owner lookup found none (pid 0)")        \
    X(heldTimeouts, "events_owner_lookup_too_slow", kMiss, "events sent on with pid 0: lookup too slow") \
    X(holdOverflows, "events_hold_buffer_full", kMiss, "events sent on with pid 0: hold buffer full") \
    X(lookupQueueFull, "owner_lookups_refused", kMiss, "owner lookups refused: request queue full") \
    X(netProcessesFolded, "net_totals_folded", kMiss, "network events counted without their program: over 16 384 processes in one interval") \
    X(diskFolded, "disk_totals_folded", kMiss, "disk events counted without their program: over 16 384 processes in one interval") \
    X(netHostsFolded, "net_hosts_folded", kMiss, "network events counted without their host: over 65 536 shared-address pairs in one interval") \
    X(ledgerHostsFolded, "ledger_hosts_folded", kMiss, "ledger rows given to their program's other hosts: too many between two hand-outs") \
    X(diskExitsDropped, "disk_exits_dropped", kDrop, "ended processes whose last disk bytes the kernel had no room for") \
    X(eventsParsed, "events_counted", kFlow, "network events counted")                           \
    X(eventsUncounted, "events_uncounted", kDrop, "events lost: their counter could not be made") \
    X(tcpPoolFailures, "tcp_pool_failures", kDrop, "addresses the tcp counter had no record for") \
    X(udpPoolFailures, "udp_pool_failures", kDrop, "addresses the udp counter had no record for") \
    X(chatPoolFailures, "chat_pool_failures", kDrop, "addresses the chat counter could not adopt") \
    X(workerExceptions, "worker_exceptions", kDrop, "work items dropped: handling them failed")   \
    X(listeners, "listeners", kFlow, "DNS listeners (one covers every local address)")           \
    X(listenerBindFailures, "listener_bind_failures", kDrop, "DNS listeners whose raw socket failed: no names") \
    X(listenerReceiveErrors, "listener_receive_errors", kDrop, "failed receives of listeners")    \
    X(listenerSocketDrops, "listener_socket_drops", kDrop, "DNS datagrams lost: the listener socket's buffer was full") \
    X(listenerUnqueued, "listener_unqueued", kDrop, "DNS datagrams lost by listeners without a queue") \
    X(datagramsReceived, "datagrams_received", kFlow, "datagrams received by all listeners")      \
    X(datagramsKept, "datagrams_kept", kFlow, "DNS queries and answers queued")                   \
    X(datagramsParsed, "datagrams_parsed", kFlow, "datagrams handed to the parser")               \
    X(datagramsIgnored, "datagrams_ignored", kFlow, "datagrams the parser skipped")               \
    X(queueDrops, "queue_drops", kDrop, "datagrams dropped: their queue was full")                \
    X(queueTruncated, "queue_truncated", kDrop, "DNS answers cut to a 1024-byte slot: later records lost") \
    X(dnsQueries, "dns_queries_seen", kFlow, "DNS queries this host sent")                        \
    X(dnsQueriesDropped, "dns_queries_dropped", kDrop, "queries forgotten unanswered: too many waiting") \
    X(dnsUnasked, "dns_answers_unasked", kDrop, "DNS answers refused: no query of this host asked for them") \
    X(dnsQueriesRingFull, "dns_queries_ring_full", kDrop, "DNS queries lost: no room in the kernel's query ring") \
    X(dnsAnswersEarly, "dns_answers_early", kFlow, "DNS answers that came before their query and were believed when it came") \
    X(dnsAnswersGaveUp, "dns_answers_gave_up", kDrop, "DNS answers refused after waiting for their query in vain") \
    X(dnsOffQuestion, "dns_records_off_question", kDrop, "address records refused: neither the question nor an alias of it") \
    X(dnsMalformed, "dns_names_malformed", kDrop, "DNS records refused: a name no host can have") \
    X(namesLearnt, "dns_names_learnt", kFlow, "address records given to the DNS cache")           \
    X(dnsDropped, "dns_names_dropped", kDrop, "names the DNS cache refused or forgot to make room") \
    X(handshakePayloads, "handshake_payloads_taken", kFlow, "first payloads of new outgoing flows taken to read their server name") \
    X(handshakePayloadsDropped, "handshake_payloads_dropped", kDrop, "first payloads of new flows lost: no room in the kernel's ring or the capture's buffer") \
    X(tlsHellos, "tls_hellos_read", kFlow, "TLS ClientHellos local programs sent, read for their server name") \
    X(quicInitials, "quic_initials_opened", kFlow, "QUIC Initial packets local programs sent, decrypted for their server name") \
    X(tlsNames, "tls_names_learnt", kFlow, "names from TLS ClientHellos given to the name cache") \
    X(quicNames, "quic_names_learnt", kFlow, "names from QUIC Initials given to the name cache") \
    X(handshakeBehindDns, "handshake_names_behind_dns", kFlow, "handshake names not stored: a DNS name stands for the address") \
    X(handshakeBadNames, "handshake_names_refused", kDrop, "handshake server names refused: not a host name") \
    X(handshakeMalformed, "tls_hellos_malformed", kDrop, "ClientHellos refused: lengths that do not agree") \
    X(handshakeInFlightFull, "handshakes_refused_in_flight_full", kDrop, "split handshakes refused: too many waiting for their next packet") \
    X(handshakeIncomplete, "handshakes_incomplete", kDrop, "split handshakes given up before their name: a gap, a budget spent or too slow")

struct XEngineStats {
    enum Kind { kFlow, kDrop, kMiss };

#define XENGINE_COUNTER_FIELD(field, name, kind, meaning) uint64_t field = 0;
    XENGINE_COUNTERS(XENGINE_COUNTER_FIELD)
#undef XENGINE_COUNTER_FIELD

    bool capturing = false;     // the kernel event source is delivering
    int listenerBindError = 0;  // system error number of the last failed listener
    long ringPending = 0;       // events waiting in the ring now
    uint64_t dnsNames = 0;      // addresses with a DNS name

    // Calls f(name, value, kind) for every counter, in the order above.
    template <typename F>
    void forEach(F&& f) const
    {
#define XENGINE_COUNTER_VISIT(field, name, kind, meaning) f(name, field, kind);
        XENGINE_COUNTERS(XENGINE_COUNTER_VISIT)
#undef XENGINE_COUNTER_VISIT
    }

    // Sum of every kDrop counter.
    uint64_t totalDrops() const
    {
        uint64_t sum = 0;
        forEach([&sum](const char*, uint64_t value, Kind kind) {
            if (kind == kDrop)
                sum += value;
        });
        return sum;
    }
};
