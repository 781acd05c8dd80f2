#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "capture/XPacketBuffer.h"

// Fixed ring of 2000 preallocated 1024-byte slots between one producer thread (a listener, or
// the kernel event source) and one consumer thread (the parser worker). Only the fill count is
// shared; each position is touched by one side only. A full queue drops the new datagram,
// counts it and makes the producer pause 10 ms so the consumer can catch up, unless told not
// to (a producer with other work to do).
class XPacketQueue {
public:
    static constexpr int kSlots = 2000;

    ~XPacketQueue();
    XPacketQueue(const XPacketQueue&) = delete;
    XPacketQueue& operator=(const XPacketQueue&) = delete;

    // Producer thread only. Stores the first 1024 bytes at most with the datagram's direction
    // (0 received, 1 sent); returns the stored length, or 0 when the datagram was dropped
    // (queue full, or len < 1).
    int push(const char* data, int len, int direction = 0, bool pauseWhenFull = true);
    // Consumer thread only. Copies the oldest datagram (at most size bytes; the rest of it is
    // discarded) and returns the copied length, or -1 when the queue is empty. direction,
    // when given, receives the datagram's direction.
    int pop(char* buf, int size, int* direction = nullptr);

    // Any thread.
    int getCounter() const { return int(m_count.load(std::memory_order_acquire)); }
    unsigned long getID() const { return m_id; }
    int capacity() const { return m_capacity; }
    // Any thread: datagrams dropped because the queue was full or had no slots.
    uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }
    uint64_t pushed() const { return m_pushed.load(std::memory_order_relaxed); }
    // Any thread: datagrams kept only in part, longer than a slot.
    uint64_t truncated() const { return m_truncated.load(std::memory_order_relaxed); }

private:
    friend class XPacketQueueMgr;
    explicit XPacketQueue(unsigned long id);
    void init();

    std::atomic<long> m_count{0};
    const unsigned long m_id;
    int m_capacity = 0;
    int m_readPos = 0;   // consumer only
    int m_writePos = 0;  // producer only
    std::unique_ptr<XPacketBuffer[]> m_slots;
    std::atomic<uint64_t> m_dropped{0};
    std::atomic<uint64_t> m_pushed{0};
    std::atomic<uint64_t> m_truncated{0};
};
