#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/IoEvents.h"
#include "platform/Processes.h"

namespace platform {

// Samples /proc/[pid]/io once a second on a thread of its own and hands the storage bytes each
// process read and wrote since the previous sample to the sink. The first round only takes
// the baseline; a process first seen later counts from zero. Each process's file stays open
// between rounds (up to kMaxOpenFiles of them), as opening it costs more than reading it.
class DiskSampler {
public:
    static constexpr size_t kMaxOpenFiles = 512;

    DiskSampler() = default;
    ~DiskSampler();

    void start(IoEventSink& sink);
    void stop();

    uint64_t rounds() const { return m_rounds.load(std::memory_order_relaxed); }
    uint64_t delivered() const { return m_delivered.load(std::memory_order_relaxed); }

private:
    struct Last {
        uint64_t read = 0;
        uint64_t write = 0;
        uint64_t round = 0;
        int fd = -1;  // the process's io file, kept open
    };
    void run(IoEventSink& sink);
    void sample(IoEventSink& sink);
    bool read(uint32_t pid, Last& last, ProcessIo& io);
    void forget(Last& last);
    uint64_t lastCreatedPid();

    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_stop = false;
    std::thread m_thread;
    // Sampler thread only.
    std::unordered_map<uint32_t, Last> m_last;
    std::vector<uint32_t> m_pids;
    size_t m_openFiles = 0;
    bool m_unopened = false;  // a readable process had to go without an open file
    uint64_t m_lastPid = 0;   // the newest pid when /proc was last listed
    int m_loadavgFd = -1;
    std::atomic<uint64_t> m_rounds{0};
    std::atomic<uint64_t> m_delivered{0};
};

} // namespace platform
