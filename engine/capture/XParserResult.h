#pragma once

#include <cstdint>

#include "capengine/XCounterRecords.h"
#include "corekit/XLock.h"

// The read interface of every counter. The parser thread counts; any other thread (the GUI)
// may call the read operations and clear() at any time: each result guards its data with its
// own lock. Pointers handed out by getCounters() stay valid until the next count() after a
// clear().
class XParserResult {
public:
    enum Type { kPacketCounter = 1, kIPCounter = 2 };

    // Kept for readers of the exported interface; the engine leaves them at 0.
    static unsigned long m_lastIPAddress;
    static double m_staticIPBytes;
    static double m_staticUserIPBytes;

    // Any thread: true when ip, port and type all equal this result's.
    virtual bool match(unsigned long ip, unsigned short port, int type);
    // Any thread: marks the result for clearing; the totals and size() read 0 at once.
    virtual void clear() = 0;
    // Any thread: number of records.
    virtual int size() = 0;
    // Any thread: addresses and their last update in ascending address order.
    virtual int getIPs(unsigned long* ips, unsigned long* ticks, unsigned long minTick, int max) = 0;
    // Any thread: records whose measure (type 1..6) exceeds threshold, in creation order.
    virtual int getItemIPs(int type, _X_PACKETCOUNTER_ITEMDATA* items, double threshold, int max) = 0;
    // Any thread: copies the record of ip into out (all fields but the address).
    virtual bool getIPdata(unsigned long ip, _X_R_PACKETCOUNTER& out) = 0;
    // Any thread: fills the totals; returns the tick of the last event counted.
    virtual unsigned long getStatData(_X_PACKETCOUNTER_STATDATA& out) = 0;
    // Any thread: 0 received, 1 sent, anything else both.
    virtual double getTotalPackets(int which);
    virtual double getTotalBytes(int which);
    virtual ~XParserResult();
    // Start-up, before the first count.
    virtual void init() = 0;

    int getType() const { return m_type; }
    unsigned long getLocalIP() const { return m_localIP; }
    unsigned short getLocalPort() const { return m_localPort; }

protected:
    XParserResult(unsigned long localIP, unsigned short localPort, int type);
    XParserResult(const XParserResult&) = delete;
    XParserResult& operator=(const XParserResult&) = delete;

    // Adds one event (of packets packets) to the totals; the caller holds m_lock. Directions
    // other than 0 and 1 are not counted.
    void addTotals(int direction, double size, uint32_t now, double packets = 1);
    // Zeroes the totals; the caller holds m_lock.
    void resetTotals();

    const unsigned long m_localIP;
    const unsigned short m_localPort;
    double m_totalBytes[2] = {0, 0};
    double m_totalPackets[2] = {0, 0};
    uint32_t m_lastUpdate = 0;
    const int m_type;
    // Guards every field above that changes and all the records of the derived counter.
    XLock m_lock;
};
