#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "PendingBuckets.h"
#include "history/Database.h"
#include "history/HostEntries.h"
#include "history/Tier.h"

namespace history {

// Writes batches of 5-minute buckets into an open, current database: each one in one
// transaction, into its own tier and added to its hour, day and month; then removes what
// the retention no longer keeps. The recorder's thread only.
class BucketWriter {
public:
    struct Settings {
        Retention retention;
        int hostsPerProgram = 200;
        std::function<std::string(uint32_t)> location;
    };
    struct Outcome {
        uint64_t hostsFolded = 0;
        uint64_t rowsRepaired = 0;
        int errorCode = 0;  // SQLite's, when write() failed
    };

    BucketWriter(Database& db, Settings settings);

    // One transaction: the batch with its bucket starts moved by shiftSeconds (a multiple of
    // 300), the retention applied at retentionNow (Unix seconds), recorded_until raised to
    // untilMs. False (nothing written, error set) when any step fails.
    bool write(const PendingBuckets& batch, int64_t shiftSeconds, int64_t retentionNow, int64_t untilMs,
               Outcome& outcome, std::string* error);

    // The ids cached from the file are stale (a failed transaction, another process
    // changed the file).
    void forgetIds();
    // forgetIds() when another connection committed since the last call.
    void checkForOtherWriters();

    // The newest recording time written (ms), 0 when none.
    int64_t recordedUntilMs();

private:
    int64_t programId(const ProgramKey& key);
    int64_t hostId(uint32_t address, const std::string& dnsName);
    bool writeRow(Tier tier, int64_t start, int64_t program, const std::vector<HostEntry>& entries,
                  uint64_t diskRead, uint64_t diskWritten, Outcome& outcome);
    bool purge(int64_t now);
    bool setMeta(const std::string& key, int64_t value);
    int64_t meta(const std::string& key, int64_t fallback);

    // A statement prepared once for the life of the connection.
    Statement& statement(Statement& slot, const std::string& sql);

    Database& m_db;
    Settings m_settings;
    std::unordered_map<ProgramKey, int64_t, ProgramKeyHash> m_programIds;
    // Per address, the DNS names it was recorded with and their host ids.
    std::unordered_map<uint32_t, std::vector<std::pair<std::string, int64_t>>> m_hostIds;
    std::unordered_map<uint32_t, std::string> m_locations;
    int64_t m_dataVersion = -1;
    Statement m_readRow[kTiers], m_writeRow[kTiers], m_purge[kTiers];
    Statement m_findProgram, m_insertProgram, m_dropProgram, m_findHost, m_insertHost, m_getMeta, m_setMeta;
};

} // namespace history
