#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/IoEvents.h"
#include "platform/windows/ProcessHandles.h"

namespace platform {

// Samples every process's I/O counters (GetProcessIoCounters) once a second on a thread of its
// own and hands the bytes each read and wrote since the previous sample to the sink as disk
// events. The first round only takes the baseline; a process first seen later counts from
// zero. A process's handle stays open between rounds (up to kMaxOpenHandles of them), which
// also keeps its pid from going to a new process meanwhile.
class IoCountersSampler {
public:
    static constexpr size_t kMaxOpenHandles = 1024;

    IoCountersSampler() = default;
    ~IoCountersSampler();
    IoCountersSampler(const IoCountersSampler&) = delete;
    IoCountersSampler& operator=(const IoCountersSampler&) = delete;

    void start(IoEventSink& sink);
    void stop();

    uint64_t rounds() const { return m_rounds.load(std::memory_order_relaxed); }
    uint64_t delivered() const { return m_delivered.load(std::memory_order_relaxed); }

private:
    struct Last {
        uint64_t read = 0;
        uint64_t write = 0;
        uint64_t round = 0;
        ProcessHandle handle;
    };
    void run(IoEventSink& sink);
    void sample(IoEventSink& sink);
    bool read(uint32_t pid, Last& last, ProcessIo& io);

    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_stop = false;
    std::thread m_thread;
    // Sampler thread only.
    std::unordered_map<uint32_t, Last> m_last;
    size_t m_openHandles = 0;
    std::atomic<uint64_t> m_rounds{0};
    std::atomic<uint64_t> m_delivered{0};
};

} // namespace platform
