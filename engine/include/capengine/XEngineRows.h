#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The copies XEngine hands to front ends. None of them points into the engine: they stay
// valid for as long as the caller keeps them. Addresses are IPv4 in host byte order, ports in
// host order, times engine ticks (milliseconds, 32 bits, wrapping), and every two-element
// array is indexed 0 = received, 1 = sent.

// Which counter: TCP, UDP, or the chat-program counter (registered as "tcp", "udp" and
// "other"). The window program's three traffic lists follow this order.
enum XTrafficKind : int { kTrafficTcp = 0, kTrafficUdp = 1, kTrafficChat = 2 };
constexpr int kTrafficKinds = 3;

// What a threshold query (XEngine::rankedItems) measures an address by; the values are the
// counters' own selectors.
enum class XRankMeasure : int {
    BytesIn = 1, BytesOut = 2, Bytes = 3,        // received, sent, both ways
    PacketsIn = 4, PacketsOut = 5, Packets = 6,
};

// Where a remote address's host name came from: a DNS answer this host received, or the
// server_name a local program sent in a TLS ClientHello (over TCP) or in the ClientHello of a
// QUIC Initial (over UDP). A DNS name stays first: a handshake never replaces it.
enum class XNameSource : uint8_t { None = 0, Dns = 1, Tls = 2, Quic = 3 };

// "dns", "tls", "quic", or "" for None.
inline const char* nameSourceText(XNameSource source)
{
    switch (source) {
    case XNameSource::Dns: return "dns";
    case XNameSource::Tls: return "tls";
    case XNameSource::Quic: return "quic";
    case XNameSource::None: break;
    }
    return "";
}

// One remote address of a counter, ready to show.
struct XTrafficRow {
    uint32_t address = 0;
    uint16_t remotePort = 0;   // of the event that created the record
    uint16_t localPort = 0;    // of that event; 0 for TCP
    uint32_t lastUpdate = 0;   // tick of the last activity
    double bytes[2] = {0, 0};
    double packets[2] = {0, 0};
    std::string dnsName;       // empty when neither DNS nor a handshake named the address
    XNameSource nameSource = XNameSource::None;  // where dnsName came from
    std::string program;       // the record's program, else the owner table's; may be empty
};

// An address and its last activity, as the list views order them.
struct XAddressStamp {
    uint32_t address = 0;
    uint32_t lastUpdate = 0;
};

// A counter's totals.
struct XTrafficTotals {
    double bytes[2] = {0, 0};
    double packets[2] = {0, 0};
    uint32_t addresses = 0;
    uint32_t lastUpdate = 0;   // tick of the last event counted
    bool exists = false;       // false until the counter's first event
};

// One entry of a threshold query: the address and the value of the measure asked for.
struct XRankedItem {
    uint32_t address = 0;
    double value = 0;
};

// Network and disk bytes of one process over the run and over the last interval; or, with
// ended set, the summed run totals of a program's processes that have ended (their last
// interval figures are 0 and never grow again).
struct XProcessRow {
    uint32_t pid = 0;          // of an ended row: the last process folded into it
    uint64_t started = 0;      // the process's start time (clock ticks after boot), 0 when unknown
    bool ended = false;
    std::string name;          // executable base name, taken when the process was first seen
    std::string path;          // full image path when readable, else empty
    uint64_t received = 0, sent = 0;     // network, whole run
    uint64_t packetsReceived = 0, packetsSent = 0;  // network packets, whole run
    uint64_t read = 0, written = 0;      // disk, whole run
    uint64_t lastReceived = 0, lastSent = 0;   // network, last interval
    uint64_t lastRead = 0, lastWritten = 0;    // disk, last interval
};

struct XProcessTotals {
    // Largest run total first. A process appears as one live row (pid and started name it:
    // a reused pid is another row) until some time after it ends; then its totals move into
    // its program's ended row, in a sample() in which it had no new bytes.
    std::vector<XProcessRow> rows;
    uint32_t intervalMs = 0;         // length of the last interval (0 before two samples)
    int netReports = 0;              // processes with network bytes in the last interval
    int diskReports = 0;             // processes with disk bytes in the last interval
    uint64_t samples = 0;            // sample() calls so far
    // Network bytes of the run that no process owned (pid 0). With the rows' totals they
    // make up every byte of the per-address tables.
    uint64_t unownedReceived = 0, unownedSent = 0;
};

// One socket of the machine's TCP or UDP table with its owner.
struct XSocketRow {
    bool tcp = true;
    uint32_t localAddr = 0;
    uint16_t localPort = 0;
    uint32_t remoteAddr = 0;
    uint16_t remotePort = 0;
    int state = 0;             // TCP: 1 CLOSED ... 12 DELETE_TCB; UDP: 0
    uint32_t pid = 0;          // 0 when no owner could be found
    std::string program;       // executable base name of pid
    std::string path;          // full image path when readable
    uint64_t firstSeenMs = 0;  // wall clock (ms since 1970) when the engine first saw the socket
};
