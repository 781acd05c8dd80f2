#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Where a packet lies in a fragmented IPv4 datagram.
enum class FragmentPart : uint8_t {
    Whole,  // not fragmented
    First,  // offset 0, more fragments follow: carries the ports
    Later,  // offset above 0: carries no ports
};

// What the event source needs from one captured frame.
struct DecodedPacket {
    uint8_t protocol = 0;     // kProtoTcp or kProtoUdp
    uint8_t direction = 0;    // kDirSend or kDirReceive
    bool tcpSyn = false;      // SYN without ACK: a connection is being opened
    uint32_t size = 0;        // IP total length (never more than the frame carried)
    uint32_t localAddr = 0;   // network order
    uint32_t remoteAddr = 0;
    uint16_t localPort = 0;   // network order; 0 in a later fragment
    uint16_t remotePort = 0;
    FragmentPart fragment = FragmentPart::Whole;
    bool moreFragments = false;  // the IP "more fragments" flag
    uint16_t ipId = 0;           // IP identification, host order
    uint32_t fragmentOffset = 0; // where the fragment's data lies in its datagram, bytes
    uint32_t payloadLength = 0;  // bytes after the IP header
    uint16_t udpLength = 0;      // the UDP header's length field (UDP whole or first fragment)
    uint32_t dataOffset = 0;     // where the TCP/UDP payload starts in the frame (Ok only)
    uint32_t dataLength = 0;     // payload bytes the IP packet carries (not all may be captured)
    uint32_t tcpSeq = 0;         // TCP sequence number, host order
};

enum class DecodeResult {
    Ok,
    Ignored,     // not ours to count: loopback device, another host's frame, not IPv4 TCP/UDP
    Fragment,    // a later IPv4 fragment: filled in except for the ports
    Malformed,   // truncated or inconsistent headers, a length the frame does not carry, or a
                 // received packet the stack drops: a bad header checksum, a UDP length
                 // that does not fit
};

// Link types of the "any" device: Linux cooked capture v1 and v2.
constexpr int kLinkLinuxSll = 113;
constexpr int kLinkLinuxSll2 = 276;

// Decodes a frame of the given link type; reads nothing beyond data[caplen - 1].
// wireLength is the frame's original length: an IP total length above it is malformed, and a
// segmentation-offload frame that carries a total length of 0 counts it instead. A received
// packet is held to the checks the stack makes before a socket sees it: the IP header
// checksum, and a UDP length of at least 8 that fits the packet (for a fragmented datagram
// the reassembler checks it). Sent packets left this host whatever they carry.
DecodeResult decodeCapturedPacket(int linkType, const uint8_t* data, size_t caplen,
                                  size_t wireLength, DecodedPacket& out);

} // namespace platform
