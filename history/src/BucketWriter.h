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

// Writes batches of 5-minute buckets into an open, current database, each batch in one
// transaction: the 5-minute rows; then every hour, day and month that has ended, built once
// from the tier below (meta complete_until_<tier>: where each built tier ends); then it
// removes what the retention no longer keeps, never what a coarser tier has not been built
// from. The recorder's thread only.
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
    // Adds entries to the row (or, with replace, writes them as the row).
    bool writeRow(Tier tier, int64_t start, int64_t program, const std::vector<HostEntry>& entries,
                  uint64_t diskRead, uint64_t diskWritten, bool replace, Outcome& outcome);
    // Builds tier's buckets that start from where it is complete up to to.
    bool rollUp(Tier tier, int64_t to, Outcome& outcome);
    int64_t completeUntil(Tier tier);
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
    Statement m_readRow[kTiers], m_writeRow[kTiers], m_writeHosts[kTiers], m_dropHosts[kTiers], m_rollUp[kTiers];
    Statement m_purge[kTiers][2];
    Statement m_findProgram, m_insertProgram, m_dropProgram, m_findHost, m_insertHost, m_getMeta, m_setMeta;
};

} // namespace history
