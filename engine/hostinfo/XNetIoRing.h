#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "hostinfo/NetIoRecord.h"

// Fixed ring of network events between the event-source thread (the only writer) and the
// parser thread (the only reader). A full ring drops the new event and counts it, unless the
// writer was told to wait for room (waitWhenFull): then it waits for the reader, so the event
// source's own buffer holds what comes meanwhile, and drops only once told to give up.
//
// Each side owns one running count (events written, events read) on a cache line of its
// own and keeps a private copy of the other side's count, which it refreshes only when the
// ring looks full (writer) or empty (reader); the pending count is their difference. So under
// load the two threads rarely touch each other's memory.
class XNetIoRing {
public:
    static constexpr int kSlots = 3000;
    // A sleeping reader is woken once this many events wait, so that it works them off in
    // batches instead of sleeping and waking for every event; its idle wait bounds the delay.
    static constexpr long kWakeBatch = 256;

    XNetIoRing();
    ~XNetIoRing();
    XNetIoRing(const XNetIoRing&) = delete;
    XNetIoRing& operator=(const XNetIoRing&) = delete;

    // The reader sleeps at most this long when nothing is pending.
    static constexpr int kIdleWaitMs = 1000;
    // A sleeping reader is woken for fewer events at most this often.
    static constexpr int kWakeIntervalMs = 100;

    // Before the writer starts: a full ring makes pushNetIo wait for room until giveUp is
    // set (null: drop at once, the default).
    void waitWhenFull(const std::atomic<bool>* giveUp) { m_giveUp = giveUp; }

    // Writer thread only. Returns false when the event was dropped (ring full or not set up).
    bool pushNetIo(uint32_t pid, uint32_t bytes, uint16_t direction, uint16_t protocol,
                   uint32_t remoteAddr, uint16_t remotePort, uint16_t localPort, uint32_t packets = 1);
    // Reader thread only. 1 with the next event in out, 0 when none is pending; never waits.
    int tryPopNetIo(ORVANEPRO_NetIo* out);
    // Reader thread only. 1 with the next event in out; 0 after waiting (see waitForEvents)
    // when nothing is pending (or out is null).
    int popNetIo(ORVANEPRO_NetIo* out);
    // Reader thread only: sleeps until events are pending, wake() is called or timeoutMs pass.
    // Without a timeout: kWakeIntervalMs when events were taken since the last wait (events
    // written after the writer's last wake-up get no signal of their own), else kIdleWaitMs.
    void waitForEvents(int timeoutMs = 0);

    // Any thread.
    int slots() const { return m_slots; }
    long pending() const;
    uint64_t pushed() const { return m_written.load(std::memory_order_relaxed); }
    uint64_t dropped() const { return m_dropped.load(std::memory_order_relaxed); }
    // Times the writer found the ring full and waited for room.
    uint64_t fullWaits() const { return m_fullWaits.load(std::memory_order_relaxed); }

    // Releases a reader blocked in popNetIo (used at shutdown).
    void wake();

private:
    bool waitForRoom(uint64_t written);

    int m_slots = 0;
    ORVANEPRO_NetIo* m_records = nullptr;

    alignas(64) std::atomic<uint64_t> m_written{0};  // writer's count
    uint64_t m_readSeen = 0;                         // writer's copy of m_read
    std::atomic<uint64_t> m_dropped{0};              // written by the writer only
    std::atomic<uint64_t> m_fullWaits{0};            // written by the writer only
    const std::atomic<bool>* m_giveUp = nullptr;
    std::chrono::steady_clock::time_point m_lastWake{};  // the writer's last wake-up of the reader
    int m_writePos = 0;

    alignas(64) std::atomic<uint64_t> m_read{0};     // reader's count
    uint64_t m_readAtWait = 0;                       // reader's count when it last waited
    uint64_t m_writtenSeen = 0;                      // reader's copy of m_written
    int m_readPos = 0;

    alignas(64) std::mutex m_wakeMutex;
    std::condition_variable m_wakeCond;
    bool m_wakeSignal = false;                       // auto-reset event state
    std::atomic<bool> m_readerWaiting{false};
};
