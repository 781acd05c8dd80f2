#include "capture/XParserWorker.h"

#include <mutex>
#include <new>

#include "capture/XPacketMgr.h"
#include "capture/XPacketParser.h"
#include "capture/XPacketQueue.h"
#include "capture/XPacketQueueMgr.h"
#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XNetIoRing.h"

XParserWorker* XParserWorker::m_instance = nullptr;

XParserWorker* XParserWorker::Instance()
{
    static std::once_flag once;
    std::call_once(once, [] { m_instance = new (std::nothrow) XParserWorker(); });
    return m_instance;
}

XParserWorker::XParserWorker() = default;

XParserWorker::~XParserWorker()
{
    stop();
    join();
}

void XParserWorker::init()
{
    XKernelIoTrace* trace = XKernelIoTrace::Instance();
    init(XPacketMgr::Instance(), XPacketQueueMgr::Instance(), trace ? trace->ring() : nullptr);
}

void XParserWorker::init(XPacketMgr* packets, XPacketQueueMgr* queues, XNetIoRing* ring)
{
    m_stopRequest.store(0);
    m_queues.clear();
    m_parsers.clear();
    m_packets = packets;
    m_queueMgr = queues;
    m_ring = ring;
    if (!packets || !queues)
        return;
    addQueues();
    for (int i = 0; i < packets->getParserCounter(); ++i)
        m_parsers.push_back(packets->getParser(i));
}

void XParserWorker::addQueues()
{
    // Queues are only ever added, in index order: take the ones not seen yet.
    for (int i = int(m_queues.size()); i < m_queueMgr->size(); ++i)
        m_queues.push_back(m_queueMgr->getQueueByIndex(i));
}

void XParserWorker::stop()
{
    m_stopRequest.store(1);
    if (m_ring)
        m_ring->wake();
}

int XParserWorker::drainQueues(XPacketParser* parser)
{
    char buffer[2048];
    int handled = 0;
    for (XPacketQueue* queue : m_queues) {
        if (!queue)
            continue;
        // At most one queue's worth per pass, so a flood of datagrams cannot starve the
        // network events.
        for (int budget = XPacketQueue::kSlots; budget > 0; --budget) {
            int direction = 0;
            const int n = queue->pop(buffer, int(sizeof buffer), &direction);
            if (n < 0)
                break;
            ++handled;
            try {
                parser->parser(direction, buffer, n);
            } catch (...) {
                m_exceptions.fetch_add(1, std::memory_order_relaxed);
            }
        }
    }
    return handled;
}

int XParserWorker::drainEvents(XPacketParser* parser)
{
    ORVANEPRO_NetIo event{};
    int handled = 0;
    while (handled < kEventBatch && m_ring->tryPopNetIo(&event) == 1) {
        ++handled;
        try {
            parser->parserSock(event);
        } catch (...) {
            m_exceptions.fetch_add(1, std::memory_order_relaxed);
        }
    }
    m_events.fetch_add(uint64_t(handled), std::memory_order_relaxed);
    return handled;
}

void XParserWorker::run()
{
    if (!m_ring)
        return;
    XPacketParser* parser = nullptr;
    for (XPacketParser* p : m_parsers)
        if (p)
            parser = p;

    while (m_stopRequest.load(std::memory_order_relaxed) != 1 && parser) {
        if (m_queueMgr && int(m_queues.size()) != m_queueMgr->size())
            addQueues();
        const int handled = drainQueues(parser) + drainEvents(parser);
        parser->tick();
        if (handled == 0)
            m_ring->waitForEvents();
    }
    // What the event source delivered before it stopped is counted, not left in the ring: at
    // most one ring's worth, so a source that goes on cannot hold the stop.
    for (int batches = XNetIoRing::kSlots / kEventBatch + 1; parser && batches > 0; --batches)
        if (drainEvents(parser) == 0)
            break;
}
