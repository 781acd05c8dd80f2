#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/IoEvents.h"

namespace platform {

// Samples /proc/[pid]/io once a second on a thread of its own and hands the storage bytes each
// process read and wrote since the previous sample to the sink. The first round only takes
// the baseline; a process first seen later counts from zero.
class DiskSampler {
public:
    DiskSampler() = default;
    ~DiskSampler();

    void start(IoEventSink& sink);
    void stop();

    uint64_t rounds() const { return m_rounds.load(std::memory_order_relaxed); }
    uint64_t delivered() const { return m_delivered.load(std::memory_order_relaxed); }

private:
    struct Last {
        uint64_t read;
        uint64_t write;
        uint64_t round;
    };
    void run(IoEventSink& sink);
    void sample(IoEventSink& sink);

    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_stop = false;
    std::thread m_thread;
    std::unordered_map<uint32_t, Last> m_last;
    std::atomic<uint64_t> m_rounds{0};
    std::atomic<uint64_t> m_delivered{0};
};

} // namespace platform
