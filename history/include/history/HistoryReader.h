#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "history/Database.h"
#include "history/TimeRange.h"
#include "history/Tier.h"

namespace history {

struct PlannedPiece;
struct Horizons;

// Network bytes and packets both ways.
struct Usage {
    uint64_t received = 0, sent = 0;
    uint64_t packetsReceived = 0, packetsSent = 0;
    uint64_t total() const { return received + sent; }
};

// A program of the history: name and image path as recorded. An empty name is traffic no
// program owned; id 0 (or an id the file no longer names) is "other programs".
struct ProgramUsage {
    int64_t id = 0;
    std::string name, path;
    Usage net;
    uint64_t diskRead = 0, diskWritten = 0;
    double share = 0;  // of the answer's network total, 0..1
};

// A remote host: the address, with the DNS name and location it had when last recorded in
// the range. otherHosts: everything folded beyond the per-program bound (address 0).
struct HostUsage {
    uint32_t address = 0;
    bool otherHosts = false;
    std::string dnsName, location;
    Usage net;
    int programs = 0;  // programs that exchanged traffic with it in the range
    double share = 0;
};

struct LocationUsage {
    std::string location;   // empty: unknown
    bool otherHosts = false;
    Usage net;
    int hosts = 0;
    double share = 0;
};

struct SeriesPoint {
    int64_t from = 0, to = 0;  // Unix seconds
    Usage net;
};

// What narrows an answer: one program (its base name or its full image path, or the id of a
// row programs() gave) and/or one remote address.
struct Filter {
    std::string program;
    std::optional<uint32_t> host;
    std::optional<int64_t> programId;

    bool byProgram() const { return !program.empty() || programId.has_value(); }
    static Filter ofProgram(std::string name)
    {
        Filter f;
        f.program = std::move(name);
        return f;
    }
    static Filter ofHost(uint32_t address)
    {
        Filter f;
        f.host = address;
        return f;
    }
};

// What an answer covers. The finest buckets kept for old times are coarser (see
// Retention), so a range reaching back beyond them is answered from the nearest whole
// buckets: covered says which span that is.
struct Answer {
    bool ok = false;
    std::string error;
    TimeRange covered;
};

// Queries of a history database for both front ends. Opens the file read-only: it never
// changes it, never waits for the writer, and a damaged or hostile file gives errors,
// never a crash. One thread at a time (the window runs it on a worker thread).
class HistoryReader {
public:
    HistoryReader() = default;

    // False with the reason when the file is missing, not a database, or of a newer layout.
    bool open(const std::string& path, std::string* error = nullptr, const char* vfs = nullptr);
    bool isOpen() const { return m_db.isOpen(); }

    // Programs in the range, by network total, the largest first. With filter.host: the
    // programs that exchanged traffic with that host, and only that traffic.
    Answer programs(const TimeRange& range, const Filter& filter, std::vector<ProgramUsage>& out);
    // Hosts in the range, largest first; with filter.program, that program's hosts.
    Answer hosts(const TimeRange& range, const Filter& filter, std::vector<HostUsage>& out);
    // Locations of the hosts, largest first.
    Answer locations(const TimeRange& range, const Filter& filter, std::vector<LocationUsage>& out);
    // The range cut into local hours, days or months (stepBoundaries()), each point's traffic.
    Answer series(const TimeRange& range, Step step, const Filter& filter, std::vector<SeriesPoint>& out);

private:
    struct HostName {
        uint32_t address = 0;
        std::string dnsName, location;
    };
    bool refreshNames();
    const HostName* hostName(uint32_t id);
    std::vector<int64_t> programIds(const Filter& filter);
    Horizons horizons();
    template <typename RowFn>
    bool scan(const std::vector<PlannedPiece>& pieces, bool withHosts, const std::vector<int64_t>* programs, RowFn&& fn,
              std::string* error);

    Database m_db;
    Statement m_hostLookup;
    int64_t m_dataVersion = -1;
    std::unordered_map<int64_t, std::pair<std::string, std::string>> m_programs;
    std::unordered_map<uint32_t, HostName> m_hosts;
};

} // namespace history
