#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/FlowAttributor.h"
#include "platform/IpFragments.h"

namespace platform {

// Turns captured frames into network events: decodes each frame, counts a later fragment of
// a datagram for the flow of its first fragment (or, when that was not seen, for the remote
// address alone), and hands every packet to the flow attributor. Capture thread only.
class CaptureIntake {
public:
    struct Stats {
        uint64_t packets = 0;             // IPv4 TCP/UDP packets handed on, fragments included
        uint64_t malformed = 0;           // frames that were not a usable IPv4 packet
        uint64_t fragments = 0;           // later fragments among the packets
        uint64_t fragmentsUnmatched = 0;  // of those, counted without ports
    };

    CaptureIntake(int linkType, FlowAttributor& attributor);

    // One frame as captured: caplen bytes at data of a frame wireLength bytes long, stamped
    // timestamp (FILETIME scale); nowMs is the monotonic time in milliseconds.
    void onFrame(const uint8_t* data, size_t caplen, size_t wireLength, uint64_t timestamp, uint64_t nowMs);

    const Stats& stats() const { return m_stats; }

private:
    int m_linkType;
    FlowAttributor& m_attributor;
    IpFragments m_fragments;
    Stats m_stats;
};

} // namespace platform
