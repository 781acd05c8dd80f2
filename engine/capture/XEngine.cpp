// XEngine's life cycle: the one place where the engine pieces are created and wired, and
// where they are stopped again in the reverse order.
#include "capengine/XEngine.h"

#include <chrono>
#include <cstring>
#include <new>

#include "capture/XChatPrograms.h"
#include "capture/XDNSRecord.h"
#include "capture/XEngineImpl.h"
#include "capture/XPacketCounter.h"
#include "capture/XPacketMgr.h"
#include "capture/XPacketQueue.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XParserResultMgr.h"
#include "capture/XParserWorker.h"
#include "corekit/XLog.h"
#include "hostinfo/NetIoRecord.h"
#include "hostinfo/XKernelIoTrace.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/Clock.h"
#include "platform/ProcessNames.h"
#include "platform/Processes.h"

namespace {

// sample() calls between owner-table reloads, and with an event source that names owners.
constexpr uint64_t kReloadCalls = 2;
constexpr uint64_t kExactReloadCalls = 16;

// The queue of the DNS queries the event source supplies. Queues are known by their
// listener's address; no listener has this one.
constexpr unsigned long kSourceQueriesQueue = 0xFFFFFFFFul;

XEngine::Components completed(XEngine::Components components)
{
    if (!components.clock)
        components.clock = [] { return platform::tickCount(); };
    if (!components.processName)
        // Names recorded while the process lived: a program that ran for 20 ms keeps its name.
        components.processName = [](uint32_t pid) { return platform::ProcessNames::instance().nameOf(pid); };
    if (!components.processPath)
        components.processPath = [](uint32_t pid) { return platform::processImagePath(pid); };
    return components;
}

XSocketList::Hooks socketHooks(const XEngine::Components& components)
{
    XSocketList::Hooks hooks = XSocketList::Hooks::system();
    hooks.name = components.processName;
    hooks.path = components.processPath;
    return hooks;
}

// One log line with every counter of lost or unattributed data that is not zero, so that a
// front end without a console (the window program) leaves them on record.
void logLosses(const XEngineStats& s)
{
    std::string line;
    s.forEach([&line](const char* name, uint64_t value, XEngineStats::Kind kind) {
        if (kind != XEngineStats::kFlow && value != 0)
            line += std::string(line.empty() ? "" : ", ") + name + " " + std::to_string(value);
    });
    XLog::debug(1, "engine stopping; losses: ", line.empty() ? std::string("none") : line);
}

// The system engine's components: everything from the system, and the processes' start times
// so that a pid the system reuses starts a new row of the run totals.
XEngine::Components systemComponents()
{
    XEngine::Components components;
    components.processStart = [](uint32_t pid) { return platform::processStartTime(pid); };
    return components;
}

} // namespace

XEngine::Impl::Impl(Components given)
    : components(completed(std::move(given))),
      processTotals(components.processName, components.processPath, components.processStart),
      sockets(socketHooks(components))
{
}

XEngine::XEngine() : m_impl(std::make_unique<Impl>(systemComponents())) {}

XEngine::XEngine(Components components) : m_impl(std::make_unique<Impl>(std::move(components)))
{
    m_impl->results = m_impl->components.results;
    m_impl->dns = m_impl->components.dns;
    m_impl->processInfo = m_impl->components.processInfo;
    m_impl->state.store(Impl::State::FromComponents);
}

XEngine::~XEngine()
{
    stop();
}

