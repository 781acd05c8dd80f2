#pragma once

#include <cstdint>

namespace lumivex::config {

// One address range of the location data, addresses in host byte order.
struct LocationRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;   // inclusive
    char text[32] = {};       // UTF-8, NUL-terminated inside the field
};

} // namespace lumivex::config
