#include "platform/IpFragments.h"

#include <algorithm>
#include <iterator>

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

void IpFragments::giveUp(std::unordered_map<Key, Datagram, KeyHash>::iterator it, size_t more)
{
    m_dropped += it->second.fragments.size() + more;
    m_datagrams.erase(it);
}

void IpFragments::expire(uint64_t nowMs)
{
    for (auto it = m_datagrams.begin(); it != m_datagrams.end();) {
        const auto next = std::next(it);
        if (nowMs - it->second.firstSeenMs >= m_keepMs)
            giveUp(it);
        it = next;
    }
}

void IpFragments::clear()
{
    while (!m_datagrams.empty())
        giveUp(m_datagrams.begin());
}

void IpFragments::makeRoom(uint64_t nowMs)
{
    expire(nowMs);
    if (m_datagrams.size() < m_maxDatagrams)
        return;
    // Still full: the older half goes, so that a flood of fragments costs one pass per half
    // table rather than one per datagram.
    std::vector<uint64_t> seen;
    seen.reserve(m_datagrams.size());
    for (const auto& entry : m_datagrams)
        seen.push_back(entry.second.firstSeenMs);
    const auto middle = seen.begin() + long(seen.size() / 2);
    std::nth_element(seen.begin(), middle, seen.end());
    const uint64_t cut = *middle;
    for (auto it = m_datagrams.begin(); it != m_datagrams.end();) {
        const auto next = std::next(it);
        if (it->second.firstSeenMs <= cut)
            giveUp(it);
        it = next;
    }
}

IpFragments::Filed IpFragments::insert(Datagram& d, const DecodedPacket& fragment, uint64_t timestamp)
{
    const uint32_t begin = fragment.fragmentOffset;
    const uint32_t end = begin + fragment.payloadLength;
    const bool last = !fragment.moreFragments;
    // As the stack: a second last fragment with another end, or data beyond the end, spoil
    // the datagram.
    const uint32_t furthest = d.fragments.empty() ? 0
                                                  : d.fragments.back().packet.fragmentOffset +
                                                        d.fragments.back().packet.payloadLength;
    const auto at = std::ranges::find_if(d.fragments, [begin](const Held& h) { return h.packet.fragmentOffset >= begin; });
    if (at != d.fragments.end() && at->packet.fragmentOffset == begin && at->packet.payloadLength == fragment.payloadLength)
        return Filed::Repeated;
    if (last && ((d.haveLast && end != d.end) || furthest > end))
        return Filed::Spoiled;
    if (!last && d.haveLast && end > d.end)
        return Filed::Spoiled;
    if (at != d.fragments.end() && at->packet.fragmentOffset < end)
        return Filed::Spoiled;  // overlaps the next one
    if (at != d.fragments.begin()) {
        const DecodedPacket& before = std::prev(at)->packet;
        if (before.fragmentOffset + before.payloadLength > begin)
            return Filed::Spoiled;  // overlaps the one before
    }
    if (d.fragments.size() >= kMaxFragments)
        return Filed::Spoiled;
    d.fragments.insert(at, Held{fragment, timestamp});
    if (last) {
        d.haveLast = true;
        d.end = end;
    }
    if (fragment.fragment == FragmentPart::First)
        d.haveFirst = true;
    return Filed::Added;
}

bool IpFragments::complete(const Datagram& d)
{
    if (!d.haveFirst || !d.haveLast)
        return false;
    uint32_t covered = 0;
    for (const Held& h : d.fragments) {
        if (h.packet.fragmentOffset != covered)
            return false;
        covered += h.packet.payloadLength;
    }
    return covered == d.end;
}

bool IpFragments::add(const DecodedPacket& fragment, uint64_t timestamp, uint64_t nowMs, std::vector<Held>& out)
{
    const Key key = keyOf(fragment);
    auto it = m_datagrams.find(key);
    if (it != m_datagrams.end() && nowMs - it->second.firstSeenMs >= m_keepMs) {
        giveUp(it);
        it = m_datagrams.end();
    }
    if (it == m_datagrams.end()) {
        if (m_datagrams.size() >= m_maxDatagrams)
            makeRoom(nowMs);
        it = m_datagrams.emplace(key, Datagram{}).first;
        it->second.firstSeenMs = nowMs;
    }
    switch (insert(it->second, fragment, timestamp)) {
    case Filed::Added:
        break;
    case Filed::Repeated:
        ++m_dropped;  // the stack keeps the first copy only
        return false;
    case Filed::Spoiled:
        giveUp(it, 1);
        return false;
    }
    if (!complete(it->second))
        return false;
    const DecodedPacket& first = it->second.fragments.front().packet;
    const uint16_t localPort = first.localPort, remotePort = first.remotePort;
    for (Held& h : it->second.fragments) {
        h.packet.localPort = localPort;
        h.packet.remotePort = remotePort;
        out.push_back(h);
    }
    m_datagrams.erase(it);
    return true;
}

} // namespace platform
