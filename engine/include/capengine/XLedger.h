#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the engine counted since the previous hand-out, per program and remote host: the input
// of the lasting history (history/Recorder.h), and of anything else that needs deltas per
// (program, host) rather than per address.
//
// XEngine::takeLedger() hands it out: what the engine's sample() calls collected since the
// previous hand-out.
//
// Counting happens per network event, keyed by the event's process, its remote address,
// protocol and remote port class; each second the processes are named by their program (name
// and image path, as the per-process totals took them when the pid was first seen). So an
// address shared by several programs is split between them and nothing depends on which
// program an address record was created for. Every byte counted in the per-address tables is
// in exactly one row; the per-program totals of an interval equal the rows' sums. Bounded:
// beyond 65 536 rows a program's further hosts share one row of remote address 0 (counted
// in the engine's net_hosts_folded and ledger_hosts_folded), and no byte is dropped.
//
// Addresses are IPv4 in host byte order; two-element arrays are indexed 0 = received,
// 1 = sent, as everywhere in the engine. All counters are 64-bit.

// The remote port class of an event: its remote port when that port names the service (below
// 1024, or below the local port), else 0 (the remote side is a client of a local server, or
// uses a port above ours). Keeps rows per (program, host) few: a server's clients do not
// make one row per ephemeral port. TCP events carry no local port (0): their class is the
// remote port when it is below 1024.
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
