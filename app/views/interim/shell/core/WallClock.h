#pragma once

#include "shell/core/LocalTime.h"

#include <cstdint>

namespace orvane {

// Real-time clock conversions (the two the views use, with the shell's names).
class WallClock {
public:
    // The time zone's date and time of a moment given in milliseconds since 1970 UTC.
    static LocalTime localTimeOfEpoch(std::int64_t epochMs);
    static std::int64_t systemEpochMs();
};

} // namespace orvane
