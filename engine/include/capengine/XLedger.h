#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the engine counted since the previous hand-out, per program and remote host: the input
// of the lasting history (history/Recorder.h), and of anything else that needs deltas per
// (program, host) rather than per address.
//
// The engine fills it through
//
//     // Any thread, one caller (each call hands out what the previous one left): moves the
//     // deltas counted since the previous call into out (cleared first). Returns false, with
//     // out empty, when the engine has never counted anything.
//     bool XEngine::takeLedger(XLedger& out);
//
// Counting happens per network event, keyed by the event's program (name and image path, as
// taken when its pid was first seen), its remote address, protocol and remote port class, so
// an address shared by several programs is split between them and nothing depends on which
// program an address record was created for. Every byte counted in the per-address tables is
// in exactly one row; the per-program totals of an interval equal the rows' sums.
//
// Addresses are IPv4 in host byte order; two-element arrays are indexed 0 = received,
// 1 = sent, as everywhere in the engine. All counters are 64-bit.

// The remote port class of an event: its remote port when that port names the service (below
// 1024, or below the local port), else 0 (the remote side is a client of a local server, or
// uses a port above ours). Keeps rows per (program, host) few: a server's clients do not
// make one row per ephemeral port.
constexpr uint16_t xledgerPortClass(uint16_t remotePort, uint16_t localPort)
{
    return (remotePort < 1024 || remotePort < localPort) ? remotePort : 0;
}

// One (program, remote host, protocol, port class) of the interval. A copy: valid for as long
// as the caller keeps it.
struct XLedgerRow {
    std::string program;      // executable base name; empty for traffic no program owns (pid 0)
    std::string path;         // full image path; empty when it could not be read
    uint32_t remoteAddress = 0;  // 0: hosts the engine folded together to stay within its bound
    uint8_t protocol = 0;     // IP protocol number: 6 TCP, 17 UDP
    uint16_t remotePortClass = 0;  // xledgerPortClass() of the events counted
    std::string dnsName;      // the DNS cache's name for remoteAddress at hand-out; may be empty
    uint64_t bytes[2] = {0, 0};    // IP total lengths
    uint64_t packets[2] = {0, 0};
};

// Disk bytes of one program (name and image path) in the interval. A copy: valid for as long
// as the caller keeps it.
struct XLedgerDisk {
    std::string program;
    std::string path;
    uint64_t read = 0;
    uint64_t written = 0;
};

// Everything counted between two hand-outs. A copy: valid for as long as the caller keeps it;
// the engine keeps no reference to it.
struct XLedger {
    uint64_t wallStartMs = 0;  // wall clock (ms since 1970, UTC) of the previous hand-out (or start)
    uint64_t wallEndMs = 0;    // wall clock of this hand-out
    uint32_t spanMs = 0;       // engine ticks between the two: the interval's real length
    std::vector<XLedgerRow> rows;   // no order; one row per key
    std::vector<XLedgerDisk> disk;  // no order; one row per program with disk bytes
};
