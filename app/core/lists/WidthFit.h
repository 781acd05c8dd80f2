#pragma once

#include <span>
#include <vector>

namespace orvane {

// One item of a row that shares a width: a list column, a tab.
struct WidthItem {
    int preferred = 0;    // the width it asks for; also its share when the row is too narrow
    int minimum = 0;      // it never gets less
    bool grows = false;   // it takes a share of the width left over (the name columns)
};

// The widths of items laid side by side in available pixels. When the preferred widths do not
// fit, every item gives up width in proportion to its preferred width, down to its minimum
// (and the row is wider than available when even the minimums do not fit). When they leave
// room over, the growing items share it in proportion to their preferred widths; without
// growing items the row stays narrower. The widths sum to available whenever that is
// possible.
std::vector<int> fitWidths(std::span<const WidthItem> items, int available);

} // namespace orvane
