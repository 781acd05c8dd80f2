#include "EngineHarness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "TestNetwork.h"
#include "ThreadCpu.h"
#include "platform/linux/PcapIoEventSource.h"

EngineHarness::EngineHarness(Observer observer, bool pcap) : m_observer(std::move(observer)), m_pcap(pcap) {}

EngineHarness::~EngineHarness()
{
    stop();
}

bool EngineHarness::start(std::string& why, int timeoutMs)
{
    m_trace = std::make_unique<XKernelIoTrace>(m_pcap ? platform::createPcapIoEventSource("chosen by the benchmark")
                                                      : platform::createSystemIoEventSource());
    m_info = std::make_unique<XPCProcessInfo>(XPCProcessInfo::Hooks::system(), m_trace.get());
    m_trace->enableNetEvents();
    m_trace->startTraceThread();
    m_parser = std::thread([this] { parse(); });
    if (!waitFor([&] { return m_trace->stats().running; }, timeoutMs)) {
        why = "the capture did not start (root needed)";
        return false;
    }
    return true;
}

void EngineHarness::startReloadTimer(int periodMs)
{
    if (periodMs > 0 && !m_reloader.joinable())
        m_reloader = std::thread([this, periodMs] { reloadLoop(periodMs); });
}

void EngineHarness::reloadLoop(int periodMs)
{
    m_reloadTid = currentThreadId();
    std::unique_lock<std::mutex> guard(m_reloadMutex);
    while (!m_stopReload) {
        guard.unlock();
        m_info->reload();
        m_reloads.fetch_add(1, std::memory_order_relaxed);
        guard.lock();
        m_reloadCond.wait_for(guard, std::chrono::milliseconds(periodMs), [this] { return m_stopReload; });
    }
}

void EngineHarness::stop()
{
    {
        std::lock_guard<std::mutex> guard(m_reloadMutex);
        m_stopReload = true;
    }
    m_reloadCond.notify_all();
    if (m_reloader.joinable())
        m_reloader.join();
    if (m_trace)
        m_trace->stopTrace();  // the source flushes its held events before run() returns
    m_stopParser = true;
    if (m_trace)
        m_trace->ring()->wake();
    if (m_parser.joinable())
        m_parser.join();
}

void EngineHarness::parse()
{
    m_parserTid = currentThreadId();
    XNetIoRing* ring = m_trace->ring();
    ORVANEPRO_NetIo io;
    for (;;) {
        if (!ring->popNetIo(&io)) {
            if (m_stopParser.load(std::memory_order_acquire) && ring->pending() == 0)
                return;
            continue;
        }
        const uint32_t pid = m_info->addNetData(io);
        m_parsed.fetch_add(1, std::memory_order_relaxed);
        const uint16_t gatePort = m_gatePort.load(std::memory_order_relaxed);
        if (gatePort != 0 && io.remotePort == gatePort && io.protocol <= 2)
            m_gateEvents[io.protocol].fetch_add(1, std::memory_order_relaxed);
        if (m_observer)
            m_observer(io, pid);
    }
}

bool EngineHarness::openGates(uint32_t peerNetOrder, uint16_t closedPort, int timeoutMs)
{
    m_gatePort = htons(closedPort);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = peerNetOrder;
    peer.sin_port = htons(closedPort);
    const int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool udpOpen = waitFor([&] {
        sendto(udp, "w", 1, 0, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
        return m_trace->gateOpen(XKernelIoTrace::kGateUdp) && m_gateEvents[kNetIoUdp] > 0;
    }, timeoutMs);
    close(udp);
    const bool tcpOpen = waitFor([&] {
        const int tcp = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        connect(tcp, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
        close(tcp);
        return m_trace->gateOpen(XKernelIoTrace::kGateTcp) && m_gateEvents[kNetIoTcp] > 0;
    }, timeoutMs);
    return udpOpen && tcpOpen;
}
