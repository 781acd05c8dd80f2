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

// The start of what a local program sent on an outgoing flow, as captured: a TCP segment's
// payload (that may begin a TLS ClientHello) or a UDP datagram's (a QUIC Initial). The bytes
// are valid during the call only.
struct HandshakePayload {
    uint32_t remoteAddr = 0;  // network order
    uint16_t remotePort = 0;  // network order
    uint16_t localPort = 0;   // network order
    uint8_t protocol = 0;     // kProtoTcp or kProtoUdp
    uint32_t tcpSeq = 0;      // TCP: sequence number of data[0], host order
    const uint8_t* data = nullptr;
    uint32_t size = 0;        // bytes captured of the payload
};

// Receives the events of an IoEventSource. onNetEvent is called on the capture thread only,
// onDiskEvent on the disk sampler thread only.
class IoEventSink {
public:
    virtual ~IoEventSink() = default;
    virtual void onNetEvent(const NetEvent& event) = 0;
    virtual void onDiskEvent(const DiskEvent& event) = 0;
    // Capture thread: a payload a source took for naming (see HandshakePayload); sources that
    // take none never call it.
    virtual void onHandshakePayload(const HandshakePayload& payload) { (void)payload; }
    // Capture thread: a DNS query a local program sent (a UDP datagram to port 53), as the
    // kernel copied it before it left: the datagram's first size bytes, IP header first, which
    // hold the DNS header and the question (the rest may be cut). Valid during the call only.
    // Only sources whose suppliesDnsQueries() is true call it.
    virtual void onDnsQuery(const uint8_t* data, uint32_t size)
    {
        (void)data;
        (void)size;
    }
};

} // namespace platform
