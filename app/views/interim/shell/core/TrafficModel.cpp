#include "shell/core/TrafficModel.h"

#include "capengine/XEngine.h"
#include "shell/core/WallClock.h"

#include <algorithm>

namespace orvane {

TrafficModel::TrafficModel(XEngine& engine) : m_engine(engine) {}

int TrafficModel::refreshList(int kind, bool sort)
{
    if (!validKind(kind))
        return 0;
    m_engine.addresses(static_cast<XTrafficKind>(kind), m_fetch);
    std::vector<ItemEntry>& list = m_lists[kind];
    list.resize(m_fetch.size());
    for (std::size_t i = 0; i < m_fetch.size(); ++i)
        list[i] = {m_fetch[i].address, m_fetch[i].lastUpdate};
    if (sort) {
        const std::uint32_t now = m_engine.tick();
        std::sort(list.begin(), list.end(), [now](const ItemEntry& a, const ItemEntry& b) {
            const std::uint32_t ageA = now - a.lastUpdate, ageB = now - b.lastUpdate;
            return ageA != ageB ? ageA < ageB : a.address < b.address;
        });
    }
    return int(list.size());
}

int TrafficModel::size(int kind) const
{
    return validKind(kind) ? int(m_lists[kind].size()) : 0;
}

std::uint32_t TrafficModel::ipAt(int kind, int position) const
{
    if (!validKind(kind) || position < 0 || std::size_t(position) >= m_lists[kind].size())
        return 0;
    return m_lists[kind][std::size_t(position)].address;
}

int TrafficModel::indexOfIp(int kind, std::uint32_t address) const
{
    if (!validKind(kind) || address == 0)
        return -1;
    const auto& list = m_lists[kind];
    const auto it = std::find_if(list.begin(), list.end(), [address](const ItemEntry& e) { return e.address == address; });
    return it == list.end() ? -1 : int(it - list.begin());
}

bool TrafficModel::itemDataAt(int kind, int position, XTrafficRow& out) const
{
    const std::uint32_t address = ipAt(kind, position);
    return address != 0 && itemDataFor(kind, address, out);
}

bool TrafficModel::itemDataFor(int kind, std::uint32_t address, XTrafficRow& out) const
{
    return validKind(kind) && address != 0 && m_engine.row(static_cast<XTrafficKind>(kind), address, out);
}

std::string TrafficModel::dnsNameOf(std::uint32_t address) const
{
    return m_engine.dnsName(address);
}

LocalTime TrafficModel::wallClockNow(std::uint32_t stampMs) const
{
    const std::uint32_t age = m_engine.tick() - stampMs;
    return WallClock::localTimeOfEpoch(WallClock::systemEpochMs() - std::int64_t(age));
}

} // namespace orvane
