#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// What the event source needs from one captured frame.
struct DecodedPacket {
    uint8_t protocol = 0;     // kProtoTcp or kProtoUdp
    uint8_t direction = 0;    // kDirSend or kDirReceive
    bool tcpSyn = false;      // SYN without ACK: a connection is being opened
    uint32_t size = 0;        // IP total length
    uint32_t localAddr = 0;   // network order
    uint32_t remoteAddr = 0;
    uint16_t localPort = 0;   // network order
    uint16_t remotePort = 0;
};

enum class DecodeResult {
    Ok,
    Ignored,     // not ours to count: loopback device, another host's frame, not IPv4 TCP/UDP
    Fragment,    // a non-first IPv4 fragment: no ports to attribute it by
    Malformed,   // truncated or inconsistent headers
};

// Link types of the "any" device: Linux cooked capture v1 and v2.
constexpr int kLinkLinuxSll = 113;
constexpr int kLinkLinuxSll2 = 276;

// Decodes a frame of the given link type; reads nothing beyond data[caplen - 1].
// wireLength is the frame's original length (used when a segmentation-offload frame
// carries an IP total length of 0).
DecodeResult decodeCapturedPacket(int linkType, const uint8_t* data, size_t caplen,
                                  size_t wireLength, DecodedPacket& out);

} // namespace platform
