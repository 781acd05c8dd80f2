#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "capture/XParserResult.h"
#include "capture/XRecordPool.h"

// What the two counters share: one record per remote address, found through a hash index by
// address and carved from a block pool, plus the read operations over them. Reads take the lock, so any
// thread may call them while the parser thread counts; a clear() takes effect for readers at
// once and releases the records at the parser thread's next count.
class XRecordCounter : public XParserResult {
public:
    void clear() override;
    int size() override;
    int getIPs(unsigned long* ips, unsigned long* ticks, unsigned long minTick, int max) override;
    int getItemIPs(int type, _X_PACKETCOUNTER_ITEMDATA* items, double threshold, int max) override;
    bool getIPdata(unsigned long ip, _X_R_PACKETCOUNTER& out) override;
    unsigned long getStatData(_X_PACKETCOUNTER_STATDATA& out) override;

    // Any thread: pointers to the counter's own records in creation order, at most max. They
    // stay valid until the parser thread's next count after a clear().
    int getCounters(_X_R_PACKETCOUNTER** out, int max);
    // Any thread: copies of every record (address included), in creation order, taken under
    // the lock. Returns the number copied.
    int copyRecords(std::vector<_X_R_PACKETCOUNTER>& out);

    // Start-up, before the first count: where count() takes the time of an event (tick
    // milliseconds). The system's tick when never set.
    void setClock(std::function<uint32_t()> clock);

    // Any thread: records that could not be created because the pool had no room.
    uint64_t poolFailures() const { return m_pool.failures(); }
    // Any thread: blocks currently allocated.
    int blockCount();
    // Start-up or tests: caps the record pool at this many 2048-record blocks (0 = no cap).
    void setMaxBlocks(int maxBlocks);

protected:
    XRecordCounter(unsigned long localIP, unsigned short localPort, int type);

    // Releases the records when a clear is pending; the caller holds m_lock.
    void applyPendingClear();
    // Called by applyPendingClear() just before the records go, with m_lock held.
    virtual void releasingRecords() {}
    // Whether getIPs lists this record; the caller holds m_lock.
    virtual bool listedByGetIPs(const _X_R_PACKETCOUNTER&) const { return true; }
    // Records a new address; the caller holds m_lock. False when it could not be indexed
    // (the record went back to the pool).
    bool insertRecord(_X_R_PACKETCOUNTER* record);
    // The time of an event being counted.
    uint32_t now() const;

    std::unordered_map<uint32_t, _X_R_PACKETCOUNTER*> m_records;
    bool m_clearPending = false;
    std::atomic<int> m_recordCount{0};
    XRecordPool m_pool;
    std::function<uint32_t()> m_clock;
};
