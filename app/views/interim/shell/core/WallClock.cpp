#include "shell/core/WallClock.h"

#include <chrono>
#include <ctime>

namespace orvane {

LocalTime WallClock::localTimeOfEpoch(std::int64_t epochMs)
{
    const std::time_t seconds = std::time_t(epochMs / 1000);
    const std::tm* tm = std::localtime(&seconds);
    if (!tm)
        return {};
    return {tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec};
}

std::int64_t WallClock::systemEpochMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace orvane
