#include "capture/XLocalListener.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "capture/XPacketQueue.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XSnifferSocket.h"
#include "corekit/XLog.h"
#include "hostinfo/NetIoRecord.h"

XLocalListener::XLocalListener(unsigned long ip, XPacketQueueMgr* queues)
    : m_address(ip), m_queues(queues)
{
}

XLocalListener::~XLocalListener()
{
    close();
    join();
}

int XLocalListener::init()
{
    try {
        if (m_queues && !m_queue.load(std::memory_order_acquire))
            m_queue.store(m_queues->createQueue(m_address), std::memory_order_release);
    } catch (...) {
        XLog::debug(5, "Error when XLocalListener::init()");
    }
    return 0;
}

void XLocalListener::listen()
{
    int paused = 1;
    if (m_stopRequest.compare_exchange_strong(paused, 0)) {
        std::lock_guard<std::mutex> guard(m_waitMutex);
        m_wake.notify_all();
        return;
    }
    start();
}

void XLocalListener::stop()
{
    m_stopRequest.store(1);
    std::lock_guard<std::mutex> guard(m_waitMutex);
    wakeLocked();
}

void XLocalListener::close()
{
    m_stopRequest.store(1);
    m_exitRequest.store(1);
    std::lock_guard<std::mutex> guard(m_waitMutex);
    wakeLocked();
}

void XLocalListener::wakeLocked()
{
    if (m_socket)
        m_socket->wake();
    m_wake.notify_all();
}

XListenerStats XLocalListener::stats() const
{
    XListenerStats s;
    s.bindFailures = m_bindFailed.load(std::memory_order_relaxed) ? 1 : 0;
    s.bindError = m_bindError.load(std::memory_order_relaxed);
    s.receiveErrors = m_receiveErrors.load(std::memory_order_relaxed);
    s.received = m_received.load(std::memory_order_relaxed);
    s.kept = m_kept.load(std::memory_order_relaxed);
    s.unqueued = m_unqueued.load(std::memory_order_relaxed);
    std::lock_guard<std::mutex> guard(m_waitMutex);
    if (m_socket)
        m_socketDrops.store(m_socket->drops(), std::memory_order_relaxed);
    s.socketDrops = m_socketDrops.load(std::memory_order_relaxed);
    return s;
}

bool XLocalListener::checkDNSPacket(const char* data, int len, bool outgoing)
{
    if (!data || len <= 20)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    if (p[9] != 17)
        return false;
    const int h = (p[0] & 0x0F) * 4;
    if (len < h + 8)
        return false;
    const int port = outgoing ? h + 2 : h;
    return p[port] == 0x00 && p[port + 1] == 0x35;
}

void XLocalListener::waitWhilePaused(int ms)
{
    std::unique_lock<std::mutex> lock(m_waitMutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] {
        return m_exitRequest.load() == 1 || m_stopRequest.load() == 0;
    });
}

void XLocalListener::waitWhileRunning(int ms)
{
    std::unique_lock<std::mutex> lock(m_waitMutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] {
        return m_exitRequest.load() == 1 || m_stopRequest.load() == 1;
    });
}

void XLocalListener::run()
{
    constexpr int kBufferSize = 65536;
    XSnifferSocket socket;
    const int rc = socket.open(m_answersOnly.load(std::memory_order_relaxed));
    if (socket.getMode() == 1)
        m_status.store(false, std::memory_order_relaxed);
    if (rc != 0) {
        m_bindError.store(rc, std::memory_order_relaxed);
        m_bindFailed.store(true, std::memory_order_relaxed);
        XLog::debug(1, "DNS listener: no raw socket, no names are learnt: ", std::string(std::strerror(rc)));
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_waitMutex);
        m_socket = &socket;
    }
    try {
        const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
        while (m_exitRequest.load() != 1) {
            while (m_stopRequest.load() != 1) {
                bool outgoing = false;
                const int n = socket.receive(buffer.get(), kBufferSize - 1, &outgoing);
                if (n < 0) {
                    // A failing socket must not spin: back off before the next try.
                    m_receiveErrors.fetch_add(1, std::memory_order_relaxed);
                    waitWhileRunning(10);
                    continue;
                }
                if (n == 0)
                    continue;
                m_received.fetch_add(1, std::memory_order_relaxed);
                if (!checkDNSPacket(buffer.get(), n, outgoing))
                    continue;
                XPacketQueue* queue = m_queue.load(std::memory_order_acquire);
                if (!queue) {
                    m_unqueued.fetch_add(1, std::memory_order_relaxed);
                    continue;
                }
                if (queue->push(buffer.get(), n, outgoing ? kNetIoSend : kNetIoReceive) > 0)
                    m_kept.fetch_add(1, std::memory_order_relaxed);
            }
            if (m_exitRequest.load() == 1)
                break;
            waitWhilePaused(1000);
        }
    } catch (...) {
    }
    // The drops counted since the last look, before the socket goes.
    std::lock_guard<std::mutex> guard(m_waitMutex);
    m_socketDrops.store(socket.drops(), std::memory_order_relaxed);
    m_socket = nullptr;
}
