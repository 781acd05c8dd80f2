#pragma once

#include "history/HistoryReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvane {

// The history chart's arithmetic: one bar per point of the series, received at the bottom and
// sent stacked on it, against a scale whose top is a round binary number (a power of two from
// 1 K, or one and a half times one) with a grid line at each quarter of it.
struct HistoryBar {
    int x = 0;      // left edge, from the chart's left
    int width = 0;  // at least 1
    int receivedHeight = 0;
    int sentHeight = 0;
    int64_t from = 0;
    uint64_t received = 0, sent = 0;
    bool labelled = false;  // a time label goes under it
};

struct HistoryBarLayout {
    std::vector<HistoryBar> bars;
    uint64_t scaleTop = 0;
    static constexpr int kGridLines = 4;  // at 1/4, 2/4, 3/4 and the whole of scaleTop
};

// The bars of points across width pixels, the tallest no higher than height. A label goes
// under every bar whose label (labelWidth pixels wide, with a gap) has room after the last,
// the first one's reaching at most half its width left of the chart, none past its right.
HistoryBarLayout layoutBars(const std::vector<history::SeriesPoint>& points, int width, int height, int labelWidth);
// The smallest round scale top at least as large as value (at least 1 K).
uint64_t roundScaleTop(uint64_t value);
// The label of a point starting at from: "14" (hour), "12-09" (day), "2026-11" (month).
std::string barLabel(int64_t from, history::Step step);

} // namespace orvane
