#include "core/WallClock.h"

#include <chrono>
#include <ctime>

namespace orvane {

WallClock::WallClock(TickSource tick, EpochSource epoch)
    : m_tick(std::move(tick)), m_epoch(epoch ? std::move(epoch) : EpochSource(&WallClock::systemEpochMs))
{
}

LocalTime WallClock::localTimeOf(std::uint32_t stampMs) const
{
    const std::uint32_t age = m_tick() - stampMs;  // modulo 2^32: right across a wrap
    return localTimeOfEpoch(m_epoch() - std::int64_t(age));
}

LocalTime WallClock::localTimeOfEpoch(std::int64_t epochMs)
{
    std::int64_t seconds = epochMs / 1000;
    if (epochMs % 1000 < 0)
        --seconds;
    const std::time_t when = static_cast<std::time_t>(seconds);
    // GUI thread only; the standard library offers no re-entrant form of this call.
    const std::tm* local = std::localtime(&when);
    if (local == nullptr)
        return {};
    return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec};
}

std::int64_t WallClock::systemEpochMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace orvane
