#pragma once

#include "core/tick/TickSnapshot.h"
#include "core/ViewState.h"
#include "core/dashboard/DashboardRates.h"
#include "core/processes/ProcessMeter.h"
#include "core/summary/SystemSampler.h"

#include <cstdint>

class XEngine;

namespace orvane {

class TrafficModel;

// Everything the window measures once a tick, in one place: the engine's sample, the
// per-program figures, the traffic totals and the dashboard's rates, CPU and memory, and on
// every second tick the refresh of the traffic list on show. Each tick gives one snapshot;
// nothing else reads the machine on the timer. It also tells the engine whether disk speeds
// are on screen, so that the engine may sample them less often while they are not. GUI
// thread only.
class TickSampler {
public:
    // machine: the CPU and memory readers (the system's unless a test gives its own).
    TickSampler(XEngine& engine, TrafficModel& model, SystemSampler machine = SystemSampler());

    // One tick at engine tick nowMs, for the window as it stands.
    TickSnapshot sample(std::uint32_t nowMs, const ViewState& view);

    std::uint32_t ticks() const { return m_ticks; }

private:
    ListRefresh refreshShownList(const ViewState& view);
    void askForDiskRates(const ViewState& view);
    void measureRates(TickSnapshot& s);

    XEngine& m_engine;
    TrafficModel& m_model;
    SystemSampler m_machine;
    ProcessMeter m_programs;
    DashboardRates m_rates;
    std::uint32_t m_ticks = 0;
    std::uint32_t m_elapsedMs = 0;
    std::uint32_t m_lastTick = 0;
    int m_diskRatesAsked = -1;  // what the engine was last told: 0, 1, or -1 for nothing yet
};

} // namespace orvane
