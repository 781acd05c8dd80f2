#pragma once

#include "config/LocationTable.h"

#include <cstdlib>
#include <cstring>

// Aborts unless a normalised table is ascending and disjoint, every text is terminated inside
// its field, and every range's own addresses find it.
inline void checkLocationTable(lumivex::config::LocationTable& table)
{
    table.normalise();
    const auto& ranges = table.ranges();
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const auto& range = ranges[i];
        if (range.last < range.first || (i > 0 && range.first <= ranges[i - 1].last))
            std::abort();
        if (std::memchr(range.text, '\0', sizeof range.text) == nullptr)
            std::abort();
        if (table.find(range.first) != &range || table.find(range.last) != &range)
            std::abort();
    }
}
