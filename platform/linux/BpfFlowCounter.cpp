#include "platform/linux/BpfFlowCounter.h"

#include <bpf/bpf.h>
#include <bpf/libbpf.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/types.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdarg>
#include <cstring>
#include <mutex>

#include "corekit/XLog.h"
#include "platform/IoEvents.h"

// The generated skeleton and the records it shares with the programs.
#include "platform/linux/bpf/FlowCounterShared.h"
#include "FlowCounter.skel.h"

namespace platform {

namespace {

#ifndef SO_NETNS_COOKIE
constexpr int SO_NETNS_COOKIE = 71;
#endif
#ifndef CAP_PERFMON
constexpr int CAP_PERFMON = 38;
#endif
#ifndef CAP_BPF
constexpr int CAP_BPF = 39;
#endif

bool hasCapability(int cap)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    return (data[cap / 32].effective & (1u << (cap % 32))) != 0;
}

// libbpf's messages go to the log; the last warning of a failed load becomes the reason.
thread_local std::string* t_lastWarning = nullptr;

int libbpfMessage(enum libbpf_print_level level, const char* format, va_list args)
{
    if (level == LIBBPF_DEBUG)
        return 0;
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    std::string line(text);
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    XLog::debug(2, "libbpf: " + line);
    if (level == LIBBPF_WARN && t_lastWarning && line.find("failed to load") != std::string::npos &&
        t_lastWarning->empty())
        *t_lastWarning = line;
    return 0;
}

uint64_t ownNetnsCookie()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    uint64_t cookie = 0;
    socklen_t len = sizeof cookie;
    if (::getsockopt(fd, SOL_SOCKET, SO_NETNS_COOKIE, &cookie, &len) != 0)
        cookie = 0;
    ::close(fd);
    return cookie;
}

std::string errorText(int err)
{
    return std::strerror(err < 0 ? -err : err);
}

uint8_t protocolOf(uint8_t ipProtocol)
{
    return ipProtocol == IPPROTO_TCP ? kProtoTcp : kProtoUdp;
}

// The kernel's records of ended processes, from the programs' exit ring.
class BpfExitFeed : public ProcessExitFeed {
public:
    explicit BpfExitFeed(int ringFd)
    {
        m_ring = ring_buffer__new(ringFd, &BpfExitFeed::onRecord, this, nullptr);
    }
    ~BpfExitFeed() override
    {
        if (m_ring)
            ring_buffer__free(m_ring);
    }
    bool ok() const { return m_ring != nullptr; }
    int fd() const override { return ring_buffer__epoll_fd(m_ring); }
    void take(std::vector<ProcessExit>& out) override
    {
        m_out = &out;
        ring_buffer__consume(m_ring);
        m_out = nullptr;
    }
private:
    static int onRecord(void* context, void* data, size_t size)
    {
        auto* self = static_cast<BpfExitFeed*>(context);
        if (size < sizeof(lvx_process_exit) || !self->m_out)
            return 0;
        lvx_process_exit record;
        std::memcpy(&record, data, sizeof record);
        ProcessExit exit{record.pid, record.start, record.read_bytes, record.write_bytes,
                         std::string(record.name, strnlen(record.name, sizeof record.name))};
        self->m_out->push_back(std::move(exit));
        return 0;
    }

    ring_buffer* m_ring = nullptr;
    std::vector<ProcessExit>* m_out = nullptr;
};

} // namespace

