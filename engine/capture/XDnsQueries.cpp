#include "capture/XDnsQueries.h"

#include <algorithm>

#include "capture/XAsciiCase.h"

XDnsQueries::XDnsQueries(size_t maxPending) : m_maxPending(std::max<size_t>(maxPending, 1))
{
}

size_t XDnsQueries::KeyHash::operator()(const Key& k) const
{
    uint64_t a = (uint64_t(k.localAddr) << 32) | k.serverAddr;
    a ^= ((uint64_t(k.localPort) << 16) | k.id) * 0x9E3779B97F4A7C15ull;
    a ^= a >> 31;
    return size_t(a * 0xBF58476D1CE4E5B9ull);
}

bool XDnsQueries::current(const Sent& sent) const
{
    const auto it = m_pending.find(sent.key);
    return it != m_pending.end() && it->second.serial == sent.serial;
}

void XDnsQueries::expire(uint32_t nowMs)
{
    while (!m_order.empty()) {
        const Sent& oldest = m_order.front();
        if (current(oldest)) {
            if (uint32_t(nowMs - oldest.sentMs) < kWindowMs)
                return;
            m_pending.erase(oldest.key);  // unanswered and too old to be answered
        }
        m_order.pop_front();
    }
}

bool XDnsQueries::add(const Key& key, std::string_view question, uint32_t nowMs, std::string* answer)
{
    expireHeld(nowMs);
    for (auto it = m_held.begin(); it != m_held.end(); ++it) {
        if (it->key == key && equalsIgnoreCase(it->question, question)) {
            if (answer)
                *answer = std::move(it->message);
            m_held.erase(it);
            ++m_heldAnswered;
            return true;
        }
    }
    expire(nowMs);
    if (m_pending.size() >= m_maxPending && !m_pending.count(key)) {
        // The front is the oldest query still waiting: it makes room.
        m_pending.erase(m_order.front().key);
        m_order.pop_front();
        ++m_dropped;
    }
    Pending& pending = m_pending[key];
    pending.question.assign(question);
    pending.sentMs = nowMs;
    pending.serial = ++m_serial;
    m_order.push_back(Sent{key, pending.serial, nowMs});
    // Answered and replaced queries stay in the order until they reach its front; when they
    // outnumber the waiting ones, they go at once.
    if (m_order.size() > 2 * m_maxPending)
        std::erase_if(m_order, [this](const Sent& sent) { return !current(sent); });
    return false;
}

void XDnsQueries::hold(const Key& key, std::string_view question, std::string_view message, uint32_t nowMs)
{
    expireHeld(nowMs);
    if (message.size() > kMaxHeldBytes) {
        ++m_heldGaveUp;
        return;
    }
    if (m_held.size() >= kMaxHeld) {
        m_held.pop_front();
        ++m_heldGaveUp;
    }
    m_held.push_back(Held{key, std::string(question), std::string(message), nowMs});
}

void XDnsQueries::expireHeld(uint32_t nowMs)
{
    while (!m_held.empty() && uint32_t(nowMs - m_held.front().heldMs) >= kHoldMs) {
        m_held.pop_front();
        ++m_heldGaveUp;
    }
}

bool XDnsQueries::take(const Key& key, std::string_view question, uint32_t nowMs)
{
    const auto it = m_pending.find(key);
    if (it == m_pending.end())
        return false;
    if (uint32_t(nowMs - it->second.sentMs) >= kWindowMs) {
        m_pending.erase(it);
        return false;
    }
    if (!equalsIgnoreCase(it->second.question, question))
        return false;
    m_pending.erase(it);
    return true;
}
