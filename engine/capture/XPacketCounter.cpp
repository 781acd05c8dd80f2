#include "capture/XPacketCounter.h"

#include <cstring>

#include "capengine/XLedger.h"
#include "capture/XIPCounter.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/XPCProcessInfo.h"
#include "platform/ByteOrder.h"

namespace {

uint16_t portClassOf(unsigned short remotePort, unsigned short localPort)
{
    return xledgerPortClass(platform::netToHost16(remotePort), platform::netToHost16(localPort));
}

} // namespace

XPacketCounter::XPacketCounter(unsigned long localIP, unsigned short localPort)
    : XRecordCounter(localIP, localPort, kPacketCounter)
{
}

XPacketCounter::~XPacketCounter() = default;

void XPacketCounter::init()
{
    XIPCounter* chat = nullptr;
    if (XParserResultMgr* results = XParserResultMgr::Instance())
        chat = static_cast<XIPCounter*>(results->getResult("other", kIPCounter));
    init(XPCProcessInfo::Instance(), chat);
}

void XPacketCounter::init(XPCProcessInfo* processInfo, XIPCounter* chatCounter)
{
    XLockGuard guard(m_lock);
    m_processInfo = processInfo;
    m_chatCounter = chatCounter;
}

void XPacketCounter::count(unsigned long ip, unsigned short remotePort, unsigned short localPort,
                           int size, int direction, unsigned long pid, int packets)
{
    if (direction != 0 && direction != 1)
        return;
    const uint32_t address = uint32_t(ip);
    const uint32_t now = this->now();
    {
        XLockGuard guard(m_lock);
        applyPendingClear();
        addTotals(direction, size, now, packets);
        const auto it = m_records.find(address);
        if (it != m_records.end()) {
            _X_R_PACKETCOUNTER* r = it->second;
            r->bytes[direction] += size;
            r->packets[direction] += packets;
            r->lastUpdate = now;
            countPair(r, address, uint32_t(pid), portClassOf(remotePort, localPort), direction, uint32_t(size),
                      uint32_t(packets));
            return;
        }
    }
    addRecord(address, remotePort, localPort, size, direction, pid, packets, now);
}

void XPacketCounter::countPair(_X_R_PACKETCOUNTER* record, uint32_t ip, uint32_t pid, uint16_t portClass,
                               int direction, uint64_t size, uint64_t packets)
{
    XLedgerCell& cell = XRecordPool::cellOf(record);
    if (!cell.inUse) {
        cell.inUse = true;
        cell.pid = pid;
        cell.portClass = portClass;
        cell.bytes[0] = cell.bytes[1] = cell.packets[0] = cell.packets[1] = 0;
        m_inUse.push_back(record);
    } else if (cell.pid != pid || cell.portClass != portClass) {
        countOverflow(ip, pid, portClass, direction, size, packets);
        return;
    }
    cell.bytes[direction] += size;
    cell.packets[direction] += packets;
}

void XPacketCounter::countOverflow(uint32_t ip, uint32_t pid, uint16_t portClass, int direction, uint64_t size,
                                   uint64_t packets)
{
    // The protocol is the counter's own: takePairs() gives it.
    if (m_overflow.add(pid, ip, 0, portClass, direction, size, packets) != XNetPairTable::Fold::None)
        m_hostsFolded.fetch_add(1, std::memory_order_relaxed);
}

void XPacketCounter::addRecord(uint32_t ip, unsigned short remotePort, unsigned short localPort,
                               int size, int direction, unsigned long pid, int packets, uint32_t now)
{
    // The program name is looked up before the lock is taken: reading it may touch the
    // file system, and readers should not wait for that.
    char name[32] = {};
    const bool owned = pid != 0 && pid != 4 && m_processInfo;
    if (owned)
        m_processInfo->queryProcessName(int(pid), name, int(sizeof name));
    name[sizeof name - 1] = 0;

    XLockGuard guard(m_lock);
    applyPendingClear();
    const uint16_t portClass = portClassOf(remotePort, localPort);
    _X_R_PACKETCOUNTER* r = m_pool.take();
    if (!r) {
        countOverflow(ip, uint32_t(pid), portClass, direction, uint32_t(size), uint32_t(packets));
        return;
    }
    r->address = ip;
    r->lastUpdate = now;
    r->bytes[0] = r->bytes[1] = 0;
    r->packets[0] = r->packets[1] = 0;
    r->bytes[direction] = size;
    r->packets[direction] = packets;
    r->remotePort = remotePort;
    r->localPort = localPort;
    std::memcpy(r->programName, name, sizeof name);
    if (owned && m_chatCounter)
        m_chatCounter->addICQCounter(r);
    if (insertRecord(r))
        countPair(r, ip, uint32_t(pid), portClass, direction, uint32_t(size), uint32_t(packets));
    else
        countOverflow(ip, uint32_t(pid), portClass, direction, uint32_t(size), uint32_t(packets));
}

void XPacketCounter::releasingRecords()
{
    // The records go: what their cells hold moves to the overflow table, to be handed out.
    for (_X_R_PACKETCOUNTER* r : m_inUse) {
        XLedgerCell& cell = XRecordPool::cellOf(r);
        for (int d = 0; d < 2; ++d)
            if (cell.bytes[d] != 0 || cell.packets[d] != 0)
                countOverflow(r->address, cell.pid, cell.portClass, d, cell.bytes[d], cell.packets[d]);
        cell.inUse = false;
    }
    m_inUse.clear();
}

void XPacketCounter::takePairs(std::vector<XNetPair>& out, uint8_t protocol)
{
    std::lock_guard<std::mutex> taking(m_takeMutex);
    const size_t first = out.size();
    {
        // Only the cells used in this interval are visited, and the overflow table is swapped
        // out whole: the parser thread waits no longer than that.
        XLockGuard guard(m_lock);
        out.reserve(first + m_inUse.size());
        for (_X_R_PACKETCOUNTER* r : m_inUse) {
            XLedgerCell& cell = XRecordPool::cellOf(r);
            XNetPair& p = out.emplace_back();
            p.pid = cell.pid;
            p.remoteAddress = r->address;
            p.portClass = cell.portClass;
            for (int d = 0; d < 2; ++d) {
                p.bytes[d] = cell.bytes[d];
                p.packets[d] = cell.packets[d];
            }
            cell.inUse = false;
        }
        m_inUse.clear();
        std::swap(m_overflow, m_taken);
    }
    m_taken.drain(m_scratch);
    out.insert(out.end(), m_scratch.begin(), m_scratch.end());
    for (size_t i = first; i < out.size(); ++i)
        out[i].protocol = protocol;
}
