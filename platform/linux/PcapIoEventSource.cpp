#include <pcap/pcap.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "corekit/XLog.h"
#include "platform/CaptureIntake.h"
#include "platform/Clock.h"
#include "platform/FlowAttributor.h"
#include "platform/IoEventSource.h"
#include "platform/PacketDecode.h"
#include "platform/linux/BpfIoEventSource.h"
#include "platform/linux/DiskSampler.h"
#include "platform/linux/HandshakeCapture.h"
#include "platform/linux/PcapIoEventSource.h"
#include "platform/linux/SockDiagFlowOwners.h"

namespace platform {

namespace {

// Headers only: the cooked header (16 or 20), IPv4 with options (60) and the first 14 bytes
// of TCP (ports and flags).
constexpr int kSnapLength = 96;
constexpr int kBufferBytes = 64 * 1024 * 1024;
// Packets are taken as they arrive, so a new flow's socket is looked up while it still exists
// (a short exchange may be over within a millisecond). Under load, a pass that found many
// packets is followed by a short nap, so that the next pass takes a batch instead of waking
// for every few packets: a flood costs one wake-up per batch.
constexpr int kBusyBatch = 32;
constexpr auto kBusyNap = std::chrono::microseconds(500);
constexpr int kIdleWaitMs = 1000;  // the flow cache's sweep is due once a second; stop() wakes it
constexpr int kHeldWaitMs = 2;    // while packets wait for their owner
constexpr char kFilter[] = "ip and (tcp or udp) and not net 127.0.0.0/8";

uint64_t monotonicMs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

class PcapIoEventSource : public IoEventSource {
public:
    explicit PcapIoEventSource(std::string fallbackReason)
        : m_fallbackReason(std::move(fallbackReason)), m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
    }
    ~PcapIoEventSource() override
    {
        if (m_wakeFd >= 0)
            ::close(m_wakeFd);
        if (m_pcap)
            pcap_close(m_pcap);
    }

    bool open(std::string* error) override;
    void run(IoEventSink& sink) override;
    void stop() override;
    IoSourceStats stats() const override;
    std::string name() const override { return m_fallbackReason.empty() ? "pcap" : "pcap: " + m_fallbackReason; }

private:
    static void onPacket(u_char* user, const pcap_pkthdr* header, const u_char* bytes);
    void updateKernelStats();
    void publishStats();

    const std::string m_fallbackReason;
    const int m_wakeFd;  // stop() wakes the idle capture loop through it
    pcap_t* m_pcap = nullptr;
    int m_linkType = 0;
    HandshakeCapture m_handshakes;  // names from handshakes; optional
    std::atomic<bool> m_stop{false};
    std::mutex m_stopMutex;  // orders stop() against the handle's lifetime

    FlowAttributor* m_attributor = nullptr;  // valid while run() runs
    CaptureIntake* m_intake = nullptr;       // the same
    DiskSampler m_disk;
    uint64_t m_nowMs = 0;

    std::atomic<uint64_t> m_seen{0}, m_malformed{0}, m_fragments{0}, m_fragmentsIncomplete{0};
    std::atomic<uint64_t> m_kernelDrops{0}, m_ifDrops{0};
    std::atomic<uint64_t> m_delivered{0}, m_resolved{0}, m_unowned{0}, m_timeouts{0};
    std::atomic<uint64_t> m_overflows{0}, m_queueFull{0};
};

bool PcapIoEventSource::open(std::string* error)
{
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        std::lock_guard<std::mutex> guard(m_stopMutex);
        if (m_pcap) {
            pcap_close(m_pcap);
            m_pcap = nullptr;
        }
        return false;
    };
    pcap_t* handle = pcap_create("any", errbuf);
    if (!handle)
        return fail(errbuf);
    {
        std::lock_guard<std::mutex> guard(m_stopMutex);
        m_pcap = handle;
    }
    pcap_set_snaplen(m_pcap, kSnapLength);
    pcap_set_buffer_size(m_pcap, kBufferBytes);
    pcap_set_immediate_mode(m_pcap, 1);
    pcap_set_promisc(m_pcap, 0);
    const int status = pcap_activate(m_pcap);
    if (status < 0)
        return fail(std::string("cannot open the capture device: ") + pcap_geterr(m_pcap));
    m_linkType = pcap_datalink(m_pcap);
    if (m_linkType != kLinkLinuxSll && m_linkType != kLinkLinuxSll2)
        return fail("unexpected link type " + std::to_string(m_linkType));
    bpf_program program{};
    if (pcap_compile(m_pcap, &program, kFilter, 1, PCAP_NETMASK_UNKNOWN) != 0)
        return fail(std::string("filter: ") + pcap_geterr(m_pcap));
    const int set = pcap_setfilter(m_pcap, &program);
    pcap_freecode(&program);
    if (set != 0)
        return fail(std::string("filter: ") + pcap_geterr(m_pcap));
    if (pcap_setnonblock(m_pcap, 1, errbuf) != 0 || pcap_get_selectable_fd(m_pcap) < 0)
        return fail(std::string("non-blocking capture: ") + errbuf);
    std::string why;
    if (!m_handshakes.open(&why))
        XLog::debug(1, "handshake capture unavailable (" + why + "): names from DNS answers only");
    return true;
}

void PcapIoEventSource::onPacket(u_char* user, const pcap_pkthdr* header, const u_char* bytes)
{
    auto* self = reinterpret_cast<PcapIoEventSource*>(user);
    self->m_intake->onFrame(bytes, header->caplen, header->len,
                            filetimeFromUnix(header->ts.tv_sec, header->ts.tv_usec), self->m_nowMs);
}

