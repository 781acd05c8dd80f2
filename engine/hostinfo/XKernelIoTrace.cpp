#include "hostinfo/XKernelIoTrace.h"

#include <algorithm>
#include <string>

#include "capture/XHandshakeNameLearner.h"
#include "capture/XPacketQueue.h"
#include "corekit/XLog.h"
#include "platform/ByteOrder.h"
#include "platform/Clock.h"

XKernelIoTrace* XKernelIoTrace::m_instance = nullptr;

XKernelIoTrace* XKernelIoTrace::Instance()
{
    if (!m_instance)
        m_instance = new (std::nothrow) XKernelIoTrace(platform::createSystemIoEventSource());
    return m_instance;
}

XKernelIoTrace::XKernelIoTrace(std::unique_ptr<platform::IoEventSource> source)
    : m_ring(std::make_unique<XNetIoRing>()), m_source(std::move(source)),
      m_ownersExact(m_source && m_source->name() == "ebpf"), m_startTime(platform::systemTimeFiletime())
{
    // A full ring holds the capture back instead of losing events: the capture's kernel
    // buffer keeps the packets meanwhile.
    m_ring->waitWhenFull(&m_stopping);
    // Per-flow counts begin when the kernel programs are attached, after the start time: there
    // is nothing stale to hold back, and a first event that sums a whole flow's traffic must
    // not be dropped.
    if (m_ownersExact) {
        m_gate[kGateTcp].store(1, std::memory_order_relaxed);
        m_gate[kGateUdp].store(1, std::memory_order_relaxed);
    }
}

XKernelIoTrace::~XKernelIoTrace()
{
    stopTrace();
}

void XKernelIoTrace::startTraceThread()
{
    bool expected = false;
    if (!m_threadStarted.compare_exchange_strong(expected, true))
        return;
    m_thread = std::thread([this] { consume(); });
}

void XKernelIoTrace::consume()
{
    if (!m_source)
        return;
    std::string error;
    if (!m_source->open(&error)) {
        // Without privileges the trace simply yields nothing; the counters work on.
        XLog::debug(1, "kernel I/O events unavailable: ", error);
        std::lock_guard<std::mutex> guard(m_statusMutex);
        m_openError = error.empty() ? "not available" : error;
        return;
    }
    m_running.store(true, std::memory_order_release);
    m_source->run(*this);
    m_running.store(false, std::memory_order_release);
}

void XKernelIoTrace::stopTrace()
{
    m_stopping.store(true, std::memory_order_release);
    if (m_source)
        m_source->stop();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
    if (m_ring)
        m_ring->wake();
}

bool XKernelIoTrace::passGate(GateClass cls, uint64_t timestamp)
{
    if (m_gate[cls].load(std::memory_order_relaxed))
        return true;
    if (timestamp > m_startTime) {
        // The first event after the start opens the gate and is counted like every later one.
        m_gate[cls].store(1, std::memory_order_release);
        return true;
    }
    m_gated.fetch_add(1, std::memory_order_relaxed);
    return false;
}

void XKernelIoTrace::onNetEvent(const platform::NetEvent& event)
{
    if (!passGate(event.protocol == platform::kProtoTcp ? kGateTcp : kGateUdp, event.timestamp))
        return;
    if (!m_netEnabled.load(std::memory_order_acquire) || !m_ring || event.remoteAddr == kLoopbackNetOrder)
        return;
    const uint16_t protocol = event.protocol == platform::kProtoTcp ? kNetIoTcp : kNetIoUdp;
    // TCP events carry no local port.
    const uint16_t localPort = protocol == kNetIoTcp ? 0 : event.localPort;
    m_ring->pushNetIo(event.pid, event.size, event.direction, protocol, event.remoteAddr,
                      event.remotePort, localPort, event.packets);
}

void XKernelIoTrace::learnHandshakeNames(XDNSRecord* names)
{
    if (m_handshakeOwner || !names)
        return;
    m_handshakeOwner = std::make_unique<XHandshakeNameLearner>(names);
    m_handshakes.store(m_handshakeOwner.get(), std::memory_order_release);
}

XHandshakeStats XKernelIoTrace::handshakeStats() const
{
    XHandshakeNameLearner* learner = m_handshakes.load(std::memory_order_acquire);
    return learner ? learner->stats() : XHandshakeStats{};
}

void XKernelIoTrace::onHandshakePayload(const platform::HandshakePayload& payload)
{
    XHandshakeNameLearner* learner = m_handshakes.load(std::memory_order_acquire);
    if (!learner || !m_netEnabled.load(std::memory_order_relaxed) || !payload.data)
        return;
    const XHandshakeFlow flow{platform::netToHost32(payload.remoteAddr), platform::netToHost16(payload.localPort),
                              platform::netToHost16(payload.remotePort)};
    const uint64_t nowMs = platform::steadyMsWithSuspend();
    if (payload.protocol == platform::kProtoTcp)
        learner->onTcpPayload(flow, payload.tcpSeq, payload.data, payload.size, nowMs);
    else if (payload.protocol == platform::kProtoUdp)
        learner->onUdpPayload(flow, payload.data, payload.size, nowMs);
}

void XKernelIoTrace::deliverDnsQueries(XPacketQueue* queue)
{
    m_dnsQueries.store(queue, std::memory_order_release);
}

void XKernelIoTrace::onDnsQuery(const uint8_t* data, uint32_t size)
{
    XPacketQueue* queue = m_dnsQueries.load(std::memory_order_acquire);
    if (!queue || !data || size == 0)
        return;
    // A full queue is counted there; the source goes on with its own work rather than wait.
    if (queue->push(reinterpret_cast<const char*>(data), int(std::min<uint32_t>(size, 0x7FFFFFFF)), kNetIoSend,
                    false) > 0 &&
        m_ring)
        m_ring->wake();
}

void XKernelIoTrace::onDiskEvent(const platform::DiskEvent& event)
{
    if (!passGate(kGateDisk, event.timestamp))
        return;
    addDisk(event.pid == 0 ? 4 : event.pid, event.readBytes, event.writeBytes);
}

void XKernelIoTrace::addDisk(uint32_t pid, uint64_t readBytes, uint64_t writeBytes)
{
    XLockGuard guard(m_lock);
    if (!m_disk.add(pid, readBytes, writeBytes))
        m_diskFolded.fetch_add(1, std::memory_order_relaxed);
}

void XKernelIoTrace::getDiskIO(std::vector<IoTriple>& out)
{
    XLockGuard guard(m_lock);
    m_disk.drain(out);
}

void XKernelIoTrace::setDiskRatesNeeded(bool perSecond)
{
    if (m_source)
        m_source->setDiskRatesNeeded(perSecond);
}

KernelIoStats XKernelIoTrace::stats() const
{
    KernelIoStats s;
    if (m_source)
        s.source = m_source->stats();
    if (m_ring) {
        s.eventsQueued = m_ring->pushed();
        s.eventsDropped = m_ring->dropped();
        s.ringFullWaits = m_ring->fullWaits();
        s.ringPending = m_ring->pending();
    }
    s.gatedEvents = m_gated.load(std::memory_order_relaxed);
    s.diskFolded = m_diskFolded.load(std::memory_order_relaxed);
    s.running = m_running.load(std::memory_order_acquire);
    return s;
}

std::string XKernelIoTrace::sourceStatus() const
{
    std::string status = m_source ? m_source->name() : "none";
    std::lock_guard<std::mutex> guard(m_statusMutex);
    if (!m_openError.empty())
        status += ": " + m_openError;
    return status;
}
