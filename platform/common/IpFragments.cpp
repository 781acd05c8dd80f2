#include "platform/IpFragments.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace platform {

IpFragments::IpFragments(uint64_t keepMs, size_t maxDatagrams)
    : m_keepMs(keepMs), m_maxDatagrams(std::max<size_t>(maxDatagrams, 1))
{
}

size_t IpFragments::KeyHash::operator()(const Key& k) const
{
    uint64_t a = (uint64_t(k.remoteAddr) << 32) | k.localAddr;
    a ^= ((uint64_t(k.ipId) << 16) | (uint64_t(k.protocol) << 8) | k.direction) * 0x9E3779B97F4A7C15ull;
    a ^= a >> 29;
    return size_t(a * 0xBF58476D1CE4E5B9ull);
}

IpFragments::Key IpFragments::keyOf(const DecodedPacket& p)
{
    return Key{p.localAddr, p.remoteAddr, p.ipId, p.protocol, p.direction};
}

void IpFragments::makeRoom(uint64_t nowMs)
{
    for (auto it = m_datagrams.begin(); it != m_datagrams.end();)
        it = nowMs - it->second.seenMs >= m_keepMs ? m_datagrams.erase(it) : std::next(it);
    if (m_datagrams.size() < m_maxDatagrams)
        return;
    // Still full: the older half goes, so that a flood of fragments costs one pass per half
    // table rather than one per datagram.
    std::vector<uint64_t> seen;
    seen.reserve(m_datagrams.size());
    for (const auto& entry : m_datagrams)
        seen.push_back(entry.second.seenMs);
    const auto middle = seen.begin() + long(seen.size() / 2);
    std::nth_element(seen.begin(), middle, seen.end());
    const uint64_t cut = *middle;
    for (auto it = m_datagrams.begin(); it != m_datagrams.end();)
        it = it->second.seenMs <= cut ? m_datagrams.erase(it) : std::next(it);
}

void IpFragments::onFirst(const DecodedPacket& first, uint64_t nowMs)
{
    if (m_datagrams.size() >= m_maxDatagrams)
        makeRoom(nowMs);
    m_datagrams.insert_or_assign(keyOf(first), Ports{first.localPort, first.remotePort, nowMs});
}

bool IpFragments::onLater(DecodedPacket& later, uint64_t nowMs)
{
    const auto it = m_datagrams.find(keyOf(later));
    if (it == m_datagrams.end() || nowMs - it->second.seenMs >= m_keepMs) {
        if (it != m_datagrams.end())
            m_datagrams.erase(it);
        later.localPort = later.remotePort = 0;
        return false;
    }
    later.localPort = it->second.localPort;
    later.remotePort = it->second.remotePort;
    if (!later.moreFragments)
        m_datagrams.erase(it);  // the last fragment
    return true;
}

} // namespace platform
