#include "platform/FlowAttributor.h"

#include <algorithm>

namespace platform {

FlowAttributor::FlowAttributor(FlowOwnerSource& owners, IoEventSink& sink)
    : FlowAttributor(owners, sink, Options{})
{
}

FlowAttributor::FlowAttributor(FlowOwnerSource& owners, IoEventSink& sink, Options options)
    : m_owners(owners), m_sink(sink), m_options(options)
{
    m_flows.reserve(4096);
}

void FlowAttributor::deliver(NetEvent event, uint32_t pid)
{
    event.pid = pid;
    m_sink.onNetEvent(event);
    ++m_stats.delivered;
}

void FlowAttributor::ask(const FlowKey& key, Flow& flow, uint64_t nowMs, bool opening)
{
    flow.state = FlowState::Pending;
    flow.askedMs = nowMs;
    // A connection being opened is looked up at once, within a budget that keeps a flood of
    // new connections from stalling capture.
    if (opening && nowMs / 1000 != m_urgentSecond) {
        m_urgentSecond = nowMs / 1000;
        m_urgentUsed = 0;
    }
    const bool urgent = opening && m_urgentUsed < m_options.urgentPerSecond;
    m_urgentUsed += urgent;
    m_stats.urgentLookups += urgent;
    if (!(urgent ? m_owners.requestUrgent(key) : m_owners.request(key)))
        ++m_stats.lookupQueueFull;  // its events go on without an owner when they time out
}

void FlowAttributor::onPacket(const FlowKey& key, const NetEvent& event, bool tcpSyn, uint64_t nowMs)
{
    if (key.localPort == 0 && key.remotePort == 0) {
        deliver(event, 0);  // no socket to look up: a fragment whose first part was not seen
        return;
    }
    if (m_lastFlow && !tcpSyn && key == m_lastKey && m_lastFlow->state == FlowState::Known &&
        m_lastFlow->pid != 0 && nowMs - m_lastFlow->lastUsedMs < 1000) {
        m_lastFlow->lastUsedMs = nowMs;
        deliver(event, m_lastFlow->pid);
        return;
    }
    auto [it, inserted] = m_flows.try_emplace(key);
    Flow& flow = it->second;
    m_lastKey = key;
    m_lastFlow = &flow;
    if (inserted) {
        // A datagram a local socket sends may be all that socket ever does: find it now.
        const bool udpSend = key.protocol == kProtoUdp && event.direction == kDirSend;
        ask(key, flow, nowMs, tcpSyn || udpSend);
    } else if (flow.state == FlowState::Known) {
        const bool stale = flow.pid == 0 ? nowMs - flow.askedMs >= m_options.unownedRetryMs
                                         : nowMs - flow.lastUsedMs >= m_options.ownedIdleMs;
        if (tcpSyn || stale)
            ask(key, flow, nowMs, tcpSyn);
    } else if (nowMs - flow.askedMs >= m_options.holdMs) {
        ask(key, flow, nowMs, false);  // the earlier lookup was refused or lost
    }
    flow.lastUsedMs = nowMs;

    if (flow.state == FlowState::Known) {
        deliver(event, flow.pid);
        return;
    }
    if (m_held.size() >= m_options.maxHeld) {
        ++m_stats.holdOverflows;
        deliver(event, 0);
        return;
    }
    m_held.push_back({key, event, nowMs + m_options.holdMs});
}

void FlowAttributor::poll(uint64_t nowMs)
{
    m_answers.clear();
    m_owners.takeAnswers(m_answers);
    for (const FlowOwnerAnswer& answer : m_answers) {
        const auto it = m_flows.find(answer.key);
        if (it == m_flows.end())
            continue;
        it->second.state = FlowState::Known;
        it->second.pid = answer.pid;
        if (answer.pid != 0)
            ++m_stats.flowsResolved;
        else
            ++m_stats.flowsUnowned;
    }

    if (!m_held.empty()) {
        size_t kept = 0;
        for (Held& held : m_held) {
            const auto it = m_flows.find(held.key);
            if (it != m_flows.end() && it->second.state == FlowState::Known) {
                deliver(held.event, it->second.pid);
            } else if (nowMs >= held.deadlineMs) {
                ++m_stats.heldTimeouts;
                deliver(held.event, 0);
            } else {
                m_held[kept++] = held;
            }
        }
        m_held.resize(kept);
    }

    if (nowMs - m_lastSweepMs >= 1000 || m_flows.size() > m_options.maxFlows)
        sweep(nowMs);
}

void FlowAttributor::sweep(uint64_t nowMs)
{
    m_lastSweepMs = nowMs;
    m_lastFlow = nullptr;
    // Idle flows go whatever their state: a flow whose lookup was refused or lost stays
    // pending until its next packet, and may never see one.
    const uint64_t idle = std::max(m_options.ownedIdleMs, m_options.unownedRetryMs);
    for (auto it = m_flows.begin(); it != m_flows.end();) {
        if (nowMs - it->second.lastUsedMs >= idle) {
            it = m_flows.erase(it);
            ++m_stats.cacheEvictions;
        } else {
            ++it;
        }
    }
    if (m_flows.size() <= m_options.maxFlows)
        return;
    // Still too many live flows: forget the known ones and those whose lookup is overdue;
    // they are looked up again when seen. Events still waiting for a forgotten flow go on
    // without an owner at their deadline.
    for (auto it = m_flows.begin(); it != m_flows.end();) {
        const Flow& flow = it->second;
        if (flow.state == FlowState::Known || nowMs - flow.askedMs >= m_options.holdMs) {
            it = m_flows.erase(it);
            ++m_stats.cacheEvictions;
        } else {
            ++it;
        }
    }
}

void FlowAttributor::flush()
{
    for (const Held& held : m_held) {
        const auto it = m_flows.find(held.key);
        const bool known = it != m_flows.end() && it->second.state == FlowState::Known;
        deliver(held.event, known ? it->second.pid : 0);
    }
    m_held.clear();
}

} // namespace platform
