#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/IoEvents.h"

namespace platform {

// Counters of an event source; each may be read at any time from any thread.
struct IoSourceStats {
    uint64_t packetsSeen = 0;        // IPv4 TCP/UDP packets taken from the capture
    uint64_t packetsMalformed = 0;   // captured frames that were not a usable IPv4 packet
    uint64_t fragments = 0;          // later fragments of IPv4 datagrams among the packets
    uint64_t fragmentsIncomplete = 0;  // fragments not counted because the stack drops them too:
                                       // their datagram never completed, or they overlapped
    uint64_t netEventsDelivered = 0; // handed to the sink
    uint64_t kernelDrops = 0;        // pcap_stats ps_drop: dropped for lack of buffer space
    uint64_t interfaceDrops = 0;     // pcap_stats ps_ifdrop
    uint64_t flowsResolved = 0;      // flows whose owner lookup found a process
    uint64_t flowsUnowned = 0;       // flows whose owner lookup found none (pid 0)
    uint64_t heldTimeouts = 0;       // events sent on with pid 0 after waiting too long for a lookup
    uint64_t holdOverflows = 0;      // events sent on with pid 0 because the hold buffer was full
    uint64_t lookupQueueFull = 0;    // lookups refused because the request queue was full
    uint64_t diskSamples = 0;        // /proc/[pid]/io sampling rounds
    uint64_t diskEventsDelivered = 0;
    uint64_t diskExitsDropped = 0;   // ended processes whose last I/O totals the kernel had no
                                     // room for (counted up to their last sample only)
    uint64_t flowReads = 0;          // eBPF: reads of the kernel's per-flow counts
    uint64_t flowDeltas = 0;         // eBPF: per-flow counts read
    uint64_t flowMapFullPackets = 0; // eBPF: packets not counted because the flow map was full
    uint64_t flowMapFullBytes = 0;
    uint64_t handshakePayloads = 0;        // first payloads of new outgoing flows handed on for
                                           // their server name
    uint64_t handshakePayloadsDropped = 0; // such payloads lost: the kernel's ring or the
                                           // handshake capture's buffer had no room
    uint64_t dnsQueries = 0;         // DNS queries of local programs handed on (onDnsQuery)
    uint64_t dnsQueriesDropped = 0;  // such queries lost: the kernel's ring had no room
};

// The kernel I/O event source: the IPv4 TCP/UDP traffic of every process (per packet, or per
// flow and read interval, each event with its owner), and per-process disk byte deltas once a
// second (or less often, see setDiskRatesNeeded). run() blocks on the calling thread until
// stop() is called from another thread or the capture ends; stop() makes run() return within a
// second.
class IoEventSource {
public:
    virtual ~IoEventSource() = default;
    // Opens the capture. False (with the reason) without privileges or without a device;
    // run() then returns at once.
    virtual bool open(std::string* error) = 0;
    virtual void run(IoEventSink& sink) = 0;
    virtual void stop() = 0;
    virtual IoSourceStats stats() const = 0;
    // Any thread: whether per-second disk figures are needed (the default). A source that
    // learns the totals of processes as they end may then sample less often, every byte still
    // counted; others keep sampling once a second.
    virtual void setDiskRatesNeeded(bool perSecond) { (void)perSecond; }
    // Whether the source hands the DNS queries local programs send to
    // IoEventSink::onDnsQuery (copied where they are sent, at no cost to other packets): then
    // whoever learns names from answers needs to see only the answers on the wire. Known from
    // creation on.
    virtual bool suppliesDnsQueries() const { return false; }
    // What the source is, in a word ("pcap", "none", ...).
    virtual std::string name() const = 0;
};

// The system's source: per-flow counts from the kernel (eBPF) where the programs load, else
// libpcap on the "any" device; both with the /proc/[pid]/io sampler. The name says which, and
// for libpcap why the other was refused ("ebpf", "pcap: no CAP_BPF"); the log says so too.
std::unique_ptr<IoEventSource> createSystemIoEventSource();

} // namespace platform
