#pragma once

#include "capengine/XEngineRows.h"

#include <cstdint>

namespace orvane {

// Totals of every counter for the status bar and the dashboard, indexed by XTrafficKind.
// Only TCP and UDP are filled: chat traffic is also TCP or UDP traffic and is already in
// those totals.
struct TrafficTotals {
    double sentBytes[kTrafficKinds] = {0, 0, 0};
    double recvBytes[kTrafficKinds] = {0, 0, 0};
    double sentPackets[kTrafficKinds] = {0, 0, 0};
    double recvPackets[kTrafficKinds] = {0, 0, 0};
    std::uint32_t addresses[kTrafficKinds] = {0, 0, 0};
};

} // namespace orvane
