#pragma once

#include <cstdint>
#include <string>

namespace orvane {

// A short figure and the colour (0xRRGGBB) it is drawn in.
struct FigureText {
    std::string text;
    std::uint32_t rgb = 0;
    friend bool operator==(const FigureText&, const FigureText&) = default;
};

// A speed in a summary graph panel: G from 1e9 ("%.2f"), M from 1e6 ("%.1f"), both pale
// blue; K from 1000 ("%.1f") in yellow; below that the integer part, as narrow as it
// allows ("%3i", "%2i", "%1i"), in light grey. No space before the unit letter.
FigureText summaryPanelSpeed(double bytesPerSecond);

// The speed of a busiest program: "%.3f" G B/S from 1000 MiB/s in orange, "%.2f" M B/S
// from 1 024 000 in magenta, "%.1f" K B/S from 1000 in yellow, "%.0f B/S" below in grey.
FigureText busiestProgramSpeed(double bytesPerSecond);

} // namespace orvane
