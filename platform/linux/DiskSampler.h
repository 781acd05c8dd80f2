#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/IoEvents.h"
#include "platform/Processes.h"
#include "platform/linux/DiskTotals.h"

namespace platform {

// Where the storage I/O totals of processes come from as they end.
class ProcessExitFeed {
public:
    virtual ~ProcessExitFeed() = default;
    // Readable (poll) when the feed should be read before the next round is due.
    virtual int fd() const = 0;
    // Appends the exits recorded since the last call. Sampler thread only.
    virtual void take(std::vector<ProcessExit>& out) = 0;
};

// Samples /proc/[pid]/io on a thread of its own and hands the storage bytes each process read
// and wrote since the previous sample to the sink: every second, or, with a feed of the totals
// of processes as they end, every 30 seconds while no one needs per-second figures (a process
// that ends in between is counted whole from the feed). The first round only takes the
// baseline; a process first seen later counts from zero. Each process's file stays open
// between rounds (up to kMaxOpenFiles of them), as opening it costs more than reading it.
class DiskSampler {
public:
    static constexpr size_t kMaxOpenFiles = 512;
    static constexpr std::chrono::milliseconds kPerSecondInterval{1000};
    static constexpr std::chrono::milliseconds kTotalsInterval{30000};

    DiskSampler();
    ~DiskSampler();
    DiskSampler(const DiskSampler&) = delete;
    DiskSampler& operator=(const DiskSampler&) = delete;

    // Before start(): the feed of ended processes' totals (it must outlive stop()).
    void setExitFeed(ProcessExitFeed* feed) { m_feed = feed; }
    // Any thread: whether per-second figures are needed (the default). Without an exit feed
    // sampling stays once a second whatever is asked. Asking for them samples at once.
    void setPerSecond(bool perSecond);

    void start(IoEventSink& sink);
    // Samples a last time (so that what processes did since the last round is counted), then
    // ends the thread.
    void stop();

    uint64_t rounds() const { return m_rounds.load(std::memory_order_relaxed); }
    uint64_t delivered() const { return m_delivered.load(std::memory_order_relaxed); }

private:
    void run(IoEventSink& sink);
    void sample(IoEventSink& sink);
    void deliver(IoEventSink& sink, const DiskTotals::Delta& delta, uint64_t timestamp);
    bool read(uint32_t pid, ProcessIo& io);
    void close(uint32_t pid);
    uint64_t lastCreatedPid();
    std::chrono::milliseconds interval() const;
    void wait(std::chrono::milliseconds timeout);

    ProcessExitFeed* m_feed = nullptr;
    std::atomic<bool> m_perSecond{true};
    std::atomic<bool> m_stop{false};
    const int m_wakeFd;  // eventfd: stop, or per-second figures asked for
    std::thread m_thread;
    // Sampler thread only.
    DiskTotals m_totals;
    struct OpenFile {
        int fd = -1;
        uint64_t round = 0;  // the round it was last read in
    };
    std::unordered_map<uint32_t, OpenFile> m_files;  // pid -> its io file, kept open
    std::vector<uint32_t> m_pids;
    std::vector<ProcessExit> m_exits;
    bool m_unopened = false;  // a readable process had to go without an open file
    uint64_t m_lastPid = 0;   // the newest pid when /proc was last listed
    int m_loadavgFd = -1;
    std::atomic<uint64_t> m_rounds{0};
    std::atomic<uint64_t> m_delivered{0};
};

} // namespace platform
