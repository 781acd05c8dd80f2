#pragma once

#include <cstdint>

#include "corekit/XThread.h"

// Counters of one listener; any thread may read them.
struct XListenerStats {
    uint64_t bindFailures = 0;    // listeners whose socket could not be opened or bound (ended)
    int bindError = 0;            // the system error number of the last such failure
    uint64_t receiveErrors = 0;   // failed receives
    uint64_t received = 0;        // datagrams received
    uint64_t kept = 0;            // DNS answers handed to the queue
    uint64_t unqueued = 0;        // DNS answers lost because the listener has no queue
    uint64_t socketDrops = 0;     // datagrams the kernel dropped: the socket's buffer was full
};

// A listener: a thread that reads datagrams of the local addresses and keeps some of them in
// its packet queue. Created by XPacketMgr, which the GUI thread drives; every operation may be
// called from any thread except run(), which is the listener's own.
class XPacketListener : public XThread {
public:
    ~XPacketListener() override = default;
    virtual int init() = 0;
    virtual void listen() = 0;
    virtual void stop() = 0;
    virtual void close() = 0;
    virtual unsigned long getIp() = 0;
    virtual bool getStatus() = 0;
    virtual XListenerStats stats() const { return {}; }
};