std::unique_ptr<BpfFlowCounter> BpfFlowCounter::attach(const std::string& cgroupRoot, std::string& why)
{
    static std::once_flag printSet;
    std::call_once(printSet, [] { libbpf_set_print(libbpfMessage); });

    if (!hasCapability(CAP_BPF) && !hasCapability(CAP_SYS_ADMIN)) {
        why = "no CAP_BPF";
        return nullptr;
    }
    if (!hasCapability(CAP_NET_ADMIN)) {
        why = "no CAP_NET_ADMIN";
        return nullptr;
    }
    const uint64_t cookie = ownNetnsCookie();
    if (cookie == 0) {
        why = "the kernel names no network namespace (SO_NETNS_COOKIE)";
        return nullptr;
    }

    std::unique_ptr<BpfFlowCounter> counter(new BpfFlowCounter);
    counter->m_withTasks = hasCapability(CAP_PERFMON) || hasCapability(CAP_SYS_ADMIN);
    const int cpus = libbpf_num_possible_cpus();
    counter->m_cpus = cpus > 0 ? cpus : 1;

    flow_counter* skel = flow_counter::open();
    if (!skel) {
        why = "cannot open the BPF object: " + errorText(errno);
        return nullptr;
    }
    counter->m_skel = skel;
    skel->rodata->own_netns_cookie = cookie;
    skel->rodata->with_tasks = counter->m_withTasks;
    skel->rodata->with_skb_netns =
        libbpf_probe_bpf_helper(BPF_PROG_TYPE_CGROUP_SKB, BPF_FUNC_get_netns_cookie, nullptr) == 1;
    // With task access every receive names the socket's process, and ended processes leave
    // their I/O totals; without it, recvmsg of unconnected sockets names it (connect does in
    // both cases).
    const std::vector<bpf_program*> withTasks = {skel->progs.lvx_received, skel->progs.lvx_process_free};
    const std::vector<bpf_program*> perAddressCall = {skel->progs.lvx_recvmsg4, skel->progs.lvx_recvmsg6};
    for (bpf_program* program : counter->m_withTasks ? perAddressCall : withTasks)
        bpf_program__set_autoload(program, false);

    std::string warning;
    t_lastWarning = &warning;
    const int loaded = flow_counter::load(skel);
    t_lastWarning = nullptr;
    if (loaded != 0) {
        why = "the kernel refused the BPF programs (" + errorText(loaded) + ")" +
              (warning.empty() ? std::string() : ": " + warning);
        return nullptr;
    }

    counter->m_cgroupFd = ::open(cgroupRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (counter->m_cgroupFd < 0) {
        why = "cannot open " + cgroupRoot + ": " + errorText(errno);
        return nullptr;
    }
    std::vector<bpf_program*> cgroupPrograms = {skel->progs.lvx_sock_create, skel->progs.lvx_connect4,
                                                skel->progs.lvx_connect6, skel->progs.lvx_egress,
                                                skel->progs.lvx_ingress};
    if (!counter->m_withTasks)
        cgroupPrograms.insert(cgroupPrograms.end(), perAddressCall.begin(), perAddressCall.end());
    for (bpf_program* program : cgroupPrograms) {
        bpf_link* link = bpf_program__attach_cgroup(program, counter->m_cgroupFd);
        if (!link) {
            why = std::string("cannot attach ") + bpf_program__name(program) + " at " + cgroupRoot + ": " +
                  errorText(errno);
            return nullptr;
        }
        counter->m_links.push_back(link);
    }
    counter->m_doorbell = ring_buffer__new(bpf_map__fd(skel->maps.doorbell), [](void*, void*, size_t) { return 0; },
                                           nullptr, nullptr);
    counter->m_hellos = ring_buffer__new(bpf_map__fd(skel->maps.hellos), &BpfFlowCounter::onHello, counter.get(), nullptr);
    counter->m_queries = ring_buffer__new(bpf_map__fd(skel->maps.queries), &BpfFlowCounter::onQuery, counter.get(), nullptr);
    counter->m_epollFd = ::epoll_create1(EPOLL_CLOEXEC);
    epoll_event ringReady{};
    ringReady.events = EPOLLIN;
    if (!counter->m_doorbell || !counter->m_hellos || !counter->m_queries || counter->m_epollFd < 0 ||
        ::epoll_ctl(counter->m_epollFd, EPOLL_CTL_ADD, ring_buffer__epoll_fd(counter->m_doorbell), &ringReady) != 0 ||
        ::epoll_ctl(counter->m_epollFd, EPOLL_CTL_ADD, ring_buffer__epoll_fd(counter->m_hellos), &ringReady) != 0 ||
        ::epoll_ctl(counter->m_epollFd, EPOLL_CTL_ADD, ring_buffer__epoll_fd(counter->m_queries), &ringReady) != 0) {
        why = "cannot wait on the doorbell, hello and query rings: " + errorText(errno);
        return nullptr;
    }
    if (counter->m_withTasks) {
        for (bpf_program* program : withTasks) {
            bpf_link* link = bpf_program__attach(program);
            if (!link) {
                why = std::string("cannot attach ") + bpf_program__name(program) + ": " + errorText(errno);
                return nullptr;
            }
            counter->m_links.push_back(link);
        }
    }
    return counter;
}

BpfFlowCounter::~BpfFlowCounter()
{
    // Links first, so that no program runs while its maps go.
    for (bpf_link* link : m_links)
        bpf_link__destroy(link);
    if (m_doorbell)
        ring_buffer__free(m_doorbell);
    if (m_hellos)
        ring_buffer__free(m_hellos);
    if (m_queries)
        ring_buffer__free(m_queries);
    if (m_epollFd >= 0)
        ::close(m_epollFd);
    if (m_skel)
        flow_counter::destroy(m_skel);
    if (m_cgroupFd >= 0)
        ::close(m_cgroupFd);
}

uint64_t BpfFlowCounter::packetsCounted() const
{
    std::vector<uint64_t> perCpu(size_t(m_cpus), 0);
    const uint32_t zero = 0;
    if (bpf_map_lookup_elem(bpf_map__fd(m_skel->maps.packets_counted), &zero, perCpu.data()) != 0)
        return 0;
    uint64_t sum = 0;
    for (const uint64_t n : perCpu)
        sum += n;
    return sum;
}

void BpfFlowCounter::watchWakeFd(int wakeFd)
{
    if (wakeFd == m_wakeFd)
        return;
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.fd = wakeFd;
    if (::epoll_ctl(m_epollFd, EPOLL_CTL_ADD, wakeFd, &wake) == 0)
        m_wakeFd = wakeFd;
}

void BpfFlowCounter::waitForDoorbell(int timeoutMs)
{
    epoll_event events[4];
    ::epoll_wait(m_epollFd, events, 4, timeoutMs);
    ring_buffer__consume(m_doorbell);
}

void BpfFlowCounter::waitForTraffic(uint64_t countedSoFar, int wakeFd, int timeoutMs)
{
    watchWakeFd(wakeFd);
    std::atomic_ref<__u32>(m_skel->bss->reader_waiting).store(1, std::memory_order_seq_cst);
    // A packet counted before the doorbell was armed rang nothing.
    if (packetsCounted() != countedSoFar)
        return;
    waitForDoorbell(timeoutMs);
}

void BpfFlowCounter::pause(int wakeFd, int timeoutMs)
{
    watchWakeFd(wakeFd);
    if (!wantsEarlyRead())
        waitForDoorbell(timeoutMs);
}

bool BpfFlowCounter::wantsEarlyRead() const
{
    const __u64 entered = std::atomic_ref<__u64>(m_skel->bss->flows_entered[m_active]).load(std::memory_order_relaxed);
    return entered >= LVX_EARLY_READ_FLOWS;
}

bool BpfFlowCounter::drain(std::vector<FlowDelta>& out)
{
    bpf_map* const maps[2] = {m_skel->maps.flows_a, m_skel->maps.flows_b};
    const int old = m_active;
    m_active = 1 - old;
    std::atomic_ref<__u32>(m_skel->bss->active_map).store(__u32(m_active), std::memory_order_seq_cst);
    // Replacing a map-in-map entry returns only once every program that started before has
    // finished: none writes to the old map any longer.
    const uint32_t zero = 0;
    const int barrierFd = bpf_map__fd(maps[0]);
    if (bpf_map_update_elem(bpf_map__fd(m_skel->maps.retire_barrier), &zero, &barrierFd, BPF_ANY) != 0)
        return false;
    const bool read = readEmpty(bpf_map__fd(maps[old]), out);
    std::atomic_ref<__u64>(m_skel->bss->flows_entered[old]).store(0, std::memory_order_relaxed);
    std::atomic_ref<__u32>(m_skel->bss->early_read_rung[old]).store(0, std::memory_order_relaxed);
    return read;
}

size_t BpfFlowCounter::consume(ring_buffer* ring, IoEventSink& sink)
{
    m_ringSink = &sink;
    const int n = ring_buffer__consume(ring);
    m_ringSink = nullptr;
    return n > 0 ? size_t(n) : 0;
}

size_t BpfFlowCounter::takeHellos(IoEventSink& sink)
{
    return consume(m_hellos, sink);
}

int BpfFlowCounter::onHello(void* context, void* data, size_t size)
{
    auto* self = static_cast<BpfFlowCounter*>(context);
    if (size < offsetof(lvx_hello, data) || !self->m_ringSink)
        return 0;
    const auto* hello = static_cast<const lvx_hello*>(data);
    HandshakePayload payload;
    payload.remoteAddr = hello->remote_addr;
    payload.remotePort = hello->remote_port;
    payload.localPort = hello->local_port;
    payload.protocol = protocolOf(hello->protocol);
    payload.tcpSeq = hello->tcp_seq;
    payload.data = hello->data;
    payload.size = std::min<uint32_t>({hello->size, LVX_HELLO_BYTES, uint32_t(size - offsetof(lvx_hello, data))});
    if (payload.size != 0)
        self->m_ringSink->onHandshakePayload(payload);
    return 0;
}

size_t BpfFlowCounter::takeQueries(IoEventSink& sink)
{
    return consume(m_queries, sink);
}

int BpfFlowCounter::onQuery(void* context, void* data, size_t size)
{
    auto* self = static_cast<BpfFlowCounter*>(context);
    if (size < offsetof(lvx_query, data) || !self->m_ringSink)
        return 0;
    const auto* query = static_cast<const lvx_query*>(data);
    const uint32_t bytes =
        std::min<uint32_t>({query->size, LVX_QUERY_BYTES, uint32_t(size - offsetof(lvx_query, data))});
    if (bytes != 0)
        self->m_ringSink->onDnsQuery(query->data, bytes);
    return 0;
}

std::unique_ptr<ProcessExitFeed> BpfFlowCounter::exitFeed()
{
    if (!m_withTasks)
        return nullptr;
    auto feed = std::make_unique<BpfExitFeed>(bpf_map__fd(m_skel->maps.exits));
    if (!feed->ok())
        return nullptr;
    return feed;
}

bool BpfFlowCounter::readEmpty(int mapFd, std::vector<FlowDelta>& out)
{
    constexpr uint32_t kBatch = 1024;
    std::vector<lvx_flow_key> keys(kBatch);
    std::vector<lvx_flow_counts> values(kBatch);
    auto take = [&](uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) {
            const lvx_flow_key& k = keys[i];
            FlowDelta d;
            d.key = FlowKey{protocolOf(k.protocol), k.local_addr, k.local_port, k.remote_addr, k.remote_port};
            d.pid = k.pid;
            for (int dir = 0; dir < 2; ++dir) {
                d.bytes[dir] = values[i].bytes[dir];
                d.packets[dir] = values[i].packets[dir];
            }
            out.push_back(d);
        }
    };
    LIBBPF_OPTS(bpf_map_batch_opts, opts);
    uint64_t batch = 0;
    bool first = true;
    for (;;) {
        uint32_t count = kBatch;
        const int err = bpf_map_lookup_and_delete_batch(mapFd, first ? nullptr : &batch, &batch, keys.data(),
                                                        values.data(), &count, &opts);
        const int code = err < 0 ? -err : 0;
        if (err == 0 || code == ENOENT)
            take(count);
        if (code == ENOENT)
            return true;
        if (err != 0)
            break;
        first = false;
    }
    if (!first)
        return false;
    // Kernels without batch operations: one entry at a time (nothing writes to this map).
    lvx_flow_key key{};
    while (bpf_map_get_next_key(mapFd, nullptr, &key) == 0) {
        if (bpf_map_lookup_and_delete_elem(mapFd, &key, values.data()) != 0 &&
            (bpf_map_lookup_elem(mapFd, &key, values.data()) != 0 || bpf_map_delete_elem(mapFd, &key) != 0))
            return false;
        keys[0] = key;
        take(1);
    }
    return true;
}

bool BpfFlowCounter::processName(uint32_t pid, KernelProcessName& out) const
{
    lvx_process_name entry{};
    if (bpf_map_lookup_elem(bpf_map__fd(m_skel->maps.names), &pid, &entry) != 0)
        return false;
    out.start = entry.start;
    out.name.assign(entry.name, strnlen(entry.name, sizeof entry.name));
    return true;
}

BpfFlowCounter::Counters BpfFlowCounter::counters() const
{
    // The programs update these with atomic adds in memory this process maps.
    auto load = [](__u64& v) { return uint64_t(std::atomic_ref<__u64>(v).load(std::memory_order_relaxed)); };
    Counters c;
    c.packetsDropped = load(m_skel->bss->packets_dropped);
    c.bytesDropped = load(m_skel->bss->bytes_dropped);
    c.exitsDropped = load(m_skel->bss->exits_dropped);
    c.hellosDropped = load(m_skel->bss->hellos_dropped);
    c.queriesDropped = load(m_skel->bss->queries_dropped);
    return c;
}

} // namespace platform
