#pragma once

#include "core/LocalTime.h"

#include <cstdint>
#include <functional>

namespace orvane {

// Turns engine tick stamps (32-bit milliseconds that wrap after 49.7 days) into the local
// date and time they were taken at. Both clocks are read at every conversion: the stamp's
// age (now minus stamp, modulo 2^32) is taken off the current wall-clock time, so a program
// that runs for months, across clock changes and tick wrap-arounds, still prints the right
// date for anything younger than 49.7 days.
class WallClock {
public:
    using TickSource = std::function<std::uint32_t()>;
    using EpochSource = std::function<std::int64_t()>;  // milliseconds since 1970-01-01 UTC

    // epoch empty: the system's real-time clock.
    explicit WallClock(TickSource tick, EpochSource epoch = {});

    LocalTime localTimeOf(std::uint32_t stampMs) const;
    // The time zone's date and time of a moment given in milliseconds since 1970 UTC.
    static LocalTime localTimeOfEpoch(std::int64_t epochMs);
    static std::int64_t systemEpochMs();

private:
    TickSource m_tick;
    EpochSource m_epoch;
};

} // namespace orvane
