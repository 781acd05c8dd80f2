#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>

#include "capengine/XLedger.h"

namespace history {

// A program as history names it: executable base name and image path.
struct ProgramKey {
    std::string name;
    std::string path;
    bool operator==(const ProgramKey& o) const { return name == o.name && path == o.path; }
};
struct ProgramKeyHash {
    size_t operator()(const ProgramKey& k) const;
};

// One (remote address, service code) of a program in a bucket, before it has ids.
struct PendingHost {
    std::string dnsName;  // the last name learnt in the bucket
    uint64_t received = 0, sent = 0, packetsReceived = 0, packetsSent = 0;
    uint64_t bytes() const { return received + sent; }
};

struct PendingProgram {
    uint64_t diskRead = 0, diskWritten = 0;
    // Key: address << 32 | service code. Address 0 is "other hosts".
    std::unordered_map<uint64_t, PendingHost> hosts;
};

struct PendingBucket {
    bool coarsened = false;  // its hosts were folded to save memory
    std::unordered_map<ProgramKey, PendingProgram, ProgramKeyHash> programs;
};

// What was fed and not yet written: 5-minute buckets by start (Unix seconds, UTC). Not
// thread-safe: the recorder guards it.
class PendingBuckets {
public:
    // Adds a hand-out to the bucket at bucketStart. placedMs is its recording time. More than
    // twice hostsPerProgram addresses of one program in the bucket are folded down to
    // hostsPerProgram (bytes kept); returns the addresses folded.
    int add(int64_t bucketStart, int64_t placedMs, const XLedger& ledger, int hostsPerProgram);

    // Keeps at most maxEntries host rows: folds the hosts of the oldest buckets first (bytes
    // kept), then drops the oldest buckets. Counts what it did.
    struct Squeeze {
        uint64_t coarsened = 0, dropped = 0, bytesDropped = 0;
    };
    Squeeze bound(size_t maxEntries);

    // Moves everything out (the new batch to write) / puts a batch that could not be written
    // back in front of what arrived since.
    PendingBuckets take();
    void putBack(PendingBuckets&& batch);

    void forgetProgram(const std::string& name, const std::string& path);  // empty path: every path
    void forgetHost(uint32_t address);
    void clear();

    bool empty() const { return m_buckets.empty(); }
    size_t entries() const { return m_entries; }
    size_t bucketCount() const { return m_buckets.size(); }
    int64_t latestMs() const { return m_latestMs; }
    int64_t earliestMs() const { return m_earliestMs; }
    uint64_t networkBytes() const;
    const std::map<int64_t, PendingBucket>& buckets() const { return m_buckets; }

private:
    void recount();

    std::map<int64_t, PendingBucket> m_buckets;
    size_t m_entries = 0;
    int64_t m_latestMs = 0;
    int64_t m_earliestMs = 0;
};

// Folds a program's hosts down to keep addresses (by bytes, ties to the lower key) into
// address 0. Returns the addresses folded.
int foldPendingHosts(PendingProgram& program, size_t keep);

} // namespace history
