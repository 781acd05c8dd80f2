#include "hostinfo/XNetIoRing.h"

#include <chrono>
#include <new>
#include <thread>

XNetIoRing::XNetIoRing()
{
    m_records = new (std::nothrow) ORVANEPRO_NetIo[kSlots]();
    m_slots = m_records ? kSlots : 0;
}

XNetIoRing::~XNetIoRing()
{
    delete[] m_records;
}

long XNetIoRing::pending() const
{
    // Read the reader's count first: it never passes the writer's, so the difference stays
    // within 0..slots even while both move.
    const uint64_t read = m_read.load(std::memory_order_acquire);
    const uint64_t written = m_written.load(std::memory_order_acquire);
    return long(written - read);
}

bool XNetIoRing::pushNetIo(uint32_t pid, uint32_t bytes, uint16_t direction, uint16_t protocol,
                           uint32_t remoteAddr, uint16_t remotePort, uint16_t localPort, uint32_t packets)
{
    const uint64_t written = m_written.load(std::memory_order_relaxed);
    if (written - m_readSeen >= uint64_t(m_slots)) {
        m_readSeen = m_read.load(std::memory_order_acquire);
        if (written - m_readSeen >= uint64_t(m_slots) && !waitForRoom(written)) {
            m_dropped.store(m_dropped.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
            return false;
        }
    }
    if (m_writePos >= m_slots)
        m_writePos = 0;
    ORVANEPRO_NetIo& r = m_records[m_writePos];
    r.processId = pid;
    r.protocol = protocol;
    r.remoteAddr = remoteAddr;
    r.remotePort = remotePort;
    r.localPort = localPort;
    r.direction = direction;
    r.packets = packets;
    r.bytesReceived = direction == kNetIoReceive ? bytes : 0;
    r.bytesSent = direction == kNetIoReceive ? 0 : bytes;
    m_written.store(written + 1, std::memory_order_release);
    ++m_writePos;
    // Only a reader that sleeps needs the signal; setting it costs a lock and a system call.
    // A sleeping reader does not touch its count, so reading it then costs nothing. It is woken
    // for a batch, or for a trickle at most every kWakeIntervalMs, so a quiet ring costs it a
    // wake-up a second and a busy one a wake-up per batch. A reader that went to sleep just
    // now may be missed; its idle wait bounds that.
    if (m_readerWaiting.load(std::memory_order_relaxed)) {
        m_readSeen = m_read.load(std::memory_order_acquire);
        const auto now = std::chrono::steady_clock::now();
        if (long(written + 1 - m_readSeen) >= kWakeBatch || now - m_lastWake >= std::chrono::milliseconds(kWakeIntervalMs)) {
            m_lastWake = now;
            wake();
        }
    }
    return true;
}

bool XNetIoRing::waitForRoom(uint64_t written)
{
    if (!m_giveUp || m_slots == 0)
        return false;
    m_fullWaits.store(m_fullWaits.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    while (!m_giveUp->load(std::memory_order_acquire)) {
        wake();  // a sleeping reader works the ring off at once
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        m_readSeen = m_read.load(std::memory_order_acquire);
        if (written - m_readSeen < uint64_t(m_slots))
            return true;
    }
    return false;
}

int XNetIoRing::popNetIo(ORVANEPRO_NetIo* out)
{
    const int n = tryPopNetIo(out);
    if (n == 0)
        waitForEvents();
    return n;
}

int XNetIoRing::tryPopNetIo(ORVANEPRO_NetIo* out)
{
    const uint64_t read = m_read.load(std::memory_order_relaxed);
    if (out && read == m_writtenSeen)
        m_writtenSeen = m_written.load(std::memory_order_acquire);
    if (!out || read == m_writtenSeen)
        return 0;
    if (m_readPos >= m_slots)
        m_readPos = 0;
    *out = m_records[m_readPos];
    m_read.store(read + 1, std::memory_order_release);
    ++m_readPos;
    return 1;
}

void XNetIoRing::wake()
{
    {
        std::lock_guard<std::mutex> guard(m_wakeMutex);
        m_wakeSignal = true;
    }
    m_wakeCond.notify_one();
}

void XNetIoRing::waitForEvents(int timeoutMs)
{
    if (timeoutMs <= 0) {
        const uint64_t read = m_read.load(std::memory_order_relaxed);
        timeoutMs = read != m_readAtWait ? kWakeIntervalMs : kIdleWaitMs;
        m_readAtWait = read;
    }
    if (m_slots == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return;
    }
    std::unique_lock<std::mutex> guard(m_wakeMutex);
    m_readerWaiting.store(true, std::memory_order_relaxed);
    m_wakeCond.wait_for(guard, std::chrono::milliseconds(timeoutMs), [this] { return m_wakeSignal; });
    m_readerWaiting.store(false, std::memory_order_relaxed);
    m_wakeSignal = false;  // auto-reset
}
