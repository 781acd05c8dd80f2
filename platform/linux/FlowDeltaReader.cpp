#include "platform/linux/FlowDeltaReader.h"

#include <algorithm>
#include <limits>

namespace platform {

FlowDeltaReader::FlowDeltaReader(IoEventSink& sink, ProcessNames& names, KernelNames kernelNames,
                                 LiveName liveName)
    : m_sink(sink), m_names(names), m_kernelNames(std::move(kernelNames)), m_liveName(std::move(liveName))
{
}

void FlowDeltaReader::setStartSockets(SocketProtocol protocol, const std::vector<SocketRow>& rows)
{
    const uint8_t proto = protocol == SocketProtocol::Tcp ? kProtoTcp : kProtoUdp;
    for (const SocketRow& row : rows)
        if (row.pid != 0)
            m_startOwners.emplace(FlowKey{proto, row.localAddr, row.localPort, row.remoteAddr, row.remotePort}, row.pid);
}

uint32_t FlowDeltaReader::ownerAtStart(const FlowKey& key) const
{
    if (m_startOwners.empty())
        return 0;
    // The connected socket itself; else the listener or unconnected socket on the local
    // address, or on every address, that took the flow in.
    const FlowKey tries[] = {key,
                             FlowKey{key.protocol, key.localAddr, key.localPort, 0, 0},
                             FlowKey{key.protocol, 0, key.localPort, 0, 0}};
    for (const FlowKey& k : tries) {
        const auto it = m_startOwners.find(k);
        if (it != m_startOwners.end())
            return it->second;
    }
    return 0;
}

void FlowDeltaReader::nameOwners(const std::vector<FlowDelta>& deltas)
{
    m_pids.clear();
    for (const FlowDelta& d : deltas)
        if (d.pid != 0)
            m_pids.push_back(d.pid);
    std::sort(m_pids.begin(), m_pids.end());
    m_pids.erase(std::unique(m_pids.begin(), m_pids.end()), m_pids.end());
    if (m_starts.size() > ProcessNames::kMaxNames)
        m_starts.clear();
    for (const uint32_t pid : m_pids) {
        KernelProcessName kernel;
        const bool fromKernel = m_kernelNames && m_kernelNames(pid, kernel) && !kernel.name.empty();
        const auto seen = m_starts.find(pid);
        const bool sameProcess = seen != m_starts.end() && (!fromKernel || seen->second == kernel.start);
        if (sameProcess && !m_names.freshNameOf(pid).empty())
            continue;
        std::string name = fromKernel ? kernel.name : std::string();
        if (!fromKernel || name.size() >= kKernelNameLimit) {
            // The kernel's name may be cut short; the live process has it whole.
            const std::string live = m_liveName ? m_liveName(pid) : std::string();
            if (!live.empty() && (name.empty() || live.compare(0, name.size(), name) == 0))
                name = live;
        }
        m_starts[pid] = fromKernel ? kernel.start : 0;
        m_names.remember(pid, name);
    }
}

void FlowDeltaReader::emit(const FlowDelta& delta, uint32_t pid, int direction, uint64_t timestamp)
{
    NetEvent event;
    event.timestamp = timestamp;
    event.pid = pid;
    event.remoteAddr = delta.key.remoteAddr;
    event.remotePort = delta.key.remotePort;
    event.localPort = delta.key.localPort;
    event.protocol = delta.key.protocol;
    event.direction = uint8_t(direction == 1 ? kDirSend : kDirReceive);
    // An event carries less than 2 GiB: a larger delta goes out in parts, its packets shared
    // among them.
    constexpr uint64_t kLimit = std::numeric_limits<int32_t>::max();
    uint64_t bytes = delta.bytes[direction];
    const uint64_t parts = bytes == 0 ? 1 : (bytes + kLimit - 1) / kLimit;
    uint64_t packets = std::max<uint64_t>(delta.packets[direction], parts);
    for (uint64_t part = parts; part > 0; --part) {
        event.size = uint32_t(std::min(bytes, kLimit));
        event.packets = uint32_t(std::min<uint64_t>(packets / part, std::numeric_limits<uint32_t>::max()));
        bytes -= event.size;
        packets -= event.packets;
        m_sink.onNetEvent(event);
        ++m_stats.events;
    }
}

void FlowDeltaReader::deliver(std::vector<FlowDelta>& deltas, uint64_t timestamp)
{
    ++m_stats.reads;
    for (FlowDelta& d : deltas) {
        if (d.pid == 0 && (d.pid = ownerAtStart(d.key)) != 0)
            ++m_stats.ownedAtStart;
    }
    nameOwners(deltas);
    for (const FlowDelta& d : deltas) {
        ++m_stats.deltas;
        m_stats.unowned += d.pid == 0;
        for (int direction = 0; direction < 2; ++direction)
            if (d.bytes[direction] != 0 || d.packets[direction] != 0)
                emit(d, d.pid, direction, timestamp);
    }
}

} // namespace platform
