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
    m_stopRequest.store(1);
    if (m_ring)
        m_ring->wake();
}

void XParserWorker::scanForListeners(std::chrono::steady_clock::time_point& next)
{
    next = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    if (!m_packets || !m_queueMgr)
        return;
    try {
        m_packets->createListener();
        addQueues();
    } catch (...) {
        m_exceptions.fetch_add(1, std::memory_order_relaxed);
    }
}

void XParserWorker::run()
{
    if (!m_ring)
        return;
    XPacketParser* parser = nullptr;
    for (XPacketParser* p : m_parsers)
        if (p)
            parser = p;

    char buffer[2048];
    ORVANEPRO_NetIo event{};
    auto nextListenerScan = std::chrono::steady_clock::now();
    while (m_stopRequest.load(std::memory_order_relaxed) != 1 && parser) {
        // Without any queue yet (no address at start-up) look for addresses every five
        // seconds, while the network events go on being counted.
        if (m_queues.empty() && std::chrono::steady_clock::now() >= nextListenerScan)
            scanForListeners(nextListenerScan);
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
