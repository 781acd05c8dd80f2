#include "capture/XPacketCounter.h"

#include <cstring>

#include "capture/XIPCounter.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/XPCProcessInfo.h"

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
            return;
        }
    }
    addRecord(address, remotePort, localPort, size, direction, pid, packets, now);
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
    _X_R_PACKETCOUNTER* r = m_pool.take();
    if (!r)
        return;
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
    insertRecord(r);
}
