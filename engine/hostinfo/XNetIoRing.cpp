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

bool XNetIoRing::pushNetIo(uint32_t pid, uint32_t bytes, uint16_t direction, uint16_t protocol,
                           uint32_t remoteAddr, uint16_t remotePort, uint16_t localPort)
{
    if (m_pending.load(std::memory_order_acquire) >= m_slots) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return false;
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
    r.bytesReceived = direction == kNetIoReceive ? bytes : 0;
    r.bytesSent = direction == kNetIoReceive ? 0 : bytes;
    m_pending.fetch_add(1, std::memory_order_release);
    m_pushed.fetch_add(1, std::memory_order_relaxed);
    ++m_writePos;
    if (m_writePos > kWakeFromPosition)
        wake();
    return true;
}

int XNetIoRing::popNetIo(ORVANEPRO_NetIo* out)
{
    if (!out || m_pending.load(std::memory_order_acquire) <= 0) {
        waitForEvents();
        return 0;
    }
    if (m_readPos >= m_slots)
        m_readPos = 0;
    *out = m_records[m_readPos];
    m_pending.fetch_sub(1, std::memory_order_release);
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

void XNetIoRing::waitForEvents()
{
    if (m_slots == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return;
    }
    std::unique_lock<std::mutex> guard(m_wakeMutex);
    m_wakeCond.wait_for(guard, std::chrono::milliseconds(10), [this] { return m_wakeSignal; });
    m_wakeSignal = false;  // auto-reset
}
