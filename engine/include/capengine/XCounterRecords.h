#pragma once

#include <cstdint>

// Records handed from the counters to their readers. Addresses are IPv4 in host byte order,
// ports in network byte order as the event delivered them, times are tick milliseconds.
// Every per-direction array is indexed 0 = received, 1 = sent.

// One remote address of a counter.
struct _X_R_PACKETCOUNTER {
    uint32_t address;
    uint32_t lastUpdate;
    double bytes[2];
    double packets[2];
    uint16_t remotePort;  // of the event that created the record
    uint16_t localPort;   // of that event; 0 for TCP
    char programName[32]; // executable base name, or the chat program's display name
};

// Totals of one counter. Note the order: sent before received.
struct _X_PACKETCOUNTER_STATDATA {
    double bytesSent;
    double bytesReceived;
    double packetsSent;
    double packetsReceived;
    int32_t addresses;
};

// One entry of a threshold query.
struct _X_PACKETCOUNTER_ITEMDATA {
    uint32_t address;
    double value;
};