bool XEngine::start(std::string* why)
{
    Impl& e = *m_impl;
    std::lock_guard<std::mutex> guard(e.stateMutex);
    const auto refuse = [why](const char* reason) {
        if (why)
            *why = reason;
        return false;
    };
    switch (e.state.load()) {
    case Impl::State::Running: return refuse("already running");
    case Impl::State::Stopped: return refuse("stopped: the engine runs once per process");
    case Impl::State::FromComponents: return refuse("an engine made from components does not start");
    case Impl::State::Idle: break;
    }

    registerChatPrograms();
    // Process information first: it creates the kernel event source and starts its thread.
    e.processInfo = XPCProcessInfo::Instance();
    e.trace = e.processInfo ? e.processInfo->trace() : nullptr;
    if (e.trace)
        e.trace->setDiskRatesNeeded(e.diskRatesNeeded);
    e.packets = XPacketMgr::Instance();
    e.queues = XPacketQueueMgr::Instance();
    e.dns = XDNSRecord::Instance();
    e.results = XParserResultMgr::Instance();
    e.worker = XParserWorker::Instance();
    if (!e.processInfo || !e.packets || !e.queues || !e.dns || !e.results || !e.worker)
        return refuse("out of memory");

    // Names from the handshakes local programs send, where no DNS answer named the address.
    if (e.trace)
        e.trace->learnHandshakeNames(e.dns);

    auto* parser = new (std::nothrow) XPacketBaseParser();
    if (!parser)
        return refuse("out of memory");
    parser->init(e.results, e.dns, e.processInfo, e.components.clock);
    e.packets->addParser(parser);
    {
        std::lock_guard<std::mutex> parserGuard(e.parserMutex);
        e.parser = parser;
    }

    // DNS queries: where the event source copies them as they are sent, they come through a
    // queue of their own, made before the listener's so that the parser thread reads it first,
    // and the listener's socket takes only what arrives: the kernel then copies no packet this
    // host sends for it. An answer may still overtake its query on the way: the parser holds
    // it a moment. Without such a source the listener sees both.
    XPacketQueue* sourceQueries =
        e.trace && e.trace->suppliesDnsQueries() ? e.queues->createQueue(kSourceQueriesQueue) : nullptr;
    if (sourceQueries) {
        parser->setAnswersMayPrecedeQueries(true);
        e.trace->deliverDnsQueries(sourceQueries);
        XLog::debug(1, "DNS names: queries copied by the kernel event source as they are sent, answers read from "
                       "the wire by a packet socket of incoming IPv4 packets");
    } else {
        XLog::debug(1, "DNS names: queries and answers read from the wire by a packet socket of all packets (every "
                       "packet this host sends is copied to it)");
    }
    // One listener for every local address, those that appear later too. Nothing here asks
    // the network (no name of this host is looked up): start and stop never wait for it.
    e.packets->createListener(sourceQueries != nullptr);

    // The owner tables are filled now, and the sockets open now are older than the engine:
    // their start time stays unknown.
    std::vector<uint64_t> inodes;
    e.processInfo->reload(&inodes);
    e.sockets.stamp(inodes);
    e.worker->init(e.packets, e.queues, e.trace ? e.trace->ring() : nullptr);
    e.worker->start();
    e.state.store(Impl::State::Running);
    return true;
}

void XEngine::stop()
{
    Impl& e = *m_impl;
    std::lock_guard<std::mutex> guard(e.stateMutex);
    if (e.state.load() != Impl::State::Running)
        return;
    logLosses(stats());
    // The kernel's event source stops first: its last read of the flow counts goes into the
    // ring, which the worker works off before it ends, so the counts of the last fraction of
    // a second are not lost at every stop. The worker is joined before the parser it feeds
    // is deleted, and before the listeners and queues it reads from are closed.
    e.processInfo->closeInfo();
    e.worker->stop();
    e.worker->join();
    {
        std::lock_guard<std::mutex> parserGuard(e.parserMutex);
        e.parserStats = e.parser->stats();
        e.parser = nullptr;
    }
    e.packets->close();
    e.queues->close();
    e.state.store(Impl::State::Stopped);
}

bool XEngine::isRunning() const
{
    return m_impl->state.load() == Impl::State::Running;
}

