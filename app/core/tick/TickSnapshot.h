#pragma once

#include "core/MachineFigures.h"
#include "core/TrafficTotals.h"
#include "core/ViewState.h"
#include "core/dashboard/DashboardRates.h"
#include "core/processes/ProgramRecord.h"

#include "capengine/XEngineRows.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace orvane {

// What the traffic list on show does in a tick.
struct ListRefresh {
    enum class Action {
        None,  // nothing: an odd tick, automatic refresh off, the window away or no list on show
        Full,  // re-read and re-sorted: show count rows
        Rows,  // a list longer than a page keeps its order: repaint the visible rows' values
    };
    Action action = Action::None;
    XTrafficKind kind = kTrafficTcp;
    int count = 0;
};

// Everything one refresh tick measured, taken together and never changed afterwards. The
// panes paint from it and keep what they need of it until the next one.
struct TickSnapshot {
    std::uint32_t tick = 0;       // 1 for the first tick
    std::uint32_t nowMs = 0;      // the engine tick it was taken at
    std::uint32_t elapsedMs = 0;  // since the previous tick; 0 for the first
    ViewState view;               // the window as the tick found it

    TrafficTotals totals;         // TCP and UDP totals for the status bar
    bool ratesFresh = false;      // the dashboard's rates were computed (not on the first tick)
    DashboardRateValues rates{};  // the dashboard's nine shown rates
    MachineFigures machine;       // CPU, memory, disk and network speeds, busiest programs
    // Every program of the process monitor, by name; shared, since the process list keeps
    // the last one for its re-sorts.
    std::shared_ptr<const std::vector<ProgramRecord>> programs;
    ListRefresh list;
};

} // namespace orvane
