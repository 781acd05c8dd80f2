#pragma once

#include "capengine/XEngineRows.h"

#include <span>

namespace orvane {

// One measure the ranking can order addresses by: the wide UI text key of its name, the
// counter, the engine's measure selector and the value an address must exceed.
struct RankCategory {
    const char* key;
    XTrafficKind kind;
    int measure;  // 1 bytes in, 2 bytes out, 3 both; 4 packets in, 5 out, 6 both
    double threshold;
};

// The twelve categories: TCP then UDP; all, received, sent bytes; then the same in packets.
std::span<const RankCategory> rankCategories();

} // namespace orvane
