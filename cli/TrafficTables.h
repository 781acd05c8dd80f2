#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class XEngine;

// One remote address of a traffic table, ready to print.
struct TrafficRow {
    std::string address;        // dotted
    uint16_t remotePort = 0;    // host order
    std::string dnsName;
    std::string location;
    double bytesSent = 0, bytesReceived = 0;
    double packetsSent = 0, packetsReceived = 0;
    double idleSeconds = 0;     // since the last activity
    std::string program;
    std::string nameSource;     // where dnsName came from: "dns", "tls", "quic"; empty without one
};

struct TrafficTable {
    std::string name;           // "tcp", "udp" or "chat"
    std::vector<TrafficRow> rows;
};

// Location text of an address in host byte order; empty when unknown.
using LocationLookup = std::function<std::string(uint32_t hostOrderAddress)>;

// Reads the TCP, UDP and chat counters of the engine into printable tables, busiest address
// first.
std::vector<TrafficTable> readTrafficTables(XEngine& engine, const LocationLookup& location);
