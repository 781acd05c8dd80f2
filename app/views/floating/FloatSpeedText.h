#pragma once

// Stand-in for formatFloatSpeed of the shared value formatters, which are not on this branch
// yet: replaced by shell/core/ValueFormat.h when they are merged.

#include <cstdint>
#include <string>

namespace orvane::floatstrip {

struct SpeedText {
    std::string text;
    std::uint32_t rgb = 0;  // 0xRRGGBB
};

// G from 1e8 ("%.2f" and a bare "G"), " M/S" from 1e6 ("%.2f") in blue, " K/S" from 1000
// ("%.1f") in yellow, else the value rounded with " /S" in light grey.
SpeedText speedText(double bytesPerSecond);

} // namespace orvane::floatstrip
