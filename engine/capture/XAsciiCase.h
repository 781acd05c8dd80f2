#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

// Equality of two byte strings ignoring ASCII letter case (other bytes compare as they are).
inline bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
        return (x < 0x80 ? std::tolower(x) : x) == (y < 0x80 ? std::tolower(y) : y);
    });
}
