#pragma once

#include "capengine/XEngine.h"
#include "capture/XDNSRecord.h"
#include "capture/XParserResultMgr.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class XIPCounter;
class XPacketCounter;
class XPCProcessInfo;

// An engine made from components for the window program's tests and benchmarks: "tcp",
// "udp" and "other" (chat) counters filled through their own count(), a DNS cache, programs
// by pid, a fixed socket list and a tick clock the test moves.
class TestEngine {
public:
    TestEngine();
    ~TestEngine();

    XEngine& engine() { return *m_engine; }
    XDNSRecord& dns() { return m_dns; }
    XPCProcessInfo& processes() { return *m_processes; }

    // One event of size bytes to (direction 1) or from (0) a host-order address; remotePort
    // in host order; pid names the record after the program's image in programs.
    void count(XTrafficKind kind, std::uint32_t address, int size, int direction, std::uint16_t remotePort = 443,
               std::uint32_t pid = 0);
    // Registers the counter of a kind now (a counter is otherwise made on its first event).
    XPacketCounter& counter(XTrafficKind kind);

    std::uint32_t now = 100000;
    std::map<std::uint32_t, std::string> programs;  // pid -> image path
    std::vector<XSocketRow> sockets;

private:
    XParserResultMgr m_registry;
    XDNSRecord m_dns{""};
    std::unique_ptr<XPCProcessInfo> m_processes;
    XIPCounter* m_chat = nullptr;
    std::unique_ptr<XEngine> m_engine;
};
