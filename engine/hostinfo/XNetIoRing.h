#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "hostinfo/NetIoRecord.h"

// Fixed ring of network events between the event-source thread (the only writer) and the
// parser thread (the only reader). Only the pending count is shared; each position is touched
// by one side only. A full ring drops the new event and counts it.
class XNetIoRing {
public:
    static constexpr int kSlots = 3000;
    // Positions of each lap below this do not wake the reader; its 10 ms wait bounds the delay.
    static constexpr int kWakeFromPosition = 100;

    XNetIoRing();
    ~XNetIoRing();
    XNetIoRing(const XNetIoRing&) = delete;
    XNetIoRing& operator=(const XNetIoRing&) = delete;

    // Writer thread only. Returns false when the event was dropped (ring full or not set up).
    bool pushNetIo(uint32_t pid, uint32_t bytes, uint16_t direction, uint16_t protocol,
                   uint32_t remoteAddr, uint16_t remotePort, uint16_t localPort);
    // Reader thread only. 1 with the next event in out; 0 after waiting at most 10 ms when
    // nothing is pending (or out is null).
    int popNetIo(ORVANEPRO_NetIo* out);

    int slots() const { return m_slots; }
    long pending() const { return m_pending.load(std::memory_order_acquire); }
    uint64_t pushed() const { return m_pushed.load(std::memory_order_relaxed); }
    uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

    // Releases a reader blocked in popNetIo (used at shutdown).
    void wake();

private:
    void waitForEvents();

    int m_slots = 0;
    std::atomic<long> m_pending{0};
    int m_readPos = 0;
    int m_writePos = 0;
    ORVANEPRO_NetIo* m_records = nullptr;
    std::atomic<uint64_t> m_pushed{0};
    std::atomic<uint64_t> m_dropped{0};

    std::mutex m_wakeMutex;
    std::condition_variable m_wakeCond;
    bool m_wakeSignal = false;  // auto-reset event state
};
