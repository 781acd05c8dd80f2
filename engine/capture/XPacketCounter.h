#pragma once

#include <cstdint>

#include "capture/XRecordCounter.h"

class XIPCounter;
class XPCProcessInfo;

// Per-remote-address traffic counter ("tcp" and "udp"). The parser thread counts; the reads of
// XRecordCounter may come from any thread. A new address is named after the program behind
// its first event and offered to the chat-program counter.
class XPacketCounter : public XRecordCounter {
public:
    XPacketCounter(unsigned long localIP, unsigned short localPort);
    ~XPacketCounter() override;

    // Start-up, before the first count: finds the process information and the chat counter
    // registered as "other".
    void init() override;
    // The same with the collaborators given (either may be null).
    void init(XPCProcessInfo* processInfo, XIPCounter* chatCounter);

    // Parser thread only. ip in host order, ports in network order, direction 0 (received) or
    // 1 (sent); events with any other direction are not counted. pid 0 when unknown. An event
    // may stand for several packets (a flow's packets of one read interval).
    void count(unsigned long ip, unsigned short remotePort, unsigned short localPort, int size,
               int direction, unsigned long pid, int packets = 1);

private:
    void addRecord(uint32_t ip, unsigned short remotePort, unsigned short localPort, int size,
                   int direction, unsigned long pid, int packets, uint32_t now);

    XIPCounter* m_chatCounter = nullptr;
    XPCProcessInfo* m_processInfo = nullptr;
};
