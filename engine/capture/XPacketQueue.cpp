#include "capture/XPacketQueue.h"

#include <chrono>
#include <new>
#include <thread>

XPacketQueue::XPacketQueue(unsigned long id) : m_id(id)
{
    init();
}

XPacketQueue::~XPacketQueue() = default;

void XPacketQueue::init()
{
    m_count.store(0, std::memory_order_relaxed);
    m_readPos = m_writePos = 0;
    m_capacity = 0;
    if (!m_slots) {
        try {
            m_slots.reset(new XPacketBuffer[kSlots]);
        } catch (const std::bad_alloc&) {
            return;
        }
    }
    m_capacity = kSlots;
}

int XPacketQueue::push(const char* data, int len, int direction, bool pauseWhenFull)
{
    if (m_count.load(std::memory_order_acquire) >= m_capacity) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        if (pauseWhenFull)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return 0;
    }
    if (!data || len < 1)
        return 0;
    if (m_writePos >= m_capacity)
        m_writePos = 0;
    const int n = m_slots[m_writePos].save(data, len, direction);
    if (n < len)
        m_truncated.fetch_add(1, std::memory_order_relaxed);
    m_count.fetch_add(1, std::memory_order_acq_rel);
    ++m_writePos;
    m_pushed.fetch_add(1, std::memory_order_relaxed);
    return n;
}

int XPacketQueue::pop(char* buf, int size, int* direction)
{
    if (m_count.load(std::memory_order_acquire) <= 0)
        return -1;
    if (m_readPos >= m_capacity)
        m_readPos = 0;
    const int n = m_slots[m_readPos].get(buf, size);
    if (direction)
        *direction = m_slots[m_readPos].direction();
    m_count.fetch_sub(1, std::memory_order_acq_rel);
    ++m_readPos;
    return n;
}
