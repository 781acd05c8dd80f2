#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "corekit/XThread.h"

class XNetIoRing;
class XPacketMgr;
class XPacketParser;
class XPacketQueue;
class XPacketQueueMgr;

// The engine's one processing thread: drains every packet queue into the parser, then up to
// 1024 network events from the kernel trace's ring per pass, then lets the parser do what the
// clock asks for (XPacketParser::tick); sleeps on the ring when there
// is nothing to do (a second when idle, 100 ms after work; the ring's writer wakes it for a
// batch or at most every 100 ms, so events wait at most about that). Queues that appear later
// are taken in as they come. init(), start(),
// stop() and join() belong to the thread that owns the engine (start-up and shutdown).
class XParserWorker : public XThread {
public:
    // The process-wide worker, created on the first call and never destroyed.
    static XParserWorker* Instance();

    // An independent worker (tests, benchmarks).
    XParserWorker();
    ~XParserWorker() override;

    // Takes the queues and parsers registered now and the kernel trace's ring.
    void init();
    // The same from the given sources (tests, benchmarks); ring may be null (then the thread
    // ends at once, as without a trace).
    void init(XPacketMgr* packets, XPacketQueueMgr* queues, XNetIoRing* ring);
    static constexpr int kEventBatch = 1024;

    // Asks the thread to end; join() waits for it. Takes effect at once.
    void stop();

    // Any thread: work items (datagrams or events) dropped because handling them threw.
    uint64_t exceptions() const { return m_exceptions.load(std::memory_order_relaxed); }
    // Any thread: network events handed to the parser.
    uint64_t events() const { return m_events.load(std::memory_order_relaxed); }

protected:
    void run() override;

private:
    void addQueues();
    int drainQueues(XPacketParser* parser);
    int drainEvents(XPacketParser* parser);

    static XParserWorker* m_instance;

    std::vector<XPacketQueue*> m_queues;
    std::vector<XPacketParser*> m_parsers;
    XPacketMgr* m_packets = nullptr;
    XPacketQueueMgr* m_queueMgr = nullptr;
    XNetIoRing* m_ring = nullptr;
    std::atomic<int> m_stopRequest{0};
    std::atomic<uint64_t> m_exceptions{0};
    std::atomic<uint64_t> m_events{0};
};
