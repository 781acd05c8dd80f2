#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    // Arms the doorbell and sleeps until the first packet after countedSoFar is counted,
    // wakeFd (an eventfd) is signalled, or timeoutMs pass.
    void waitForTraffic(uint64_t countedSoFar, int wakeFd, int timeoutMs);
    // The name the kernel recorded for the process; false when it has none.
    bool processName(uint32_t pid, KernelProcessName& out) const;
    Counters counters() const;
    // Whether the programs see tasks (CAP_PERFMON): names, and the pid refreshed on every
    // send and receive.
    bool withTasks() const { return m_withTasks; }

private:
    BpfFlowCounter() = default;
    bool readEmpty(int mapFd, std::vector<FlowDelta>& out);

    flow_counter* m_skel = nullptr;
    std::vector<bpf_link*> m_links;
    ring_buffer* m_doorbell = nullptr;
    int m_epollFd = -1;
    int m_wakeFd = -1;  // registered with m_epollFd
    int m_cgroupFd = -1;
    int m_active = 0;  // 0: flows_a, 1: flows_b
    int m_cpus = 1;
    bool m_withTasks = false;
};

} // namespace platform
