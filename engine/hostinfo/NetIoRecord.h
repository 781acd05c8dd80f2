#pragma once

#include <cstdint>

// One per-process network event, as the kernel I/O trace delivers it to the parser thread.
struct ORVANEPRO_NetIo {
    uint32_t processId;      // owner reported by the event source; 0 when none
    uint32_t bytesSent;      // size when direction = 1, else 0 (headers included)
    uint32_t bytesReceived;  // size when direction = 0, else 0 (headers included)
    uint32_t remoteAddr;     // network byte order
    uint16_t remotePort;     // network byte order
    uint16_t localPort;      // network byte order; always 0 for TCP
    uint16_t protocol;       // 1 = TCP, 2 = UDP
    uint16_t direction;      // 1 = send, 0 = receive
    uint32_t packets;        // packets the event stands for; 0 counts as 1
};

enum : uint16_t { kNetIoTcp = 1, kNetIoUdp = 2 };
enum : uint16_t { kNetIoReceive = 0, kNetIoSend = 1 };

// Element of the per-process I/O drains: {process id, bytes in, bytes out}; in = read (disk)
// or received (network), out = written (disk) or sent (network). 64-bit: a second of a fast
// link or disk overflows 32 bits. Network drains also carry the packets both ways; disk drains
// leave them 0.
struct IoTriple {
    uint32_t pid;
    uint64_t in;
    uint64_t out;
    uint64_t packetsIn = 0;
    uint64_t packetsOut = 0;
};

constexpr uint32_t kLoopbackNetOrder = 0x0100007F;  // 127.0.0.1 as it lies in memory
