#include <chrono>

#include "platform/Clock.h"

namespace platform {

namespace {
constexpr uint64_t kUnixEpochInFiletimeSeconds = 11644473600ull;
}

uint32_t tickCount()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t steadyMsWithSuspend()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t filetimeFromUnix(int64_t seconds, int64_t micros)
{
    return (uint64_t(seconds) + kUnixEpochInFiletimeSeconds) * 10000000ull + uint64_t(micros) * 10u;
}

uint64_t systemTimeFiletime()
{
    using namespace std::chrono;
    const auto micros = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return filetimeFromUnix(micros / 1000000, micros % 1000000);
}

} // namespace platform