void PcapIoEventSource::run(IoEventSink& sink)
{
    if (!m_pcap)
        return;
    pthread_setname_np(pthread_self(), "lvx-pcap");
    SockDiagFlowOwners owners;
    owners.start();
    FlowAttributor attributor(owners, sink);
    CaptureIntake intake(m_linkType, attributor);
    m_attributor = &attributor;
    m_intake = &intake;
    m_disk.start(sink);

    const int fd = pcap_get_selectable_fd(m_pcap);
    uint64_t lastStats = 0;
    while (!m_stop.load(std::memory_order_acquire)) {
        // The wake descriptor is always polled (a negative one is skipped).
        pollfd waitFds[3] = {{fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}, {m_handshakes.fd(), POLLIN, 0}};
        pollfd& waitFd = waitFds[0];
        ::poll(waitFds, 3, attributor.heldCount() ? kHeldWaitMs : kIdleWaitMs);
        if (m_handshakes.isOpen() && m_handshakes.dispatch(sink) < 0) {
            XLog::debug(1, "handshake capture ended");
            m_handshakes.close();
        }
        m_nowMs = monotonicMs();
        const int n = pcap_dispatch(m_pcap, -1, &PcapIoEventSource::onPacket, reinterpret_cast<u_char*>(this));
        m_nowMs = monotonicMs();
        intake.poll(m_nowMs);
        attributor.poll(m_nowMs);
        publishStats();
        if (n == PCAP_ERROR || (waitFd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            XLog::debug(1, "packet capture ended: ", std::string(pcap_geterr(m_pcap)));
            break;
        }
        if (m_nowMs - lastStats >= 500) {
            lastStats = m_nowMs;
            updateKernelStats();
        }
        if (n >= kBusyBatch && attributor.heldCount() == 0)
            std::this_thread::sleep_for(kBusyNap);
    }
    m_disk.stop();
    owners.stop();
    intake.finish();
    attributor.poll(monotonicMs());
    attributor.flush();
    publishStats();
    updateKernelStats();
    m_attributor = nullptr;
    m_intake = nullptr;
}

void PcapIoEventSource::publishStats()
{
    const CaptureIntake::Stats& in = m_intake->stats();
    m_seen.store(in.packets, std::memory_order_relaxed);
    m_malformed.store(in.malformed, std::memory_order_relaxed);
    m_fragments.store(in.fragments, std::memory_order_relaxed);
    m_fragmentsIncomplete.store(in.fragmentsIncomplete, std::memory_order_relaxed);
    const FlowAttributor::Stats& s = m_attributor->stats();
    m_delivered.store(s.delivered, std::memory_order_relaxed);
    m_resolved.store(s.flowsResolved, std::memory_order_relaxed);
    m_unowned.store(s.flowsUnowned, std::memory_order_relaxed);
    m_timeouts.store(s.heldTimeouts, std::memory_order_relaxed);
    m_overflows.store(s.holdOverflows, std::memory_order_relaxed);
    m_queueFull.store(s.lookupQueueFull, std::memory_order_relaxed);
}

void PcapIoEventSource::updateKernelStats()
{
    pcap_stat ps{};
    if (pcap_stats(m_pcap, &ps) == 0) {
        // The kernel counters reset on every read on Linux's memory-mapped capture.
        m_kernelDrops.fetch_add(ps.ps_drop, std::memory_order_relaxed);
        m_ifDrops.fetch_add(ps.ps_ifdrop, std::memory_order_relaxed);
    }
}

void PcapIoEventSource::stop()
{
    m_stop.store(true, std::memory_order_release);
    const uint64_t one = 1;
    if (m_wakeFd >= 0 && ::write(m_wakeFd, &one, sizeof one) < 0) {
        // Already signalled.
    }
    std::lock_guard<std::mutex> guard(m_stopMutex);
    if (m_pcap)
        pcap_breakloop(m_pcap);
}

IoSourceStats PcapIoEventSource::stats() const
{
    IoSourceStats s;
    s.packetsSeen = m_seen.load(std::memory_order_relaxed);
    s.packetsMalformed = m_malformed.load(std::memory_order_relaxed);
    s.fragments = m_fragments.load(std::memory_order_relaxed);
    s.fragmentsIncomplete = m_fragmentsIncomplete.load(std::memory_order_relaxed);
    s.netEventsDelivered = m_delivered.load(std::memory_order_relaxed);
    s.kernelDrops = m_kernelDrops.load(std::memory_order_relaxed);
    s.interfaceDrops = m_ifDrops.load(std::memory_order_relaxed);
    s.flowsResolved = m_resolved.load(std::memory_order_relaxed);
    s.flowsUnowned = m_unowned.load(std::memory_order_relaxed);
    s.heldTimeouts = m_timeouts.load(std::memory_order_relaxed);
    s.holdOverflows = m_overflows.load(std::memory_order_relaxed);
    s.lookupQueueFull = m_queueFull.load(std::memory_order_relaxed);
    s.diskSamples = m_disk.rounds();
    s.diskEventsDelivered = m_disk.delivered();
    s.handshakePayloads = m_handshakes.payloads();
    s.handshakePayloadsDropped = m_handshakes.kernelDrops();
    return s;
}

} // namespace

std::unique_ptr<IoEventSource> createPcapIoEventSource(const std::string& fallbackReason)
{
    return std::make_unique<PcapIoEventSource>(fallbackReason);
}

std::unique_ptr<IoEventSource> createSystemIoEventSource()
{
    std::string why;
    if (std::unique_ptr<IoEventSource> source = createBpfIoEventSource(why)) {
        XLog::debug(1, "kernel I/O events: per-flow counts from eBPF programs at the cgroup2 root");
        return source;
    }
    XLog::debug(1, "kernel I/O events: eBPF flow counting unavailable (" + why + "), capturing packets with libpcap");
    return createPcapIoEventSource(why);
}

} // namespace platform
