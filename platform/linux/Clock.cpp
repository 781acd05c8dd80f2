#include "platform/Clock.h"

#include <ctime>

namespace platform {

namespace {
// Seconds from 1601-01-01 to 1970-01-01.
constexpr uint64_t kUnixEpochInFiletimeSeconds = 11644473600ull;
}

uint32_t tickCount()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
    return uint32_t(ms);
}

uint64_t steadyMsWithSuspend()
{
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

uint64_t filetimeFromUnix(int64_t seconds, int64_t micros)
{
    return (uint64_t(seconds) + kUnixEpochInFiletimeSeconds) * 10000000ull + uint64_t(micros) * 10u;
}

uint64_t systemTimeFiletime()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return (uint64_t(ts.tv_sec) + kUnixEpochInFiletimeSeconds) * 10000000ull + uint64_t(ts.tv_nsec) / 100u;
}

} // namespace platform
