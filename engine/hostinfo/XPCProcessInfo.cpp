#include "hostinfo/XPCProcessInfo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <new>
#include <unordered_map>

#include "hostinfo/XKernelIoTrace.h"
#include "platform/ByteOrder.h"
#include "platform/ProcessNames.h"
#include "platform/Processes.h"

XPCProcessInfo* XPCProcessInfo::m_instance = nullptr;
int XPCProcessInfo::m_osVersionType = 0;

XPCProcessInfo::Hooks XPCProcessInfo::Hooks::system()
{
    Hooks hooks;
    hooks.readTable = [](platform::SocketProtocol protocol, std::vector<platform::SocketRow>& rows) {
        return platform::readSocketTable(protocol, rows);
    };
    hooks.imagePath = [](uint32_t pid) { return platform::processImagePath(pid); };
    // The event source records owners' names while they run, so an exited one is still named.
    hooks.shortName = [](uint32_t pid) { return platform::ProcessNames::instance().nameOf(pid); };
    return hooks;
}

XPCProcessInfo* XPCProcessInfo::Instance()
{
    if (!m_instance) {
        XKernelIoTrace* trace = XKernelIoTrace::Instance();
        m_instance = new (std::nothrow) XPCProcessInfo(Hooks::system(), trace);
        if (m_instance && trace) {
            trace->enableNetEvents();
            trace->startTraceThread();
        }
    }
    return m_instance;
}

XPCProcessInfo::XPCProcessInfo(Hooks hooks, XKernelIoTrace* trace)
    : m_hooks(std::move(hooks)), m_trace(trace)
{
    init();
}

XPCProcessInfo::~XPCProcessInfo() = default;

void XPCProcessInfo::init()
{
    queryOsVersion();
    m_confirmed.reset(new (std::nothrow) uint16_t[65536]());
}

void XPCProcessInfo::queryOsVersion()
{
    static std::once_flag once;
    std::call_once(once, [] { m_osVersionType = 5; });  // Linux offers everything the newest class does
}

void XPCProcessInfo::reload(std::vector<uint64_t>* seen)
{
    try {
        // The tables are read and the owners named without the lock; only entering the
        // result takes it, so the parser thread never waits for a /proc scan.
        std::lock_guard<std::mutex> reloading(m_reloadMutex);
        std::vector<Owner> tcp;
        std::vector<Owner> udp;
        const bool tcpRead = readOwners(platform::SocketProtocol::Tcp, tcp, seen);
        // UDP owners are refreshed alongside, so UDP rows can name their programs.
        const bool udpRead = readOwners(platform::SocketProtocol::Udp, udp, seen);
        XLockGuard guard(m_lock);
        if (tcpRead)
            enterOwners(platform::SocketProtocol::Tcp, tcp);
        if (udpRead)
            enterOwners(platform::SocketProtocol::Udp, udp);
    } catch (...) {
    }
}

bool XPCProcessInfo::readOwners(platform::SocketProtocol protocol, std::vector<Owner>& owners,
                                std::vector<uint64_t>* seen)
{
    if (!m_hooks.readTable || !m_hooks.readTable(protocol, m_rows))
        return false;  // the tables keep their previous contents
    if (seen)
        for (const platform::SocketRow& row : m_rows)
            if (row.inode != 0)
                seen->push_back(row.inode);
    // At most 2000 owned rows are entered. Rows without an owner (TIME_WAIT and the like, of
    // which a busy host has thousands) do not count, or they would crowd out real owners.
    owners.clear();
    std::unordered_map<uint32_t, size_t> named;  // pid -> an owner already carrying its name
    for (const platform::SocketRow& row : m_rows) {
        if (row.pid == 0)
            continue;
        if (owners.size() >= size_t(kMaxTableRows))
            break;
        Owner& owner = owners.emplace_back();
        owner.key = protocol == platform::SocketProtocol::Tcp ? platform::netToHost32(row.remoteAddr)
                                                              : row.localPort;
        owner.pid = row.pid;
        const auto [it, first] = named.try_emplace(row.pid, owners.size() - 1);
        if (first)
            getProcessName(int(row.pid), owner.name, kNameSize);
        else
            std::memcpy(owner.name, owners[it->second].name, sizeof owner.name);
    }
    return true;
}

void XPCProcessInfo::enterOwners(platform::SocketProtocol protocol, const std::vector<Owner>& owners)
{
    for (const Owner& owner : owners) {
        _X_PROGRAMNAME*& slot = protocol == platform::SocketProtocol::Tcp ? m_tcpTable[owner.key]
                                                                          : m_udpTable[uint16_t(owner.key)];
        slot = createRecord(owner, slot);
    }
}

_X_PROGRAMNAME* XPCProcessInfo::createRecord(const Owner& owner, _X_PROGRAMNAME* reuse)
{
    _X_PROGRAMNAME* record = reuse;
    if (!record) {
        if (m_blocks.empty() || m_recordsUsed >= kRecordBlock) {
            std::unique_ptr<_X_PROGRAMNAME[]> block(new (std::nothrow) _X_PROGRAMNAME[kRecordBlock]);
            if (!block)
                return nullptr;
            m_blocks.push_back(std::move(block));
            m_recordsUsed = 0;
        }
        record = &m_blocks.back()[m_recordsUsed++];
    }
    std::memcpy(record->name, owner.name, sizeof record->name);
    record->processId = owner.pid;
    record->size = kNameSize;
    return record;
}

