#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/DiskSampler.h"
#include "platform/linux/FlowDeltaReader.h"

struct flow_counter;
struct bpf_link;
struct ring_buffer;

namespace platform {

// The flow-counting BPF programs, loaded and attached at the cgroup2 root with links this
// process owns: they are detached and their maps freed when the object goes, or when the
// process ends in any way (nothing is pinned). One thread uses an instance at a time.
class BpfFlowCounter {
public:
    struct Counters {
        uint64_t packetsDropped = 0;  // packets the kernel could not count: the flow map was full
        uint64_t bytesDropped = 0;
        uint64_t exitsDropped = 0;    // ended processes whose I/O totals found the exit ring full
        uint64_t hellosDropped = 0;   // first payloads of flows that found the hello ring full
        uint64_t queriesDropped = 0;  // DNS queries that found the query ring full
    };

    // Loads and attaches the programs. Null, with the reason in why, when the kernel or this
    // thread's privileges refuse any step.
    static std::unique_ptr<BpfFlowCounter> attach(const std::string& cgroupRoot, std::string& why);
    ~BpfFlowCounter();
    BpfFlowCounter(const BpfFlowCounter&) = delete;
    BpfFlowCounter& operator=(const BpfFlowCounter&) = delete;

    // Packets counted so far (all processors): unchanged means there is nothing to read.
    uint64_t packetsCounted() const;
    // Makes the other flow map the active one, waits until no program writes to the old one
    // any longer, and reads it empty into out (appended). False when the kernel refused.
    bool drain(std::vector<FlowDelta>& out);
    // Whether the active flow map has passed half full: read it now rather than at the end of
    // the interval.
    bool wantsEarlyRead() const;
    // Arms the doorbell and sleeps until the first packet after countedSoFar is counted,
    // wakeFd (an eventfd) is signalled, or timeoutMs pass.
    void waitForTraffic(uint64_t countedSoFar, int wakeFd, int timeoutMs);
    // Sleeps between two reads: until timeoutMs pass, wakeFd is signalled, the active flow
    // map passes half full, the hello ring does, or a DNS query comes.
    void pause(int wakeFd, int timeoutMs);
    // Hands the first payloads of new outgoing flows the programs copied since the last call
    // to sink (IoEventSink::onHandshakePayload); how many.
    size_t takeHellos(IoEventSink& sink);
    // Hands the DNS queries local programs sent since the last call to sink
    // (IoEventSink::onDnsQuery); how many.
    size_t takeQueries(IoEventSink& sink);
    // The I/O totals of processes as they end, for the disk sampler; null without task access.
    // The feed must go before this object.
    std::unique_ptr<ProcessExitFeed> exitFeed();
    // The name the kernel recorded for the process; false when it has none.
    bool processName(uint32_t pid, KernelProcessName& out) const;
    Counters counters() const;
    // Whether the programs see tasks (CAP_PERFMON): names, the pid refreshed on every receive,
    // and the I/O totals of ended processes.
    bool withTasks() const { return m_withTasks; }

private:
    BpfFlowCounter() = default;
    bool readEmpty(int mapFd, std::vector<FlowDelta>& out);
    void watchWakeFd(int wakeFd);
    void waitForDoorbell(int timeoutMs);
    // Consumes what ring holds, its callback handing each record to sink; how many.
    size_t consume(ring_buffer* ring, IoEventSink& sink);
    static int onHello(void* context, void* data, size_t size);
    static int onQuery(void* context, void* data, size_t size);

    flow_counter* m_skel = nullptr;
    std::vector<bpf_link*> m_links;
    ring_buffer* m_doorbell = nullptr;
    ring_buffer* m_hellos = nullptr;
    ring_buffer* m_queries = nullptr;
    IoEventSink* m_ringSink = nullptr;  // set during consume()
    int m_epollFd = -1;
    int m_wakeFd = -1;  // registered with m_epollFd
    int m_cgroupFd = -1;
    int m_active = 0;  // the map the programs write to: 0 flows_a, 1 flows_b
    int m_cpus = 1;
    bool m_withTasks = false;
};

} // namespace platform
