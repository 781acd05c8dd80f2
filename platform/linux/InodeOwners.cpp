#include "platform/linux/InodeOwners.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/Processes.h"

namespace platform {

uint64_t socketInodeOfLink(const char* link, size_t len)
{
    static constexpr char kPrefix[] = "socket:[";
    constexpr size_t kPrefixLen = sizeof kPrefix - 1;
    if (len <= kPrefixLen + 1 || std::memcmp(link, kPrefix, kPrefixLen) != 0 || link[len - 1] != ']')
        return 0;
    uint64_t inode = 0;
    const auto [ptr, ec] = std::from_chars(link + kPrefixLen, link + len - 1, inode);
    return ec == std::errc() && ptr == link + len - 1 ? inode : 0;
}

namespace {

// Adds the socket inodes of one process; a process that vanished mid-scan is skipped.
void scanProcess(uint32_t pid, std::unordered_map<uint64_t, uint32_t>& owners)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%u/fd", pid);
    const int dirFd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    char link[64];
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const ssize_t n = ::readlinkat(dirFd, entry->d_name, link, sizeof link);
        if (n <= 0 || size_t(n) >= sizeof link)
            continue;
        const uint64_t inode = socketInodeOfLink(link, size_t(n));
        if (inode == 0)
            continue;
        // A socket shared by several processes (a parent and its children) belongs to the
        // highest pid holding it, usually the newest: a scan from the newest process down
        // finds that one first, so partial and complete scans agree.
        const auto [it, added] = owners.emplace(inode, pid);
        if (!added && pid > it->second)
            it->second = pid;
    }
    ::closedir(dir);
}

} // namespace

InodeOwners& InodeOwners::instance()
{
    static InodeOwners owners;
    return owners;
}

uint32_t InodeOwners::cachedOwnerOf(uint64_t inode)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    const auto it = m_owners.find(inode);
    return it == m_owners.end() ? 0 : it->second;
}

void InodeOwners::rescan()
{
    std::unordered_map<uint64_t, uint32_t> fresh;
    fresh.reserve(4096);
    for (const uint32_t pid : listProcessIds())
        scanProcess(pid, fresh);
    std::lock_guard<std::mutex> guard(m_mutex);
    adoptCompleteScan(fresh);
}

void InodeOwners::adoptCompleteScan(std::unordered_map<uint64_t, uint32_t>& fresh)
{
    m_owners.swap(fresh);  // forgets sockets that are gone
    ++m_scans;
    m_completeScanAt = std::max(kMinCompleteScanAt, 2 * m_owners.size());
    for (auto it = m_unowned.begin(); it != m_unowned.end();)
        it = m_owners.count(*it) ? m_unowned.erase(it) : std::next(it);
}

size_t InodeOwners::findOwners(const std::vector<uint64_t>& inodes)
{
    constexpr size_t kMaxUnowned = 65536;
    std::vector<uint64_t> missing;
    bool complete = false;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        for (const uint64_t inode : inodes)
            if (inode != 0 && !m_owners.count(inode) && !m_unowned.count(inode))
                missing.push_back(inode);
        // Partial scans only add: once the map has grown well past what the last complete
        // scan found, the next scan is a complete one, which drops the sockets that are gone.
        complete = m_owners.size() >= m_completeScanAt;
    }
    if (!missing.empty()) {
        const std::vector<uint32_t> pids = listProcessIds();
        std::unordered_map<uint64_t, uint32_t> found;
        size_t left = missing.size();
        size_t scanned = 0;
        for (auto it = pids.rbegin(); it != pids.rend() && (left > 0 || complete); ++it, ++scanned) {
            const size_t before = found.size();
            scanProcess(*it, found);
            if (found.size() == before || complete)
                continue;
            left = 0;
            for (const uint64_t inode : missing)
                left += found.count(inode) == 0;
        }
        std::lock_guard<std::mutex> guard(m_mutex);
        if (scanned == pids.size()) {
            adoptCompleteScan(found);
            if (m_unowned.size() > kMaxUnowned)
                m_unowned.clear();
            for (const uint64_t inode : missing)
                if (!m_owners.count(inode))
                    m_unowned.insert(inode);
        } else {
            for (const auto& [inode, pid] : found)
                m_owners[inode] = pid;
        }
    }
    size_t owned = 0;
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const uint64_t inode : inodes)
        owned += inode != 0 && m_owners.count(inode);
    return owned;
}

size_t InodeOwners::knownCount() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_owners.size();
}

uint64_t InodeOwners::rescanCount() const
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_scans;
}

} // namespace platform
