#include "core/TrafficModel.h"

#include "core/RowFilter.h"

#include "capengine/XEngine.h"

#include <algorithm>
#include <cstddef>

namespace orvane {

namespace {

// Room reserved at start so that the lists of a busy machine never reallocate.
constexpr std::size_t kReserved[kTrafficKinds] = {100000, 100000, 10000};

// A stable LSD radix sort on the age, in three passes of 11, 11 and 10 bits. The engine hands
// the addresses in ascending order, so equal ages stay ordered by address. A pass whose digit
// is the same for every entry (the high digits of a list of recent ages) is skipped.
void sortByAge(std::vector<TrafficModel::AgedAddress>& entries, std::vector<TrafficModel::AgedAddress>& scratch)
{
    constexpr int kBits[] = {11, 11, 10};
    scratch.resize(entries.size());
    int shift = 0;
    for (int bits : kBits) {
        const std::uint32_t mask = (1u << bits) - 1;
        std::uint32_t counts[1u << 11] = {};
        for (const auto& e : entries)
            ++counts[(e.age >> shift) & mask];
        if (!entries.empty() && counts[(entries[0].age >> shift) & mask] == entries.size()) {
            shift += bits;
            continue;
        }
        std::uint32_t position = 0;
        for (std::uint32_t digit = 0; digit <= mask; ++digit) {
            const std::uint32_t n = counts[digit];
            counts[digit] = position;
            position += n;
        }
        for (const auto& e : entries)
            scratch[counts[(e.age >> shift) & mask]++] = e;
        entries.swap(scratch);
        shift += bits;
    }
}

} // namespace

TrafficModel::TrafficModel(XEngine& engine, WallClock::EpochSource epoch)
    : m_engine(engine), m_clock([&engine] { return engine.tick(); }, std::move(epoch))
{
    for (int kind = 0; kind < kTrafficKinds; ++kind)
        m_lists[kind].reserve(kReserved[kind]);
    m_fetch.reserve(kReserved[0]);
    m_sortKeys.reserve(kReserved[0]);
    m_sortScratch.reserve(kReserved[0]);
}

const std::vector<ItemEntry>* TrafficModel::listOf(XTrafficKind kind) const
{
    return kind >= 0 && kind < kTrafficKinds ? &m_lists[kind] : nullptr;
}

std::vector<ItemEntry>* TrafficModel::listOf(XTrafficKind kind)
{
    return kind >= 0 && kind < kTrafficKinds ? &m_lists[kind] : nullptr;
}

int TrafficModel::refreshList(XTrafficKind kind, bool sort)
{
    std::vector<ItemEntry>* target = listOf(kind);
    if (!target)
        return 0;
    const int n = std::max(0, m_engine.addresses(kind, m_fetch));
    const std::size_t count = std::min<std::size_t>(std::size_t(n), m_fetch.size());
    std::vector<ItemEntry>& list = m_filters[kind] ? m_read[kind] : *target;
    list.resize(count);
    if (!sort) {
        for (std::size_t i = 0; i < count; ++i)
            list[i] = {m_fetch[i].address, m_fetch[i].lastUpdate};
        return m_filters[kind] ? refilter(kind) : int(count);
    }
    // Read after the fetch, so that no stamp is younger than now.
    const std::uint32_t now = m_engine.tick();
    m_sortKeys.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        m_sortKeys[i] = {now - m_fetch[i].lastUpdate, m_fetch[i].address};
    sortByAge(m_sortKeys, m_sortScratch);
    for (std::size_t i = 0; i < count; ++i)
        list[i] = {m_sortKeys[i].address, now - m_sortKeys[i].age};
    return m_filters[kind] ? refilter(kind) : int(count);
}

void TrafficModel::setFilter(XTrafficKind kind, RowFilter* filter)
{
    std::vector<ItemEntry>* shown = listOf(kind);
    if (!shown || m_filters[kind] == filter)
        return;
    if (!m_filters[kind])
        m_read[kind] = *shown;  // the shown list was the whole read until now
    m_filters[kind] = filter;
    if (!filter) {
        *shown = std::move(m_read[kind]);
        m_read[kind].clear();
    }
}

int TrafficModel::refilter(XTrafficKind kind)
{
    std::vector<ItemEntry>* shown = listOf(kind);
    if (!shown)
        return 0;
    if (m_filters[kind])
        m_filters[kind]->select(m_read[kind], *shown);
    return int(shown->size());
}

int TrafficModel::unfilteredSize(XTrafficKind kind) const
{
    if (!listOf(kind))
        return 0;
    return m_filters[kind] ? int(m_read[kind].size()) : size(kind);
}

int TrafficModel::size(XTrafficKind kind) const
{
    const std::vector<ItemEntry>* list = listOf(kind);
    return list ? int(list->size()) : 0;
}

std::uint32_t TrafficModel::ipAt(XTrafficKind kind, int position) const
{
    const std::vector<ItemEntry>* list = listOf(kind);
    if (!list || position < 0 || std::size_t(position) >= list->size())
        return 0;
    return (*list)[std::size_t(position)].address;
}

int TrafficModel::indexOfIp(XTrafficKind kind, std::uint32_t address) const
{
    const std::vector<ItemEntry>* entries = listOf(kind);
    if (!entries || address == 0)
        return -1;
    const std::vector<ItemEntry>& list = *entries;
    const auto found = std::find_if(list.begin(), list.end(), [address](const ItemEntry& e) { return e.address == address; });
    return found == list.end() ? -1 : int(found - list.begin());
}

bool TrafficModel::itemDataAt(XTrafficKind kind, int position, XTrafficRow& out) const
{
    const std::uint32_t address = ipAt(kind, position);
    return address != 0 && itemDataFor(kind, address, out);
}

bool TrafficModel::itemDataFor(XTrafficKind kind, std::uint32_t address, XTrafficRow& out) const
{
    if (!listOf(kind) || address == 0)
        return false;
    return m_engine.row(kind, address, out);
}

void TrafficModel::statTotals(TrafficTotals& out) const
{
    out = TrafficTotals{};
    for (XTrafficKind kind : {kTrafficTcp, kTrafficUdp}) {
        const XTrafficTotals totals = m_engine.totals(kind);
        if (!totals.exists)
            continue;
        out.recvBytes[kind] = totals.bytes[0];
        out.sentBytes[kind] = totals.bytes[1];
        out.recvPackets[kind] = totals.packets[0];
        out.sentPackets[kind] = totals.packets[1];
        out.addresses[kind] = totals.addresses;
    }
}

std::string TrafficModel::dnsNameOf(std::uint32_t address) const
{
    return m_engine.dnsName(address);
}

LocalTime TrafficModel::wallClockNow(std::uint32_t stampMs) const
{
    return m_clock.localTimeOf(stampMs);
}

const std::vector<ItemEntry>& TrafficModel::list(XTrafficKind kind) const
{
    static const std::vector<ItemEntry> empty;
    const std::vector<ItemEntry>* entries = listOf(kind);
    return entries ? *entries : empty;
}

} // namespace orvane
