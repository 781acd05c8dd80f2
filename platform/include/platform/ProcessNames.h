#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace platform {

// Executable names of processes that had traffic, kept after the processes exit: the event
// source records an owner's name when it first attributes traffic to it, so a program that ran
// for 20 ms is still named when the counters get to its traffic. Thread-safe.
class ProcessNames {
public:
    using Clock = std::function<uint64_t()>;                // milliseconds
    using LiveName = std::function<std::string(uint32_t)>;  // "" when the process is gone

    static constexpr size_t kMaxNames = 65536;
    // A name remembered this recently belongs to the process that has the pid now; an older
    // one only stands in when the pid has no live process (a later process may reuse a pid).
    static constexpr uint64_t kFreshMs = 10000;

    // The process-wide registry, over the system clock and /proc.
    static ProcessNames& instance();

    ProcessNames(Clock clock, LiveName liveName);

    void remember(uint32_t pid, const std::string& name);
    // The name of the process with this pid: a fresh remembered name, else the live process's
    // name, else the last name remembered for it; empty when none is known.
    std::string nameOf(uint32_t pid) const;
    // A fresh remembered name only (no system lookup); empty when none.
    std::string freshNameOf(uint32_t pid) const;
    size_t size() const;

private:
    struct Entry {
        std::string name;
        uint64_t rememberedMs;
    };
    void evictOldest();

    Clock m_clock;
    LiveName m_liveName;
    mutable std::mutex m_mutex;
    std::unordered_map<uint32_t, Entry> m_names;
};

} // namespace platform