int XPCProcessInfo::recordBlocks() const
{
    return int(m_blocks.size());
}

int XPCProcessInfo::getProcessName(int pid, char* buf, int size)
{
    if (!buf || size < 1 || pid <= 0)
        return 0;
    const std::string path = m_hooks.imagePath ? m_hooks.imagePath(uint32_t(pid)) : std::string();
    std::string name;
    int result = 0;
    if (!path.empty()) {
        name = path.substr(path.find_last_of('/') + 1);
        result = int(path.size());
    } else if (m_hooks.shortName) {
        name = m_hooks.shortName(uint32_t(pid));
        result = int(name.size());
    }
    if (name.empty())
        return 0;
    const size_t n = std::min(name.size(), size_t(size) - 1);
    std::memcpy(buf, name.data(), n);
    buf[n] = '\0';
    return result;
}

int XPCProcessInfo::queryProcessName(int pid, char* buf, int size)
{
    if (!buf || size < 1 || m_osVersionType <= 3)
        return 0;
    const std::string path = m_hooks.imagePath ? m_hooks.imagePath(uint32_t(pid)) : std::string();
    std::string name;
    int result = 0;
    if (!path.empty() && path.size() < size_t(kNameSize)) {
        name = path.substr(path.find_last_of('/') + 1);
        result = int(path.size());
    } else if (path.empty() && m_hooks.shortName) {
        // Kernel threads and other users' processes without privileges have no readable image.
        name = m_hooks.shortName(uint32_t(pid));
        result = int(name.size());
    }
    if (result == 0)
        return 0;
    const size_t copied = std::min(name.size(), size_t(size));
    std::memcpy(buf, name.data(), copied);
    if (copied == size_t(size))
        buf[size - 1] = '\0';
    else
        buf[copied] = '\0';
    return result;
}

int XPCProcessInfo::copyName(const _X_PROGRAMNAME* record, char* buf, int size, uint32_t* pid) const
{
    const int n = std::min(int(record->size), size);
    if (buf && size > 0)
        std::memcpy(buf, record->name, size_t(n));
    if (pid)
        *pid = record->processId;
    return std::max(n, 0);
}

int XPCProcessInfo::getTcpProgamName(uint32_t ip, char* buf, int size, uint32_t* pid)
{
    XLockGuard guard(m_lock);
    const auto it = m_tcpTable.find(ip);
    if (it == m_tcpTable.end() || !it->second)
        return 0;
    return copyName(it->second, buf, size, pid);
}

int XPCProcessInfo::getUdpProgamName(uint16_t port, char* buf, int size, uint32_t* pid)
{
    XLockGuard guard(m_lock);
    const auto it = m_udpTable.find(port);
    if (it == m_udpTable.end() || !it->second)
        return 0;
    return copyName(it->second, buf, size, pid);
}

uint32_t XPCProcessInfo::tcpOwner(uint32_t hostOrderAddr)
{
    uint32_t owner = 0;
    getTcpProgamName(hostOrderAddr, nullptr, 0, &owner);
    return owner;
}

uint32_t XPCProcessInfo::addNetData(const ORVANEPRO_NetIo& io)
{
    uint32_t pid = io.processId;
    if (io.remoteAddr == kLoopbackNetOrder)
        return pid;
    if (io.protocol == kNetIoTcp) {
        const uint32_t remote = platform::netToHost32(io.remoteAddr);
        if (pid == 0) {
            pid = tcpOwner(remote);
        } else if (!(m_trace && m_trace->ownersExact()) && pid < 65536 && m_confirmed && m_confirmed[pid] == 0) {
            const uint32_t owner = tcpOwner(remote);
            if (owner == pid)
                m_confirmed[pid] = 1;
            else if (owner != 0)
                pid = owner;
        }
    }
    const bool received = io.direction == kNetIoReceive;
    if ((!received && io.direction != kNetIoSend) || (io.protocol != kNetIoTcp && io.protocol != kNetIoUdp))
        return pid;
    const uint32_t packets = io.packets ? io.packets : 1;
    XLockGuard guard(m_lock);
    if (!m_net.add(pid, received ? io.bytesReceived : 0, received ? 0 : io.bytesSent, received ? packets : 0,
                   received ? 0 : packets))
        m_netFolded.fetch_add(1, std::memory_order_relaxed);
    return pid;
}

void XPCProcessInfo::getNetIO(std::vector<IoTriple>& out)
{
    XLockGuard guard(m_lock);
    m_net.drain(out);
}

void XPCProcessInfo::getDiskIO(std::vector<IoTriple>& out)
{
    if (m_trace)
        m_trace->getDiskIO(out);
    else
        out.clear();
}

void XPCProcessInfo::closeInfo()
{
    if (m_trace)
        m_trace->stopTrace();
}

void XPCProcessInfo::print()
{
    for (const auto& [addr, record] : m_tcpTable) {
        std::cout << "TCP: " << platform::dottedIpv4(addr) << "  --  " << (record ? record->name : "") << std::endl;
    }
    for (const auto& [port, record] : m_udpTable)
        std::cout << "UDP: " << platform::netToHost16(port) << "  --  " << (record ? record->name : "") << std::endl;
}
