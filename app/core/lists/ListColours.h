#pragma once

#include "core/ValueFormat.h"

// The fixed colours of the skinned lists (traffic lists, ranking, connections, processes).
// Value cells take theirs from the formatter.
namespace orvane::listcolour {

inline constexpr Rgb evenRow{32, 44, 40};
inline constexpr Rgb oddRow{39, 54, 49};
inline constexpr Rgb selectedRow{0, 146, 63};
inline constexpr Rgb belowRows{39, 54, 49};
inline constexpr Rgb activeCell{184, 97, 18};
inline constexpr Rgb text = valuecolor::listText;
inline constexpr Rgb headerBackground{2, 98, 2};
inline constexpr Rgb headerFrame{168, 102, 68};

// Even, odd or selected.
constexpr Rgb row(int index, bool selected)
{
    return selected ? selectedRow : index % 2 == 0 ? evenRow : oddRow;
}

} // namespace orvane::listcolour
