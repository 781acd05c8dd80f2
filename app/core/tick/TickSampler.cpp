#include "core/tick/TickSampler.h"

#include "core/TrafficModel.h"

#include "capengine/XEngine.h"

#include <utility>

namespace orvane {

TickSampler::TickSampler(XEngine& engine, TrafficModel& model, SystemSampler machine)
    : m_engine(engine), m_model(model), m_machine(std::move(machine))
{
}

TickSnapshot TickSampler::sample(std::uint32_t nowMs, const ViewState& view)
{
    ++m_ticks;
    if (m_ticks > 1)
        m_elapsedMs = nowMs - m_lastTick;
    m_lastTick = nowMs;

    TickSnapshot s;
    s.tick = m_ticks;
    s.nowMs = nowMs;
    s.elapsedMs = m_elapsedMs;
    s.view = view;

    askForDiskRates(view);
    // The engine reloads its socket owner tables on every second call itself.
    m_engine.sample(nowMs);
    m_programs.update(m_engine.processTotals());
    s.programs = std::make_shared<const std::vector<ProgramRecord>>(m_programs.recordList());
    const ProgramFigures& programs = m_programs.figures();
    s.machine.diskRead = programs.diskRead;
    s.machine.diskWrite = programs.diskWrite;
    s.machine.busiestDisk = programs.busiestDisk;
    s.machine.busiestNet = programs.busiestNet;

    m_model.statTotals(s.totals);
    measureRates(s);
    s.machine.cpuPercent = m_machine.cpuUsage();
    s.machine.memoryPercent = m_machine.memoryUsage();
    if (m_ticks % 2 == 0)
        s.list = refreshShownList(view);
    return s;
}

void TickSampler::askForDiskRates(const ViewState& view)
{
    const int wanted = view.diskRatesOnShow() ? 1 : 0;
    if (wanted == m_diskRatesAsked)
        return;
    m_diskRatesAsked = wanted;
    m_engine.setDiskRatesNeeded(wanted == 1);
}

void TickSampler::measureRates(TickSnapshot& s)
{
    RateTotals rates;
    rates.tcpSentBytes = s.totals.sentBytes[kTrafficTcp];
    rates.tcpReceivedBytes = s.totals.recvBytes[kTrafficTcp];
    rates.udpSentBytes = s.totals.sentBytes[kTrafficUdp];
    rates.udpReceivedBytes = s.totals.recvBytes[kTrafficUdp];
    for (int kind = 0; kind < kTrafficKinds; ++kind) {
        rates.sentPackets += s.totals.sentPackets[kind];
        rates.receivedPackets += s.totals.recvPackets[kind];
    }
    s.ratesFresh = m_rates.update(rates, s.elapsedMs);
    s.rates = m_rates.shown();
    s.machine.download = m_rates.downloadSpeed();
    s.machine.upload = m_rates.uploadSpeed();
}

ListRefresh TickSampler::refreshShownList(const ViewState& view)
{
    if (!view.autoRefresh || !view.shown || !isTrafficList(view.current))
        return {};
    ListRefresh refresh;
    refresh.kind = trafficKindOf(view.current);
    // A short list or the small chat list is re-read and re-sorted; a long one keeps its
    // order and only its visible rows show fresh values.
    if (view.list.itemCount < view.list.rowsPerPage || view.current == Page::ChatList) {
        refresh.action = ListRefresh::Action::Full;
        refresh.count = m_model.refreshList(refresh.kind, view.list.sort);
    } else {
        refresh.action = ListRefresh::Action::Rows;
    }
    return refresh;
}

} // namespace orvane
