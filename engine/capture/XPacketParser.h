#pragma once

#include "hostinfo/NetIoRecord.h"

// A packet parser: turns queued datagrams and per-process network events into the engine's
// counters and names. Every operation but init() runs on the parser thread.
class XPacketParser {
public:
    // One datagram from a listener's queue, IP header first; direction is kNetIoSend for one
    // this host sent, kNetIoReceive for one it received. A negative len means the queue was
    // empty and is ignored.
    virtual void parser(int direction, const char* data, int len) = 0;
    // One per-process network event.
    virtual void parserSock(const ORVANEPRO_NetIo& io) = 0;
    // After every pass of the parser thread over its work, at least once a second: work that
    // is due by the clock rather than by a datagram.
    virtual void tick() {}
    // Start-up, before the parser thread runs.
    virtual void init() = 0;
    // Datagrams are ignored from now on; events are still counted.
    virtual void stop() = 0;
    virtual ~XPacketParser() = default;

protected:
    int XPackerParser() { return 0; }
};
