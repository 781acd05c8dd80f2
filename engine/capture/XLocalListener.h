#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "capture/XPacketListener.h"

class XPacketQueue;
class XPacketQueueMgr;

// Listens on one local IPv4 address through a raw socket on its own thread and keeps the DNS
// answers (UDP from port 53) in its packet queue. Stop and exit requests take effect within
// a quarter of a second: the socket's receive timeout bounds every wait.
class XLocalListener : public XPacketListener {
public:
    ~XLocalListener() override;

    // Any thread: attaches the queue whose id is the listener's address. Returns 0.
    int init() override;
    // Any thread: starts the thread, or resumes a paused one.
    void listen() override;
    // Any thread: pauses reading.
    void stop() override;
    // Any thread: asks the thread to end; join() then waits for it.
    void close() override;
    unsigned long getIp() override { return m_address; }
    bool getStatus() override { return m_status.load(std::memory_order_relaxed); }
    XListenerStats stats() const override;

    // Whether an IPv4 datagram is a DNS answer worth queueing: UDP, the UDP header inside
    // len, source port 53.
    static bool checkDNSPacket(const char* data, int len);

protected:
    friend class XPacketMgr;
    // ip: the local address in network order; queues: where init() finds the queue.
    XLocalListener(unsigned long ip, XPacketQueueMgr* queues);

    void run() override;

private:
    // Waits until resumed or asked to end, at most ms milliseconds.
    void waitWhilePaused(int ms);
    // Waits until paused or asked to end, at most ms milliseconds.
    void waitWhileRunning(int ms);

    std::atomic<int> m_stopRequest{0};
    std::atomic<int> m_exitRequest{0};
    const unsigned long m_address;
    std::atomic<XPacketQueue*> m_queue{nullptr};
    std::atomic<bool> m_status{true};
    XPacketQueueMgr* m_queues;

    std::mutex m_waitMutex;
    std::condition_variable m_wake;

    std::atomic<bool> m_bindFailed{false};
    std::atomic<int> m_bindError{0};
    std::atomic<uint64_t> m_receiveErrors{0};
    std::atomic<uint64_t> m_received{0};
    std::atomic<uint64_t> m_kept{0};
    std::atomic<uint64_t> m_unqueued{0};
};
