#pragma once

#include <cstdint>
#include <string>

// The recorder's counters, one line each: X(field, printed name, kind, meaning). Kind kDrop
// marks traffic lost to history, kFlow work done. Front ends print them by walking
// RecorderStats::forEach, as they print the engine's.
#define HISTORY_COUNTERS(X)                                                                        \
    X(ledgers, "history_ledgers", kFlow, "deltas handed to the recorder")                          \
    X(ledgersIgnored, "history_ledgers_not_recorded", kFlow, "deltas left out: another process records, or recording is off") \
    X(flushes, "history_flushes", kFlow, "transactions written")                                   \
    X(writeFailures, "history_write_failures", kFlow, "writes that failed; their buckets are kept in memory and retried") \
    X(hostsFolded, "history_hosts_folded", kFlow, "hosts folded into \"other hosts\" rows, bytes kept") \
    X(bucketsCoarsened, "history_buckets_coarsened", kFlow, "waiting buckets whose hosts were folded to stay within memory, bytes kept") \
    X(bucketsDropped, "history_buckets_dropped", kDrop, "buckets lost: too many waiting for a write, or unwritable at stop") \
    X(bytesDropped, "history_bytes_dropped", kDrop, "network bytes in the buckets lost")           \
    X(clockJumps, "history_clock_jumps", kFlow, "wall-clock jumps stepped over")                   \
    X(rowsRepaired, "history_rows_repaired", kFlow, "damaged host lists replaced by their totals")

namespace history {

struct RecorderStats {
    enum Kind { kFlow, kDrop };

#define HISTORY_COUNTER_FIELD(field, name, kind, meaning) uint64_t field = 0;
    HISTORY_COUNTERS(HISTORY_COUNTER_FIELD)
#undef HISTORY_COUNTER_FIELD

    // What the recorder is to its database.
    enum class Role {
        Starting,   // not opened yet
        Writer,     // holds the lock and writes
        Reader,     // another process holds the lock: this one does not record
        Failing,    // cannot open or write now; keeps buckets and retries
        Refused,    // the file's layout is newer than this program's: never written
        Off,        // recording is off
    };
    Role role = Role::Starting;
    std::string path;        // the database
    std::string lastError;   // the last failure, empty when none
    uint64_t pendingEntries = 0;  // host rows waiting in memory
    uint64_t pendingBuckets = 0;  // 5-minute buckets waiting in memory

    template <typename F>
    void forEach(F&& f) const
    {
#define HISTORY_COUNTER_VISIT(field, name, kind, meaning) f(name, field, kind);
        HISTORY_COUNTERS(HISTORY_COUNTER_VISIT)
#undef HISTORY_COUNTER_VISIT
    }
};

const char* roleName(RecorderStats::Role role);

} // namespace history
