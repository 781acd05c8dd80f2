#pragma once

#include <cstdint>

namespace platform {

enum : uint8_t { kProtoTcp = 1, kProtoUdp = 2 };
enum : uint8_t { kDirReceive = 0, kDirSend = 1 };

// IPv4 TCP or UDP traffic of one flow in one direction (one packet, or what a flow carried in
// one read interval), attributed to the local process that owns it.
struct NetEvent {
    uint64_t timestamp = 0;   // FILETIME scale (see Clock.h)
    uint32_t pid = 0;         // owner; 0 when no local socket owns the flow
    uint32_t size = 0;        // IP total lengths: headers included
    uint32_t packets = 1;     // packets the event stands for: one captured packet, or a flow's
                              // packets of one read interval
    uint32_t remoteAddr = 0;  // network order
    uint16_t remotePort = 0;  // network order
    uint16_t localPort = 0;   // network order
    uint8_t protocol = 0;     // kProtoTcp or kProtoUdp
    uint8_t direction = 0;    // kDirSend or kDirReceive
};

// Storage bytes a process read and wrote since the previous sample.
struct DiskEvent {
    uint64_t timestamp = 0;   // FILETIME scale
    uint32_t pid = 0;
    uint64_t readBytes = 0;
    uint64_t writeBytes = 0;
};

// Receives the events of an IoEventSource. onNetEvent is called on the capture thread only,
// onDiskEvent on the disk sampler thread only.
class IoEventSink {
public:
    virtual ~IoEventSink() = default;
    virtual void onNetEvent(const NetEvent& event) = 0;
    virtual void onDiskEvent(const DiskEvent& event) = 0;
};

} // namespace platform
