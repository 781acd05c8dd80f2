#pragma once

#include "capengine/XEngine.h"
#include "capture/XDNSRecord.h"
#include "capture/XPacketCounter.h"
#include "capture/XParserResultMgr.h"

#include <cstdint>
#include <memory>

// An engine made from parts for the window program's tests and benchmarks: a registry whose
// "tcp" and "udp" counters are filled through their own count(), a DNS cache, and a tick
// clock the caller moves.
class TestEngine {
public:
    TestEngine();

    XEngine& engine() { return *m_engine; }
    XDNSRecord& dns() { return m_dns; }

    // The counter of "tcp" or "udp", registered on first use (a counter that was never
    // asked for does not exist, as before the first event of its protocol).
    XPacketCounter& counter(const char* name);
    // One event: size bytes to (direction 1) or from (0) a host-order address.
    void count(const char* name, uint32_t address, int size, int direction, uint16_t remotePort = 0xBB01);

    uint32_t now = 100000;

private:
    XParserResultMgr m_registry;
    XDNSRecord m_dns{""};
    std::unique_ptr<XEngine> m_engine;
};
