#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform {

// Maps socket inodes to their owning pid through /proc/*/fd. Scanning every process's
// descriptors is the expensive step, so the map is only searched further when an unknown
// inode is asked for. Thread-safe.
class InodeOwners {
public:
    static InodeOwners& instance();

    // Looks the inode up without scanning; 0 when unknown.
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
    // Complete scans so far.
    uint64_t rescanCount() const;

private:
    mutable std::mutex m_mutex;
    std::unordered_map<uint64_t, uint32_t> m_owners;
    std::unordered_set<uint64_t> m_unowned;  // not found by a whole scan
    uint64_t m_scans = 0;
};

} // namespace platform
