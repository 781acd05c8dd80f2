#include "platform/linux/BpfIoEventSource.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "corekit/XLog.h"
#include "platform/Clock.h"
#include "platform/ProcessNames.h"
#include "platform/Processes.h"
#include "platform/SocketTable.h"
#include "platform/linux/BpfFlowCounter.h"
#include "platform/linux/CgroupMounts.h"
#include "platform/linux/DiskSampler.h"
#include "platform/linux/FlowDeltaReader.h"

namespace platform {

namespace {

// How often the kernel's counts are read while there is traffic.
constexpr auto kReadInterval = std::chrono::milliseconds(250);
// Without traffic the reader sleeps until the kernel rings; this long at most, in case a ring
// went astray.
constexpr int kIdleWaitMs = 10000;

class BpfIoEventSource : public IoEventSource {
public:
    explicit BpfIoEventSource(std::unique_ptr<BpfFlowCounter> counter)
        : m_counter(std::move(counter)), m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
    }
    ~BpfIoEventSource() override
    {
        if (m_wakeFd >= 0)
            ::close(m_wakeFd);
    }

    bool open(std::string*) override { return m_counter != nullptr; }
    void run(IoEventSink& sink) override;
    void stop() override;
    void setDiskRatesNeeded(bool perSecond) override { m_disk.setPerSecond(perSecond); }
    bool suppliesDnsQueries() const override { return true; }
    IoSourceStats stats() const override;
    std::string name() const override { return "ebpf"; }

private:
    bool read(FlowDeltaReader& reader, IoEventSink& sink);
    void takeHellos(IoEventSink& sink);
    void takeQueries(IoEventSink& sink);
    void publish(const FlowDeltaReader& reader);

    std::unique_ptr<BpfFlowCounter> m_counter;  // the reader thread's while run() runs
    const int m_wakeFd;                         // stop() wakes a reader waiting for traffic
    std::unique_ptr<ProcessExitFeed> m_exits;   // the disk sampler's while it runs
    DiskSampler m_disk;
    std::atomic<bool> m_stop{false};
    uint64_t m_lastCounted = 0;
    uint64_t m_loggedFullPackets = 0;
    std::chrono::steady_clock::time_point m_fullLogged;
    uint64_t m_loggedHellosDropped = 0;
    std::chrono::steady_clock::time_point m_hellosDroppedLogged;
    uint64_t m_loggedQueriesDropped = 0;
    std::chrono::steady_clock::time_point m_queriesDroppedLogged;
    std::vector<FlowDelta> m_deltas;

