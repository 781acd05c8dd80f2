#include "capture/XRecordCounter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Clock.h"

namespace {

double measureOf(const _X_R_PACKETCOUNTER& r, int type)
{
    switch (type) {
    case 1: return r.bytes[0];
    case 2: return r.bytes[1];
    case 3: return r.bytes[0] + r.bytes[1];
    case 4: return r.packets[0];
    case 5: return r.packets[1];
    case 6: return r.packets[0] + r.packets[1];
    default: return 0;
    }
}

} // namespace

XRecordCounter::XRecordCounter(unsigned long localIP, unsigned short localPort, int type)
    : XParserResult(localIP, localPort, type)
{
}

void XRecordCounter::clear()
{
    XLockGuard guard(m_lock);
    m_clearPending = true;
    resetTotals();
    m_recordCount.store(0, std::memory_order_relaxed);
}

int XRecordCounter::size()
{
    return m_recordCount.load(std::memory_order_relaxed);
}

void XRecordCounter::applyPendingClear()
{
    if (!m_clearPending)
        return;
    releasingRecords();
    m_records.clear();
    m_pool.releaseAll();
    m_clearPending = false;
}

bool XRecordCounter::insertRecord(_X_R_PACKETCOUNTER* record)
{
    try {
        m_records.emplace(record->address, record);
    } catch (const std::bad_alloc&) {
        m_pool.giveBackLast();
        return false;
    }
    m_recordCount.fetch_add(1, std::memory_order_relaxed);
    return true;
}

int XRecordCounter::getIPs(unsigned long* ips, unsigned long* ticks, unsigned long minTick, int max)
{
    if (size() == 0 || !ips || !ticks || max <= 0)
        return 0;
    struct Listed {
        uint32_t address;
        uint32_t tick;
        bool older;  // below the minimum tick: ends the ascending walk, listed or not
    };
    // Copied under the lock, sorted by address outside it.
    std::vector<Listed> listed;
    {
        XLockGuard guard(m_lock);
        if (m_clearPending)
            return 0;
        listed.reserve(m_records.size());
        m_pool.forEach([&](const _X_R_PACKETCOUNTER* r) {
            const bool older = r->lastUpdate < minTick;
            if (older || listedByGetIPs(*r))
                listed.push_back({r->address, r->lastUpdate, older});
            return true;
        });
    }
    std::sort(listed.begin(), listed.end(),
              [](const Listed& a, const Listed& b) { return a.address < b.address; });
    int n = 0;
    for (const Listed& l : listed) {
        if (n >= max || l.older)
            break;
        ips[n] = l.address;
        ticks[n] = l.tick;
        ++n;
    }
    return n;
}

int XRecordCounter::getItemIPs(int type, _X_PACKETCOUNTER_ITEMDATA* items, double threshold, int max)
{
    if (size() < 1 || !items || max <= 0)
        return 0;
    XLockGuard guard(m_lock);
    if (m_clearPending)
        return 0;
    int n = 0;
    m_pool.forEach([&](const _X_R_PACKETCOUNTER* r) {
        const double value = measureOf(*r, type);
        if (value > threshold) {
            items[n].address = r->address;
            items[n].value = value;
            ++n;
        }
        return n < max;
    });
    return n;
}

bool XRecordCounter::getIPdata(unsigned long ip, _X_R_PACKETCOUNTER& out)
{
    if (size() == 0)
        return false;
    XLockGuard guard(m_lock);
    if (m_clearPending)
        return false;
    if (ip > UINT32_MAX)
        return false;
    const auto it = m_records.find(uint32_t(ip));
    if (it == m_records.end())
        return false;
    const _X_R_PACKETCOUNTER& r = *it->second;
    out.lastUpdate = r.lastUpdate;
    std::memcpy(out.bytes, r.bytes, sizeof out.bytes);
    std::memcpy(out.packets, r.packets, sizeof out.packets);
    out.remotePort = r.remotePort;
    out.localPort = r.localPort;
    std::memcpy(out.programName, r.programName, sizeof out.programName);
    return true;
}

unsigned long XRecordCounter::getStatData(_X_PACKETCOUNTER_STATDATA& out)
{
    XLockGuard guard(m_lock);
    out.bytesSent = m_totalBytes[1];
    out.bytesReceived = m_totalBytes[0];
    out.packetsSent = m_totalPackets[1];
    out.packetsReceived = m_totalPackets[0];
    out.addresses = m_recordCount.load(std::memory_order_relaxed);
    return m_lastUpdate;
}

int XRecordCounter::getCounters(_X_R_PACKETCOUNTER** out, int max)
{
    if (size() == 0 || !out || max <= 0)
        return 0;
    XLockGuard guard(m_lock);
    if (m_clearPending)
        return 0;
    int n = 0;
    m_pool.forEach([&](_X_R_PACKETCOUNTER* r) {
        out[n++] = r;
        return n < max;
    });
    return n;
}

int XRecordCounter::copyRecords(std::vector<_X_R_PACKETCOUNTER>& out)
{
    out.clear();
    XLockGuard guard(m_lock);
    if (m_clearPending)
        return 0;
    out.reserve(m_records.size());
    m_pool.forEach([&](const _X_R_PACKETCOUNTER* r) {
        out.push_back(*r);
        return true;
    });
    return int(out.size());
}

void XRecordCounter::setClock(std::function<uint32_t()> clock)
{
    XLockGuard guard(m_lock);
    m_clock = std::move(clock);
}

uint32_t XRecordCounter::now() const
{
    return m_clock ? m_clock() : platform::tickCount();
}

int XRecordCounter::blockCount()
{
    XLockGuard guard(m_lock);
    return m_pool.blockCount();
}

void XRecordCounter::setMaxBlocks(int maxBlocks)
{
    XLockGuard guard(m_lock);
    m_pool.setMaxBlocks(maxBlocks);
}
