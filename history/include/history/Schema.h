#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace history {

class Database;

// The layout of a history database, versioned by PRAGMA user_version.
//
//   meta(key TEXT PRIMARY KEY, value)        recorded_until_ms, purged_before_<tier>,
//                                            complete_until_<tier> (coarser tiers are built
//                                            for buckets that ended)
//   programs(id, name, path)                 one per executable (base name + image path)
//   hosts(id, address, dns_name, location)   one per address and the name and location it
//                                            had when recorded; address as a host-order integer
//   usage_5min, usage_hour, usage_day, usage_month:
//     key INTEGER PRIMARY KEY                bucket start (Unix seconds, UTC) * 2^20 + program id
//     received, sent, packets_received, packets_sent, disk_read, disk_written
//                                            the program's totals in the bucket
//   usage_5min_hosts, usage_hour_hosts, ...: (key, hosts BLOB) the same bucket's hosts, see
//                                            HostEntries.h (host 0 = other hosts); none when
//                                            the program had only disk bytes
//
// Program id 0 stands for "other programs" (ids would pass 2^20 - 1) and has no row.
struct Schema {
    static constexpr int kVersion = 1;
    static constexpr int kProgramBits = 20;
    static constexpr int64_t kProgramMask = (int64_t(1) << kProgramBits) - 1;

    // One step of the way from an older layout: the SQL that turns version - 1 into version.
    struct Step {
        int version;
        std::string sql;
    };
    // The steps from an empty file to kVersion, in order.
    static const std::vector<Step>& steps();

    enum class Outcome { Current, Migrated, Newer, Failed };
    // Brings the database to the last step's version, each missing step once and all of them
    // in one transaction, so a failure leaves the file as it was. A file newer than the
    // steps know is left alone (Newer): it is read, never written. error (and SQLite's code
    // in errorCode) say why on Failed.
    static Outcome migrate(Database& db, const std::vector<Step>& steps, std::string* error = nullptr,
                           int* errorCode = nullptr);
    static Outcome migrate(Database& db, std::string* error = nullptr, int* errorCode = nullptr)
    {
        return migrate(db, steps(), error, errorCode);
    }

    static int64_t rowKey(int64_t bucketStart, int64_t programId)
    {
        return bucketStart * (int64_t(1) << kProgramBits) + programId;
    }
    static int64_t keyStart(int64_t key) { return key >> kProgramBits; }
    static int64_t keyProgram(int64_t key) { return key & kProgramMask; }
};

} // namespace history
