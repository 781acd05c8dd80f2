#include "capture/XEngine.h"

#include <algorithm>
#include <new>

#include "capture/XChatPrograms.h"
#include "capture/XDNSRecord.h"
#include "capture/XIPCounter.h"
#include "capture/XPacketCounter.h"
#include "capture/XPacketMgr.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XParserResultMgr.h"
#include "capture/XParserWorker.h"
#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XPCProcessInfo.h"

XEngine::~XEngine()
{
    stop();
}

bool XEngine::start()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_state != State::Idle)
        return false;

    registerChatPrograms();
    XPCProcessInfo::Instance();
    XPacketMgr* packets = XPacketMgr::Instance();
    XPacketQueueMgr* queues = XPacketQueueMgr::Instance();
    XDNSRecord* names = XDNSRecord::Instance();
    XParserResultMgr* registry = XParserResultMgr::Instance();
    if (!packets || !queues || !names || !registry)
        return false;

    auto* parser = new (std::nothrow) XPacketBaseParser();
    if (!parser)
        return false;
    parser->init();
    packets->addParser(parser);
    m_parser = parser;

    packets->createListener();

    XParserWorker* worker = XParserWorker::Instance();
    if (worker) {
        worker->init();
        worker->start();
    }
    m_state = State::Running;
    return true;
}

void XEngine::stop()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_state != State::Running)
        return;
    // The worker is joined before the parser it feeds is deleted.
    if (XParserWorker* worker = XParserWorker::Instance()) {
        worker->stop();
        worker->join();
    }
    if (m_parser)
        m_parserStats = m_parser->stats();
    m_parser = nullptr;
    if (XPacketMgr* packets = XPacketMgr::Instance())
        packets->close();
    if (XPacketQueueMgr* queues = XPacketQueueMgr::Instance())
        queues->close();
    if (XPCProcessInfo* info = XPCProcessInfo::Instance())
        info->closeInfo();
    m_state = State::Stopped;
}

bool XEngine::isRunning()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_state == State::Running;
}

XParserResultMgr* XEngine::results()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_state == State::Idle ? nullptr : XParserResultMgr::Instance();
}

XDNSRecord* XEngine::dns()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_state == State::Idle ? nullptr : XDNSRecord::Instance();
}

int XEngine::snapshot(const char* name, std::vector<_X_R_PACKETCOUNTER>& out)
{
    out.clear();
    XParserResultMgr* registry = results();
    XParserResult* result = registry ? registry->getResult(name) : nullptr;
    if (!result)
        return 0;
    // Room for addresses added while we read; what does not fit waits for the next call.
    const int room = result->size() + 64;
    std::vector<unsigned long> ips(static_cast<size_t>(room));
    std::vector<unsigned long> ticks(static_cast<size_t>(room));
    // The chat counter lists only its busy addresses through getIPs; take all of them.
    int n = 0;
    if (result->getType() == XParserResult::kIPCounter) {
        std::vector<_X_R_PACKETCOUNTER*> records(static_cast<size_t>(room));
        n = static_cast<XIPCounter*>(result)->getCounters(records.data(), room);
        for (int i = 0; i < n; ++i)
            ips[size_t(i)] = records[size_t(i)]->address;
        std::sort(ips.begin(), ips.begin() + n);
    } else {
        n = result->getIPs(ips.data(), ticks.data(), 0, room);
    }
    out.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        _X_R_PACKETCOUNTER record{};
        if (result->getIPdata(ips[size_t(i)], record)) {
            record.address = uint32_t(ips[size_t(i)]);
            out.push_back(record);
        }
    }
    return int(out.size());
}

XEngineStats XEngine::stats()
{
    XEngineStats s;
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_state == State::Idle)
        return s;

    if (XPacketQueueMgr* queues = XPacketQueueMgr::Instance()) {
        s.queueDrops = queues->dropped();
        s.queueRefusals = queues->refused();
    }
    if (XPacketMgr* packets = XPacketMgr::Instance()) {
        const XListenerStats l = packets->listenerStats();
        s.listenerBindFailures = l.bindFailures;
        s.listenerBindError = l.bindError;
        s.listenerReceiveErrors = l.receiveErrors;
        s.listenerUnqueued = l.unqueued;
        s.datagramsReceived = l.received;
        s.datagramsKept = l.kept;
        s.listeners = packets->listenerCount();
    }
    const XParserStats p = m_parser ? m_parser->stats() : m_parserStats;
    s.datagramsIgnored = p.datagramsIgnored;
    s.datagramsParsed = p.datagrams;
    s.namesLearnt = p.namesLearnt;
    s.eventsUncounted = p.eventsUncounted;
    if (XDNSRecord* names = XDNSRecord::Instance())
        s.dnsDropped = names->dropped();

    if (XParserResultMgr* registry = XParserResultMgr::Instance()) {
        if (auto* tcp = static_cast<XPacketCounter*>(registry->getResult("tcp", XParserResult::kPacketCounter)))
            s.tcpPoolFailures = tcp->poolFailures();
        if (auto* udp = static_cast<XPacketCounter*>(registry->getResult("udp", XParserResult::kPacketCounter)))
            s.udpPoolFailures = udp->poolFailures();
        if (auto* chat = static_cast<XIPCounter*>(registry->getResult("other", XParserResult::kIPCounter)))
            s.chatPoolFailures = chat->poolFailures();
    }
    if (XParserWorker* worker = XParserWorker::Instance()) {
        s.workerExceptions = worker->exceptions();
        s.eventsParsed = worker->events();
    }
    if (XPCProcessInfo* info = XPCProcessInfo::Instance()) {
        s.processNetDropped = info->netDropped();
        if (XKernelIoTrace* trace = info->trace()) {
            const KernelIoStats k = trace->stats();
            s.ringDropped = k.eventsDropped;
            s.gatedEvents = k.gatedEvents;
            s.diskDropped = k.diskDropped;
            s.captureKernelDrops = k.source.kernelDrops;
            s.captureInterfaceDrops = k.source.interfaceDrops;
            s.captureMalformed = k.source.packetsMalformed;
        }
    }
    return s;
}
