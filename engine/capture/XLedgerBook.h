#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "capengine/XLedger.h"
#include "hostinfo/NetIoRecord.h"
#include "capture/XNetPairTable.h"
#include "hostinfo/XProcessRunTotals.h"

// What the engine counted per (program, remote host) between two hand-outs of its ledger:
// sample() adds each interval's per-process pairs under the programs the run totals named
// them by, takeLedger() moves the sum out. Nothing is kept before the first take() (a front
// end that records takes once when it starts), so an engine nobody records from keeps
// nothing.
//
// Bounded: kMaxRows rows with a host of their own; beyond that a program's further hosts
// share its row of remote address 0, and beyond kMaxPrograms programs the rest share the
// row of the empty name. Bytes are never dropped; folded rows are counted. Thread-safe.
class XLedgerBook {
public:
    static constexpr size_t kMaxRows = 65536;
    static constexpr size_t kMaxPrograms = 4096;

    using ProgramOf = std::function<XProcessRunTotals::Program(uint32_t pid)>;

    // Whether take() was called: before, nothing is kept.
    bool kept() const;
    // One interval; programOf names the pids (never asked for pid 0). Returns the rows that
    // were folded.
    uint64_t add(const std::vector<XNetPair>& pairs, const std::vector<IoTriple>& disk, const ProgramOf& programOf);

    // Moves everything into out (cleared first) and starts over; out.rows get no DNS names
    // (the caller adds them). wallMs and tick are the hand-out's times; the previous
    // hand-out's open the span. The first call only starts the keeping: false, out empty.
    bool take(XLedger& out, uint64_t wallMs, uint32_t tick);

private:
    struct Key {
        uint32_t program;
        uint32_t remoteAddress;
        uint32_t kind;  // protocol << 16 | port class
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const
        {
            uint64_t h = ((uint64_t(k.program) << 32 | k.remoteAddress) ^ (uint64_t(k.kind) << 17)) *
                         0x9E3779B97F4A7C15ull;
            return size_t(h ^ (h >> 29));
        }
    };
    struct Counts {
        uint64_t bytes[2] = {0, 0};
        uint64_t packets[2] = {0, 0};
    };
    struct Disk {
        uint64_t read = 0;
        uint64_t written = 0;
    };
    using Program = std::pair<std::string, std::string>;  // name, path

    // The caller holds m_mutex.
    uint32_t programIndex(uint32_t pid, const ProgramOf& programOf, uint64_t& folded);
    uint32_t indexOf(Program program, uint64_t& folded);

    mutable std::mutex m_mutex;
    bool m_kept = false;
    std::map<Program, uint32_t> m_programIndex;
    std::unordered_map<uint32_t, uint32_t> m_pidIndex;  // add()'s own: the pids of one interval
    std::vector<Program> m_programs;
    std::unordered_map<Key, Counts, KeyHash> m_rows;
    size_t m_folds = 0;
    std::unordered_map<uint32_t, Disk> m_disk;
    uint64_t m_lastWallMs = 0;
    uint32_t m_lastTick = 0;
};
