#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FlowOwners.h"
#include "platform/IoEvents.h"
#include "platform/ProcessNames.h"
#include "platform/SocketTable.h"

namespace platform {

// What one flow carried in one read interval, as the kernel counted it. The key's addresses
// and ports are in network order; index 0 is received, 1 sent.
struct FlowDelta {
    FlowKey key;       // protocol kProtoTcp or kProtoUdp
    uint32_t pid = 0;  // 0: the kernel knew no process for the socket
    uint64_t bytes[2] = {0, 0};
    uint64_t packets[2] = {0, 0};
};

// The executable name the kernel recorded for a process; start tells it from a later process
// with the same pid.
struct KernelProcessName {
    uint64_t start = 0;
    std::string name;
};

// Turns the per-flow deltas of one read into events: one per direction that carried anything,
// with the flow's owner. Flows the kernel knew no owner for are matched against the sockets
// that existed before the counting started; what stays unowned goes out with pid 0. Owners'
// names are recorded in the process-name registry as they are first seen, while the kernel
// (or /proc) still knows them. Reader thread only.
class FlowDeltaReader {
public:
    using KernelNames = std::function<bool(uint32_t pid, KernelProcessName& out)>;
    using LiveName = std::function<std::string(uint32_t pid)>;
    // The longest name the kernel keeps; a name this long may be cut short.
    static constexpr size_t kKernelNameLimit = 63;

    struct Stats {
        uint64_t reads = 0;
        uint64_t deltas = 0;
        uint64_t events = 0;
        uint64_t ownedAtStart = 0;  // deltas given their owner by the sockets found at start
        uint64_t unowned = 0;       // deltas delivered with pid 0
    };

    FlowDeltaReader(IoEventSink& sink, ProcessNames& names, KernelNames kernelNames, LiveName liveName);

    // The sockets that existed before the programs were attached, with their owners.
    void setStartSockets(SocketProtocol protocol, const std::vector<SocketRow>& rows);
    // Delivers one read's deltas, stamped with timestamp (FILETIME scale); fills in the owners
    // found for flows the kernel knew none for.
    void deliver(std::vector<FlowDelta>& deltas, uint64_t timestamp);

    const Stats& stats() const { return m_stats; }

private:
    uint32_t ownerAtStart(const FlowKey& key) const;
    void nameOwners(const std::vector<FlowDelta>& deltas);
    void emit(const FlowDelta& delta, uint32_t pid, int direction, uint64_t timestamp);

    IoEventSink& m_sink;
    ProcessNames& m_names;
    KernelNames m_kernelNames;
    LiveName m_liveName;
    std::unordered_map<FlowKey, uint32_t, FlowKeyHash> m_startOwners;
    std::unordered_map<uint32_t, uint64_t> m_starts;  // pid -> start of the process last named
    std::vector<uint32_t> m_pids;                     // scratch
    Stats m_stats;
};

} // namespace platform
