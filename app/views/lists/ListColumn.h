#pragma once

#include <span>

namespace orvane {

enum class CellAlign { Left, Centre, Right };

// One column of a skinned list: the UI text key of its header, its width and alignment.
struct ListColumn {
    const char* key;
    int width;
    CellAlign align;
};

// The columns of the traffic lists: kind 0 TCP and 1 UDP have eight, kind 2 (chat) seven.
std::span<const ListColumn> trafficColumns(int kind);

// Columns whose text is coloured by its unit letter, and columns filled while the row is
// active, in every traffic list.
constexpr bool colourByUnitColumn(int column)
{
    return column == 4 || column == 5;
}
constexpr bool markWhenActiveColumn(int column)
{
    return column == 0 || column == 3;
}

} // namespace orvane
