#pragma once

#include <cstdint>

namespace platform {

// Milliseconds of CLOCK_MONOTONIC truncated to 32 bits; wraps after about 49.7 days.
uint32_t tickCount();

// Milliseconds of a clock that never jumps and keeps counting while the machine is
// suspended (CLOCK_BOOTTIME), 64 bits.
uint64_t steadyMsWithSuspend();

// Wall-clock time in 100-nanosecond units since 1601-01-01 (the FILETIME scale).
uint64_t systemTimeFiletime();

// Converts a Unix time (seconds, microseconds) to the FILETIME scale.
uint64_t filetimeFromUnix(int64_t seconds, int64_t micros);

} // namespace platform
