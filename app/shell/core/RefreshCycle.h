#pragma once

#include "shell/core/TrafficTotals.h"
#include "shell/core/ViewState.h"

#include <cstdint>

class XEngine;

namespace orvane {

class TrafficModel;

// How a traffic list stands when the cycle looks at it.
struct ListShape {
    int itemCount = 0;    // rows the list shows now
    int rowsPerPage = 0;  // rows that fit on one page
    bool sort = true;     // the list orders by recency
};

// What the refresh cycle drives: the panes of the main view. One call per step of the cycle;
// the view forwards each to its pane.
class RefreshTargets {
public:
    virtual ~RefreshTargets() = default;

    virtual void refreshRanking(bool onShow) = 0;
    // The status bar's and the gauge window's new totals.
    virtual void takeTotals(const TrafficTotals& totals, std::uint32_t elapsedMs) = 0;
    // Repaints the status bar and re-enables the title bar's links.
    virtual void repaintStatus() = 0;
    virtual void repaintGauge() = 0;
    virtual void feedDetailPanel(std::uint32_t elapsedMs) = 0;
    virtual void repaintDetailPanel() = 0;
    virtual ListShape listShape(int kind) = 0;
    // A full refresh gave the list count rows: show that many and repaint.
    virtual void listRefreshed(int kind, int count) = 0;
    // Repaints the visible rows only; their values are fetched afresh, the order stays.
    virtual void repaintListRows(int kind) = 0;
    virtual void refreshSummaryWindow() = 0;
    virtual void sampleSummaryGraphs(bool repaint) = 0;
    virtual void refreshFloatingWindow() = 0;
};

// The main view's one-second cycle. The view's timer is its only caller; every window's
// update hangs off it, in a fixed order.
class RefreshCycle {
public:
    RefreshCycle(XEngine& engine, TrafficModel& model, RefreshTargets& targets);

    // One timer tick at engine tick nowMs.
    void tick(std::uint32_t nowMs, const ViewState& view);
    // Re-reads, re-sorts and shows a traffic list (on every tick that asks for it, and
    // whenever a list is brought on show).
    int fullListRefresh(int kind);

    std::uint32_t ticks() const { return m_ticks; }
    std::uint32_t elapsedMs() const { return m_elapsedMs; }

private:
    void refreshShownList(const ViewState& view);

    XEngine& m_engine;
    TrafficModel& m_model;
    RefreshTargets& m_targets;
    std::uint32_t m_ticks = 0;
    std::uint32_t m_elapsedMs = 0;
    std::uint32_t m_lastTick = 0;
};

} // namespace orvane
