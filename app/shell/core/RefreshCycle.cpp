#include "shell/core/RefreshCycle.h"

#include "shell/core/TrafficModel.h"

#include "capengine/XEngine.h"

namespace orvane {

RefreshCycle::RefreshCycle(XEngine& engine, TrafficModel& model, RefreshTargets& targets)
    : m_engine(engine), m_model(model), m_targets(targets)
{
}

void RefreshCycle::tick(std::uint32_t nowMs, const ViewState& view)
{
    ++m_ticks;
    if (m_ticks > 1)
        m_elapsedMs = nowMs - m_lastTick;
    m_lastTick = nowMs;
    const bool even = m_ticks % 2 == 0;

    // The engine reloads its socket owner tables on every second call itself.
    m_engine.sample(nowMs);
    m_targets.refreshRanking(view.current == PageKind::Ranking && view.shown);

    TrafficTotals totals;
    m_model.statTotals(totals);
    m_targets.takeTotals(totals, m_elapsedMs);
    if (view.shown) {
        m_targets.repaintStatus();
        if (view.current == PageKind::Gauge)
            m_targets.repaintGauge();
    }
    if (view.sidePanelOpen) {
        m_targets.feedDetailPanel(m_elapsedMs);
        if (isTrafficList(view.current) && view.shown)
            m_targets.repaintDetailPanel();
    }
    if (even)
        refreshShownList(view);
    m_targets.refreshSummaryWindow();
    m_targets.sampleSummaryGraphs(view.shown);
    m_targets.refreshFloatingWindow();
}

void RefreshCycle::refreshShownList(const ViewState& view)
{
    if (!view.autoRefresh || !view.shown || !isTrafficList(view.current))
        return;
    const int kind = trafficKindOf(view.current);
    const ListShape shape = m_targets.listShape(kind);
    // A short list or the small chat list is re-read and re-sorted; a long one keeps its
    // order and only its visible rows show fresh values.
    if (shape.itemCount < shape.rowsPerPage || view.current == PageKind::ChatList)
        fullListRefresh(kind);
    else
        m_targets.repaintListRows(kind);
}

int RefreshCycle::fullListRefresh(int kind)
{
    const int count = m_model.refreshList(kind, m_targets.listShape(kind).sort);
    m_targets.listRefreshed(kind, count);
    return count;
}

} // namespace orvane
