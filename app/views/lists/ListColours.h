#pragma once

#include "shell/core/ValueFormat.h"

#include <string_view>

// The fixed colours of the skinned lists (traffic lists, ranking, connections, processes).
namespace orvane::listcolour {

inline constexpr Rgb evenRow{32, 44, 40};
inline constexpr Rgb oddRow{39, 54, 49};
inline constexpr Rgb selectedRow{0, 146, 63};
inline constexpr Rgb belowRows{39, 54, 49};
inline constexpr Rgb activeCell{184, 97, 18};
inline constexpr Rgb text{210, 210, 216};
inline constexpr Rgb kilo{255, 245, 0};
inline constexpr Rgb mega{220, 0, 220};
inline constexpr Rgb giga{214, 136, 41};
inline constexpr Rgb headerBackground{2, 98, 2};
inline constexpr Rgb headerFrame{168, 102, 68};

// Even, odd or selected.
constexpr Rgb row(int index, bool selected)
{
    return selected ? selectedRow : index % 2 == 0 ? evenRow : oddRow;
}

// Byte cells of the traffic lists: the unit letter at the end of the text.
Rgb byLastUnitLetter(std::string_view text);
// Value cells of the process list: the first unit letter found in the text ("0" and texts
// without a unit keep the default colour).
Rgb byUnitLetter(std::string_view text);

} // namespace orvane::listcolour