    std::atomic<uint64_t> m_packets{0}, m_events{0}, m_reads{0}, m_deltaCount{0}, m_ownedAtStart{0};
    std::atomic<uint64_t> m_unowned{0}, m_fullPackets{0}, m_fullBytes{0}, m_exitsDropped{0};
    std::atomic<uint64_t> m_hellos{0}, m_hellosDropped{0}, m_queries{0}, m_queriesDropped{0};
};

void BpfIoEventSource::run(IoEventSink& sink)
{
    if (!m_counter)
        return;
    pthread_setname_np(pthread_self(), "lvx-flows");
    FlowDeltaReader reader(
        sink, ProcessNames::instance(),
        [this](uint32_t pid, KernelProcessName& out) { return m_counter->processName(pid, out); },
        [](uint32_t pid) { return processImageName(pid); });
    // Sockets opened before the programs were attached carry no owner in the kernel.
    std::vector<SocketRow> rows;
    for (const SocketProtocol protocol : {SocketProtocol::Tcp, SocketProtocol::Udp})
        if (readSocketTable(protocol, rows))
            reader.setStartSockets(protocol, rows);
    // Ended processes are counted from the kernel's records: the disk figures need sampling
    // only as often as someone looks at them.
    m_exits = m_counter->exitFeed();
    m_disk.setExitFeed(m_exits.get());
    m_disk.start(sink);
    auto lastRead = std::chrono::steady_clock::now() - kReadInterval;
    while (!m_stop.load()) {
        // At most one read per interval, unless the active map passes half full.
        const auto left = lastRead + kReadInterval - std::chrono::steady_clock::now();
        if (left > std::chrono::milliseconds(0)) {
            m_counter->pause(m_wakeFd, int(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()) + 1);
            // The query ring wakes the reader for a query at once (its answer may be on its
            // way already), the hello ring when it passes half full.
            takeQueries(sink);
            takeHellos(sink);
            if (m_stop.load())
                break;
            if (std::chrono::steady_clock::now() < lastRead + kReadInterval && !m_counter->wantsEarlyRead())
                continue;
        }
        const bool any = read(reader, sink);
        lastRead = std::chrono::steady_clock::now();
        if (!any) {
            m_counter->waitForTraffic(m_lastCounted, m_wakeFd, kIdleWaitMs);
            takeQueries(sink);
        }
    }
    read(reader, sink);
    m_disk.stop();
    m_exits.reset();
    publish(reader);
    // Detaches the programs and frees their maps.
    m_counter.reset();
}

void BpfIoEventSource::takeQueries(IoEventSink& sink)
{
    const size_t n = m_counter->takeQueries(sink);
    if (n != 0)
        m_queries.fetch_add(n, std::memory_order_relaxed);
}

void BpfIoEventSource::takeHellos(IoEventSink& sink)
{
    const size_t n = m_counter->takeHellos(sink);
    if (n != 0)
        m_hellos.fetch_add(n, std::memory_order_relaxed);
}

bool BpfIoEventSource::read(FlowDeltaReader& reader, IoEventSink& sink)
{
    // The first payloads of the flows about to be delivered (a copied payload's packet is
    // counted after it was copied): their names are known by the time their counts are.
    takeQueries(sink);
    takeHellos(sink);
    const uint64_t counted = m_counter->packetsCounted();
    if (counted == m_lastCounted)
        return false;  // nothing new: no map swap, no wait
    m_lastCounted = counted;
    m_packets.store(counted, std::memory_order_relaxed);
    m_deltas.clear();
    if (!m_counter->drain(m_deltas))
        XLog::debug(1, "eBPF flow counts: a read failed");
    reader.deliver(m_deltas, systemTimeFiletime());
    publish(reader);
    return true;
}

void BpfIoEventSource::publish(const FlowDeltaReader& reader)
{
    const FlowDeltaReader::Stats& s = reader.stats();
    m_events.store(s.events, std::memory_order_relaxed);
    m_reads.store(s.reads, std::memory_order_relaxed);
    m_deltaCount.store(s.deltas, std::memory_order_relaxed);
    m_ownedAtStart.store(s.ownedAtStart, std::memory_order_relaxed);
    m_unowned.store(s.unowned, std::memory_order_relaxed);
    if (m_counter) {
        const BpfFlowCounter::Counters c = m_counter->counters();
        // Logged when it first happens, then at most once a minute while it goes on.
        const auto now = std::chrono::steady_clock::now();
        if (c.packetsDropped > m_loggedFullPackets && (m_loggedFullPackets == 0 || now - m_fullLogged >= std::chrono::minutes(1))) {
            XLog::debug(1, "eBPF flow counts: the flow map was full; packets not counted so far: ", c.packetsDropped);
            m_loggedFullPackets = c.packetsDropped;
            m_fullLogged = now;
        }
        m_fullPackets.store(c.packetsDropped, std::memory_order_relaxed);
        m_fullBytes.store(c.bytesDropped, std::memory_order_relaxed);
        m_exitsDropped.store(c.exitsDropped, std::memory_order_relaxed);
        if (c.hellosDropped > m_loggedHellosDropped &&
            (m_loggedHellosDropped == 0 || now - m_hellosDroppedLogged >= std::chrono::minutes(1))) {
            XLog::debug(1, "eBPF handshake payloads: the hello ring was full; first payloads lost so far: ",
                        c.hellosDropped);
            m_loggedHellosDropped = c.hellosDropped;
            m_hellosDroppedLogged = now;
        }
        m_hellosDropped.store(c.hellosDropped, std::memory_order_relaxed);
        if (c.queriesDropped > m_loggedQueriesDropped &&
            (m_loggedQueriesDropped == 0 || now - m_queriesDroppedLogged >= std::chrono::minutes(1))) {
            XLog::debug(1, "eBPF DNS queries: the query ring was full; queries lost so far: ", c.queriesDropped);
            m_loggedQueriesDropped = c.queriesDropped;
            m_queriesDroppedLogged = now;
        }
        m_queriesDropped.store(c.queriesDropped, std::memory_order_relaxed);
    }
}

void BpfIoEventSource::stop()
{
    m_stop = true;
    const uint64_t one = 1;
    if (m_wakeFd >= 0 && ::write(m_wakeFd, &one, sizeof one) < 0) {
        // Already signalled.
    }
}

IoSourceStats BpfIoEventSource::stats() const
{
    IoSourceStats s;
    s.packetsSeen = m_packets.load(std::memory_order_relaxed);
    s.netEventsDelivered = m_events.load(std::memory_order_relaxed);
    s.flowReads = m_reads.load(std::memory_order_relaxed);
    s.flowDeltas = m_deltaCount.load(std::memory_order_relaxed);
    s.flowsResolved = m_ownedAtStart.load(std::memory_order_relaxed);
    s.flowsUnowned = m_unowned.load(std::memory_order_relaxed);
    s.flowMapFullPackets = m_fullPackets.load(std::memory_order_relaxed);
    s.flowMapFullBytes = m_fullBytes.load(std::memory_order_relaxed);
    s.diskSamples = m_disk.rounds();
    s.diskEventsDelivered = m_disk.delivered();
    s.diskExitsDropped = m_exitsDropped.load(std::memory_order_relaxed);
    s.handshakePayloads = m_hellos.load(std::memory_order_relaxed);
    s.handshakePayloadsDropped = m_hellosDropped.load(std::memory_order_relaxed);
    s.dnsQueries = m_queries.load(std::memory_order_relaxed);
    s.dnsQueriesDropped = m_queriesDropped.load(std::memory_order_relaxed);
    return s;
}

} // namespace

std::unique_ptr<IoEventSource> createBpfIoEventSource(std::string& why)
{
    const CgroupLayout layout = readCgroupLayout();
    if (!layout.legacyNetControl.empty()) {
        // Sockets of a legacy net_cls or net_prio hierarchy may not reach programs attached
        // to the cgroup2 root.
        why = "legacy " + layout.legacyNetControl + " cgroup controller in use";
        return nullptr;
    }
    if (layout.unifiedRoot.empty()) {
        why = "no cgroup2 hierarchy mounted";
        return nullptr;
    }
    std::unique_ptr<BpfFlowCounter> counter = BpfFlowCounter::attach(layout.unifiedRoot, why);
    if (!counter)
        return nullptr;
    return std::make_unique<BpfIoEventSource>(std::move(counter));
}

} // namespace platform
