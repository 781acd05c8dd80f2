#pragma once

#include <array>

namespace orvane {

struct CellRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const CellRect&, const CellRect&) = default;
};

// Where chart i (0-8) of the dashboard's curve mode sits in a client area of the given
// size: a 3 x 3 grid, row i / 3, column i % 3, cells at least 145 x 82 pixels (so a narrow
// window crops the grid rather than shrinking it).
CellRect curveCell(int index, int clientWidth, int clientHeight);

// Top-left corner of gauge i (0-8) in the gauge mode: three per row, 15 pixels apart, rows
// 35 pixels apart (room for the title under each dial); width and height are the first
// gauge's image size.
CellRect gaugeCell(int index, int gaugeWidth, int gaugeHeight);

// The four thresholds of a rate's scale, lowest first.
using RateScale = std::array<double, 4>;
inline constexpr RateScale kByteRateScale{51200, 512000, 1048576, 10485760};
inline constexpr RateScale kPacketRateScale{50, 500, 1024, 5120};

// The gauge's sweep in degrees (0-180) for a value on a four-band scale: each band takes a
// quarter of the dial and is linear inside, as the charts' vertical scale is; at and above
// the top threshold the dial is full.
double gaugeSweep(double value, const RateScale& scale);

} // namespace orvane
