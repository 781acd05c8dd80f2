#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "history/TimeRange.h"
#include "history/Tier.h"

namespace history {

// A run of whole buckets of one tier that together answer part of one point of a query.
struct PlannedPiece {
    Tier tier = Tier::FiveMinutes;
    int64_t from = 0, to = 0;  // bucket starts: from inclusive, to exclusive
    int point = 0;
};

// What each tier holds: its buckets from purgedBefore (INT64_MIN: never purged) up to
// completeUntil (the 5-minute tier: no end; a coarser tier is built for buckets that ended).
struct Horizons {
    std::array<int64_t, kTiers> purgedBefore;
    std::array<int64_t, kTiers> completeUntil;
};

// Cuts range into whole buckets, the coarsest that fit, using for each moment only the
// tiers that hold it. Where the finest tier left is coarser than the range's ends, the
// ends move to the nearest bucket boundary of that tier (the newest end rounds up to the
// next 5 minutes); a range that would shrink to nothing is answered by the bucket that
// holds its middle. Appends to out, tagging the pieces with point, and widens covered.
void planRange(const TimeRange& range, const Horizons& horizons, int point,
               std::vector<PlannedPiece>& out, TimeRange& covered);

} // namespace history
