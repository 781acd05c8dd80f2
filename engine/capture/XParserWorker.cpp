#include "capture/XParserWorker.h"

#include <chrono>
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
    for (int i = 0; i < m_queueMgr->size(); ++i)
        m_queues.push_back(m_queueMgr->getQueueByIndex(i));
}

void XParserWorker::stop()
{
    {
        std::lock_guard<std::mutex> guard(m_stopMutex);
        m_stopRequest.store(1);
        m_stopCond.notify_all();
    }
    if (m_ring)
        m_ring->wake();
}

bool XParserWorker::waitForStop(int ms)
{
    std::unique_lock<std::mutex> lock(m_stopMutex);
    return m_stopCond.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopRequest.load() == 1; });
}

void XParserWorker::run()
{
    if (!m_ring)
        return;
    try {
        // Without any queue yet (no address at start), keep looking for addresses.
        while (m_queues.empty() && m_packets && m_queueMgr) {
            m_packets->createListener();
            addQueues();
            if (waitForStop(m_queues.empty() ? 5000 : 1000))
                return;
        }
    } catch (...) {
        m_exceptions.fetch_add(1, std::memory_order_relaxed);
    }

    XPacketParser* parser = nullptr;
    for (XPacketParser* p : m_parsers)
        if (p)
            parser = p;

    char buffer[2048];
    ORVANEPRO_NetIo event{};
    while (m_stopRequest.load(std::memory_order_relaxed) != 1 && parser) {
        for (XPacketQueue* queue : m_queues) {
            if (!queue)
                continue;
            // At most one queue's worth per pass, so a flood of datagrams cannot starve the
            // network events.
            int n;
            int budget = XPacketQueue::kSlots;
            do {
                n = queue->pop(buffer, int(sizeof buffer));
                try {
                    parser->parser(queue->getID(), buffer, n);
                } catch (...) {
                    m_exceptions.fetch_add(1, std::memory_order_relaxed);
                }
            } while (n > 0 && --budget > 0);
        }
        if (m_ring->popNetIo(&event) == 1) {
            m_events.fetch_add(1, std::memory_order_relaxed);
            try {
                parser->parserSock(event);
            } catch (...) {
                m_exceptions.fetch_add(1, std::memory_order_relaxed);
            }
        }
    }
}
