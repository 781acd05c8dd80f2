#pragma once

#include "capengine/XEngineRows.h"

#include <span>

namespace orvane {

// One measure the ranking can order addresses by: the wide UI text key of its name, the
// counter, the engine's measure selector and the value an address must exceed.
struct RankCategory {
    const char* key;
    XTrafficKind kind;
    XRankMeasure measure;
    double threshold;
};

// The twelve categories: TCP then UDP; all, received, sent bytes; then the same in packets.
std::span<const RankCategory> rankCategories();

} // namespace orvane
