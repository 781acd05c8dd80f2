#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform {

// Maps socket inodes to their owning pid through /proc/*/fd. The map is rebuilt only when an
// unknown inode is asked for, and then at most once per minimum interval, because a full scan
// of every process's descriptors is the expensive step. Thread-safe.
class InodeOwners {
public:
    static InodeOwners& instance();

    // The owner pid of inode, rescanning when it is unknown and the rate limit allows; 0 if none.
    uint32_t ownerOf(uint64_t inode);
    // Looks the inode up without scanning.
    uint32_t cachedOwnerOf(uint64_t inode);
    // Rebuilds the map now.
    void rescan();
    // Finds the owners of these inodes: scans the newest processes first and stops once all
    // are found (a fresh socket usually belongs to a fresh process); a scan that reaches the
    // oldest process rebuilds the whole map. An inode that a whole scan could not place (its
    // owner is in another pid namespace, or it was closed) is not searched for again, so one
    // such socket does not cost a full scan on every call. Returns how many of them now have
    // an owner.
    size_t findOwners(const std::vector<uint64_t>& inodes);
    void setMinRescanInterval(std::chrono::milliseconds interval);
    uint64_t rescanCount() const;

private:
    using Clock = std::chrono::steady_clock;
    mutable std::mutex m_mutex;
    std::unordered_map<uint64_t, uint32_t> m_owners;
    std::unordered_set<uint64_t> m_unowned;  // not found by a whole scan
    Clock::time_point m_lastScan{};
    std::chrono::milliseconds m_minInterval{20};
    uint64_t m_scans = 0;
};

} // namespace platform
