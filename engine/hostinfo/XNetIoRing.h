#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "hostinfo/NetIoRecord.h"

// Fixed ring of network events between the event-source thread (the only writer) and the
// parser thread (the only reader). A full ring drops the new event and counts it.
//
// Each side owns one running count (events written, events read) on a cache line of its
// own and keeps a private copy of the other side's count, which it refreshes only when the
// ring looks full (writer) or empty (reader); the pending count is their difference. So under
// load the two threads rarely touch each other's memory.
class XNetIoRing {
public:
    static constexpr int kSlots = 3000;
    // Positions of each lap below this do not wake the reader; its 10 ms wait bounds the delay.
    static constexpr int kWakeFromPosition = 100;
    // A sleeping reader is woken once this many events wait, so that it works them off in
    // batches instead of sleeping and waking for every event; the 10 ms wait bounds the delay.
    static constexpr long kWakeBatch = 256;

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

    // Any thread.
    int slots() const { return m_slots; }
    long pending() const;
    uint64_t pushed() const { return m_written.load(std::memory_order_relaxed); }
    uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }

    // Releases a reader blocked in popNetIo (used at shutdown).
    void wake();

private:
    void waitForEvents();

    int m_slots = 0;
    ORVANEPRO_NetIo* m_records = nullptr;

    alignas(64) std::atomic<uint64_t> m_written{0};  // writer's count
    uint64_t m_readSeen = 0;                         // writer's copy of m_read
    std::atomic<uint64_t> m_dropped{0};              // written by the writer only
    int m_writePos = 0;

    alignas(64) std::atomic<uint64_t> m_read{0};     // reader's count
    uint64_t m_writtenSeen = 0;                      // reader's copy of m_written
    int m_readPos = 0;

    alignas(64) std::mutex m_wakeMutex;
    std::condition_variable m_wakeCond;
    bool m_wakeSignal = false;                       // auto-reset event state
    std::atomic<bool> m_readerWaiting{false};
};
