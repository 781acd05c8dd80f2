#pragma once

#include <atomic>
#include <cstdint>

#include "capture/XPacketQueue.h"
#include "corekit/XLock.h"

// Owner of the packet queues, at most 10, one per listener (the queue's id is the listener's;
// the engine has one listener, for every local address). Queues live as long as the manager.
class XPacketQueueMgr {
public:
    static constexpr int kMaxQueues = 10;

    // The process-wide manager, created on the first call and never destroyed; null when it
    // cannot be allocated. Any thread.
    static XPacketQueueMgr* Instance();

    // An independent manager (tests, benchmarks).
    XPacketQueueMgr();
    virtual ~XPacketQueueMgr();
    XPacketQueueMgr(const XPacketQueueMgr&) = delete;
    XPacketQueueMgr& operator=(const XPacketQueueMgr&) = delete;

    // Any thread: the queue with this id, created when absent; null when 10 queues exist
    // already (counted) or allocation failed. The pointer stays valid for the manager's life.
    XPacketQueue* createQueue(unsigned long id);
    // Any thread: the queue with this id, else null.
    XPacketQueue* getQueue(unsigned long id);
    // Any thread: queue i for 0 <= i < size(), else null.
    XPacketQueue* getQueueByIndex(int i);
    int size() const { return m_count.load(std::memory_order_acquire); }
    // Shutdown: nothing to do; the queues stay until the manager goes.
    void close() {}

    // Any thread: queues refused because all 10 were in use.
    uint64_t refused() const { return m_refused.load(std::memory_order_relaxed); }
    // Any thread: datagrams dropped by all queues together.
    uint64_t dropped();
    // Any thread: datagrams all queues kept only in part (longer than a slot).
    uint64_t truncated();

private:
    static XPacketQueueMgr* m_instance;

    XLock m_lock;  // serialises creation
    XPacketQueue* m_queues[kMaxQueues] = {};
    std::atomic<int> m_count{0};
    std::atomic<uint64_t> m_refused{0};
};
