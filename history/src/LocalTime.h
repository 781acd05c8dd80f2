#pragma once

#include <ctime>

namespace history {

// The broken-down local time of t, thread-safe on every system.
inline std::tm localTimeOf(std::time_t t)
{
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm;
}

} // namespace history
