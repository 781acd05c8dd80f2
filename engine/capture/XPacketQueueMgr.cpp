#include "capture/XPacketQueueMgr.h"

#include <mutex>
#include <new>

XPacketQueueMgr* XPacketQueueMgr::m_instance = nullptr;

XPacketQueueMgr* XPacketQueueMgr::Instance()
{
    static std::once_flag once;
    std::call_once(once, [] { m_instance = new (std::nothrow) XPacketQueueMgr(); });
    return m_instance;
}

XPacketQueueMgr::XPacketQueueMgr() = default;

XPacketQueueMgr::~XPacketQueueMgr()
{
    for (XPacketQueue* q : m_queues)
        delete q;
}

XPacketQueue* XPacketQueueMgr::createQueue(unsigned long id)
{
    XLockGuard guard(m_lock);
    if (XPacketQueue* existing = getQueue(id))
        return existing;
    const int n = m_count.load(std::memory_order_relaxed);
    if (n >= kMaxQueues) {
        m_refused.fetch_add(1, std::memory_order_relaxed);
        return nullptr;
    }
    XPacketQueue* q = new (std::nothrow) XPacketQueue(id);
    if (!q)
        return nullptr;
    m_queues[n] = q;
    // Published after the slot is written, so readers that see the count see the queue.
    m_count.store(n + 1, std::memory_order_release);
    return q;
}

XPacketQueue* XPacketQueueMgr::getQueue(unsigned long id)
{
    const int n = size();
    for (int i = 0; i < n; ++i)
        if (m_queues[i]->getID() == id)
            return m_queues[i];
    return nullptr;
}

XPacketQueue* XPacketQueueMgr::getQueueByIndex(int i)
{
    return (i >= 0 && i < size()) ? m_queues[i] : nullptr;
}

uint64_t XPacketQueueMgr::dropped()
{
    uint64_t total = 0;
    const int n = size();
    for (int i = 0; i < n; ++i)
        total += m_queues[i]->dropped();
    return total;
}

uint64_t XPacketQueueMgr::truncated()
{
    uint64_t total = 0;
    const int n = size();
    for (int i = 0; i < n; ++i)
        total += m_queues[i]->truncated();
    return total;
}
