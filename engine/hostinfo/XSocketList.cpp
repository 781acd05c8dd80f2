#include "hostinfo/XSocketList.h"

#include "platform/ByteOrder.h"
#include "platform/Clock.h"
#include "platform/Processes.h"

namespace {
// Milliseconds from 1601-01-01 (the FILETIME origin) to 1970-01-01.
constexpr uint64_t kUnixEpochInFiletimeMs = 11644473600000ull;
}

XSocketList::Hooks XSocketList::Hooks::system()
{
    Hooks hooks;
    hooks.readTable = [](platform::SocketProtocol protocol, std::vector<platform::SocketRow>& rows) {
        return platform::readSocketTable(protocol, rows);
    };
    hooks.name = [](uint32_t pid) { return platform::processImageName(pid); };
    hooks.path = [](uint32_t pid) { return platform::processImagePath(pid); };
    hooks.wallMs = [] { return platform::systemTimeFiletime() / 10000 - kUnixEpochInFiletimeMs; };
    return hooks;
}

XSocketList::XSocketList(Hooks hooks) : m_hooks(std::move(hooks)) {}

int XSocketList::read(std::vector<XSocketRow>& out)
{
    out.clear();
    std::lock_guard<std::mutex> guard(m_mutex);
    const uint64_t nowMs = m_hooks.wallMs ? m_hooks.wallMs() : 0;
    std::unordered_map<uint64_t, uint64_t> seen;
    m_names.clear();
    append(platform::SocketProtocol::Tcp, nowMs, &out, seen);
    append(platform::SocketProtocol::Udp, nowMs, &out, seen);
    m_firstSeen.swap(seen);  // sockets gone since the last read are forgotten
    m_firstRead = false;
    return int(out.size());
}

void XSocketList::stamp()
{
    std::lock_guard<std::mutex> guard(m_mutex);
    const uint64_t nowMs = m_hooks.wallMs ? m_hooks.wallMs() : 0;
    std::unordered_map<uint64_t, uint64_t> seen;
    append(platform::SocketProtocol::Tcp, nowMs, nullptr, seen);
    append(platform::SocketProtocol::Udp, nowMs, nullptr, seen);
    m_firstSeen.swap(seen);
    m_firstRead = false;
}

uint64_t XSocketList::firstSeen(uint64_t inode, uint64_t nowMs, std::unordered_map<uint64_t, uint64_t>& seen) const
{
    const auto known = m_firstSeen.find(inode);
    const uint64_t first = known != m_firstSeen.end() ? known->second : (m_firstRead ? 0 : nowMs);
    seen[inode] = first;
    return first;
}

void XSocketList::append(platform::SocketProtocol protocol, uint64_t nowMs, std::vector<XSocketRow>* out,
                         std::unordered_map<uint64_t, uint64_t>& seen)
{
    if (!m_hooks.readTable || !m_hooks.readTable(protocol, m_rows))
        return;
    if (!out) {
        for (const platform::SocketRow& r : m_rows)
            if (r.inode != 0)
                firstSeen(r.inode, nowMs, seen);
        return;
    }
    for (const platform::SocketRow& r : m_rows) {
        XSocketRow row;
        row.tcp = protocol == platform::SocketProtocol::Tcp;
        row.localAddr = platform::netToHost32(r.localAddr);
        row.localPort = platform::netToHost16(r.localPort);
        row.remoteAddr = platform::netToHost32(r.remoteAddr);
        row.remotePort = platform::netToHost16(r.remotePort);
        row.state = r.state;
        row.pid = r.pid;
        if (r.pid != 0) {
            auto [it, fresh] = m_names.try_emplace(r.pid);
            if (fresh) {
                it->second.first = m_hooks.name ? m_hooks.name(r.pid) : std::string();
                it->second.second = m_hooks.path ? m_hooks.path(r.pid) : std::string();
            }
            row.program = it->second.first;
            row.path = it->second.second;
        }
        if (r.inode != 0)
            row.firstSeenMs = firstSeen(r.inode, nowMs, seen);
        out->push_back(std::move(row));
    }
}
