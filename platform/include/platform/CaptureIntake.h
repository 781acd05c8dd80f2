#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/FlowAttributor.h"
#include "platform/IpFragments.h"

namespace platform {

// Turns captured frames into network events: decodes each frame, refuses what the host's
// stack would drop (see decodeCapturedPacket), holds the fragments of a fragmented datagram
// until it is complete and then counts every fragment for the datagram's flow, and hands
// every packet to the flow attributor. Capture thread only.
class CaptureIntake {
public:
    struct Stats {
        uint64_t packets = 0;              // IPv4 TCP/UDP packets handed on, fragments included
        uint64_t malformed = 0;            // frames that were not a usable IPv4 packet
        uint64_t fragments = 0;            // later fragments among the packets
        uint64_t fragmentsIncomplete = 0;  // fragments given up, as the stack gives them up
    };

    CaptureIntake(int linkType, FlowAttributor& attributor);

    // One frame as captured: caplen bytes at data of a frame wireLength bytes long, stamped
    // timestamp (FILETIME scale); nowMs is the monotonic time in milliseconds.
    void onFrame(const uint8_t* data, size_t caplen, size_t wireLength, uint64_t timestamp, uint64_t nowMs);
    // Gives up fragmented datagrams that waited too long; once a second is enough.
    void poll(uint64_t nowMs);
    // The end of the capture: what still waits for its missing fragments is given up.
    void finish();

    const Stats& stats() const { return m_stats; }

private:
    void hand(const DecodedPacket& packet, uint64_t timestamp, uint64_t nowMs);
    void handDatagram(uint64_t nowMs);

    int m_linkType;
    FlowAttributor& m_attributor;
    IpFragments m_fragments;
    std::vector<IpFragments::Held> m_complete;
    uint64_t m_nextExpiry = 0;
    Stats m_stats;
};

} // namespace platform
