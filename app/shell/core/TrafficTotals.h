#pragma once

#include <cstdint>

namespace orvane {

// Totals of every counter for the status bar and the gauges, indexed by counter kind
// (0 TCP, 1 UDP, 2 chat). Only TCP and UDP are filled: chat traffic is also TCP or UDP
// traffic and is already in those totals.
struct TrafficTotals {
    double sentBytes[3] = {0, 0, 0};
    double recvBytes[3] = {0, 0, 0};
    double sentPackets[3] = {0, 0, 0};
    double recvPackets[3] = {0, 0, 0};
    std::uint32_t addresses[3] = {0, 0, 0};
};

} // namespace orvane
