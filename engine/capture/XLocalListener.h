#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "capture/XPacketListener.h"

class XPacketQueue;
class XPacketQueueMgr;
class XSnifferSocket;

// Listens to the DNS traffic of every local IPv4 address (those added later too) through one
// raw socket on its own thread, and keeps the queries this host sends (UDP to port 53) and the
// answers it receives (UDP from port 53) in its packet queue, each with its direction; only
// the answers where the queries come another way (see seeAnswersOnly). Stop
// and exit requests wake the socket's wait, so they take effect at once (within a quarter of
// a second where the socket cannot be woken); without traffic the thread sleeps.
class XLocalListener : public XPacketListener {
public:
    ~XLocalListener() override;

    // Any thread: attaches the queue whose id is the listener's address. Returns 0.
    int init() override;
    // Before listen(): the queries this host sends are known otherwise (the kernel event
    // source copies them where they are sent), so the socket takes only what arrives and
    // costs nothing to what this host sends.
    void seeAnswersOnly(bool answersOnly) { m_answersOnly.store(answersOnly, std::memory_order_relaxed); }
    bool seesAnswersOnly() const { return m_answersOnly.load(std::memory_order_relaxed); }
    // Any thread: starts the thread, or resumes a paused one.
    void listen() override;
    // Any thread: pauses reading.
    void stop() override;
    // Any thread: asks the thread to end; join() then waits for it.
    void close() override;
    unsigned long getIp() override { return m_address; }
    bool getStatus() override { return m_status.load(std::memory_order_relaxed); }
    XListenerStats stats() const override;

    // Whether an IPv4 datagram is worth queueing: UDP, the UDP header inside len, and from
    // port 53 when received (an answer), to port 53 when sent (a query).
    static bool checkDNSPacket(const char* data, int len, bool outgoing = false);

    // The listener's address: it listens on every local address.
    static constexpr unsigned long kEveryAddress = 0;

protected:
    friend class XPacketMgr;
    // ip: the address the listener and its queue are known by (kEveryAddress); queues: where
    // init() finds the queue.
    XLocalListener(unsigned long ip, XPacketQueueMgr* queues);

    void run() override;

private:
    // Waits until resumed or asked to end, at most ms milliseconds.
    void waitWhilePaused(int ms);
    // Waits until paused or asked to end, at most ms milliseconds.
    void waitWhileRunning(int ms);
    // Wakes the socket's wait and the thread's; m_waitMutex held.
    void wakeLocked();

    std::atomic<int> m_stopRequest{0};
    std::atomic<int> m_exitRequest{0};
    const unsigned long m_address;
    std::atomic<XPacketQueue*> m_queue{nullptr};
    std::atomic<bool> m_status{true};
    std::atomic<bool> m_answersOnly{false};
    XPacketQueueMgr* m_queues;

    mutable std::mutex m_waitMutex;
    std::condition_variable m_wake;
    // The open socket while run() has one; guarded by m_waitMutex, so that stop requests may
    // wake it and stats() may read its drop count from other threads.
    XSnifferSocket* m_socket = nullptr;

    std::atomic<bool> m_bindFailed{false};
    std::atomic<int> m_bindError{0};
    std::atomic<uint64_t> m_receiveErrors{0};
    std::atomic<uint64_t> m_received{0};
    std::atomic<uint64_t> m_kept{0};
    std::atomic<uint64_t> m_unqueued{0};
    mutable std::atomic<uint64_t> m_socketDrops{0};  // the socket's, as last read
};
