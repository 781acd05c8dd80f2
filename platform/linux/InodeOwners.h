#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace platform {

// "socket:[12345]" (a /proc/pid/fd link) -> 12345; 0 for any other link text.
uint64_t socketInodeOfLink(const char* link, size_t len);

// Maps socket inodes to their owning pid through /proc/*/fd. Scanning every process's
// descriptors is the expensive step, so the map is only searched further when an unknown
// inode is asked for. A socket several processes hold belongs to the highest pid among them.
// Thread-safe.
class InodeOwners {
public:
    static InodeOwners& instance();

    // Looks the inode up without scanning; 0 when unknown.
    uint32_t cachedOwnerOf(uint64_t inode);
    // Rebuilds the map now (a complete scan).
    void rescan();
    // Finds the owners of these inodes: scans the newest processes first and stops once all
    // are found (a fresh socket usually belongs to a fresh process); a scan that reaches the
    // oldest process rebuilds the whole map. An inode that a whole scan could not place (its
    // owner is in another pid namespace, or it was closed) is not searched for again, so one
    // such socket does not cost a full scan on every call. Partial scans only add to the
    // map; once it holds twice what the last complete scan found, the next scan is complete
    // and forgets the sockets that are gone. Returns how many of them now have an owner.
    size_t findOwners(const std::vector<uint64_t>& inodes);
    // Complete scans so far.
    uint64_t rescanCount() const;
    // Inodes in the map.
    size_t knownCount() const;

private:
    static constexpr size_t kMinCompleteScanAt = 4096;
    // Takes a complete scan's map (m_mutex held).
    void adoptCompleteScan(std::unordered_map<uint64_t, uint32_t>& fresh);

    mutable std::mutex m_mutex;
    std::unordered_map<uint64_t, uint32_t> m_owners;
    std::unordered_set<uint64_t> m_unowned;  // not found by a whole scan
    uint64_t m_scans = 0;
    size_t m_completeScanAt = kMinCompleteScanAt;  // map size that makes the next scan complete
};

} // namespace platform