void XEngine::sample(uint32_t nowMs)
{
    Impl& e = *m_impl;
    XPCProcessInfo* info = e.wired() ? e.processInfo : nullptr;
    if (!info)
        return;
    // The owner tables are refreshed every two seconds: a /proc scan every second would cost
    // more than the traffic it names. A source that names every flow's owner itself needs
    // them only for the odd unnamed row, and reading the kernel's socket tables is most of
    // an idle engine's cost, so then they are refreshed every 16 seconds.
    const bool exact = e.trace && e.trace->ownersExact();
    if (++e.sampleCalls % (exact ? kExactReloadCalls : kReloadCalls) == 0) {
        // The system keeps no creation time of a socket: stamping the new ones from the same
        // read gives the connections list a start time within that period of the real one.
        std::vector<uint64_t> inodes;
        info->reload(&inodes);
        if (e.state.load() == Impl::State::Running)
            e.sockets.stamp(inodes);
    }
    // The per-(process, host) counts of the two address counters first, then the per-process
    // totals: an event between the two drains lands in the next interval of the totals, so
    // over time the two agree to the byte.
    e.pairs.clear();
    if (e.ledger.kept()) {
        if (auto* tcp = static_cast<XPacketCounter*>(e.result(kTrafficTcp)))
            tcp->takePairs(e.pairs, 6);
        if (auto* udp = static_cast<XPacketCounter*>(e.result(kTrafficUdp)))
            udp->takePairs(e.pairs, 17);
    }
    info->getNetIO(e.net);
    info->getDiskIO(e.disk);
    const uint32_t interval = e.sampleCalls > 1 ? nowMs - e.lastSampleMs : 0;
    e.lastSampleMs = nowMs;
    XProcessRunTotals::Programs programs;
    e.processTotals.add(e.net.data(), int(e.net.size()), e.disk.data(), int(e.disk.size()), interval, &programs);
    if (e.ledger.kept()) {
        const auto programOf = [&](uint32_t pid) {
            const auto it = programs.find(pid);
            return it != programs.end() ? it->second : e.processTotals.programOf(pid);
        };
        e.ledgerFolded.fetch_add(e.ledger.add(e.pairs, e.disk, programOf), std::memory_order_relaxed);
    }
}

bool XEngine::takeLedger(XLedger& out)
{
    Impl& e = *m_impl;
    const uint64_t wallMs = uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::system_clock::now().time_since_epoch())
                                         .count());
    if (!e.ledger.take(out, wallMs, e.components.clock()))
        return false;
    // The names the hosts have now, looked up outside the book's lock.
    XDNSRecord* dns = e.wired() ? e.dns : nullptr;
    if (dns) {
        char name[XDNSRecord::kTextSize];
        for (XLedgerRow& row : out.rows)
            if (row.remoteAddress != 0 && dns->getDNSName(row.remoteAddress, name, sizeof name) > 0)
                row.dnsName.assign(name, strnlen(name, sizeof name));
    }
    return true;
}

void XEngine::setDiskRatesNeeded(bool perSecond)
{
    Impl& e = *m_impl;
    std::lock_guard<std::mutex> guard(e.stateMutex);
    e.diskRatesNeeded = perSecond;
    if (e.trace && e.state.load() != Impl::State::FromComponents)
        e.trace->setDiskRatesNeeded(perSecond);
}

bool XEngine::diskRatesNeeded() const
{
    std::lock_guard<std::mutex> guard(m_impl->stateMutex);
    return m_impl->diskRatesNeeded;
}

uint32_t XEngine::tick() const
{
    return m_impl->components.clock();
}

std::string XEngine::eventSource() const
{
    if (m_impl->state.load() == Impl::State::FromComponents)
        return "none: made from components";
    XKernelIoTrace* trace = m_impl->wired() ? m_impl->trace : nullptr;
    return trace ? trace->sourceStatus() : "none: not started";
}

bool XEngine::setLogFile(const std::string& path)
{
    return XLog::Instance()->setLogFile(path);
}
