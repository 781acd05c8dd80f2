#pragma once

#include "core/LocalTime.h"
#include "core/TrafficTotals.h"
#include "core/WallClock.h"

#include "capengine/XEngineRows.h"

#include <cstdint>
#include <string>
#include <vector>

class XEngine;

namespace orvane {

class RowFilter;

// An address of a list and its last activity (engine tick, milliseconds).
struct ItemEntry {
    std::uint32_t address = 0;
    std::uint32_t lastUpdate = 0;
};

// What the traffic views read from the engine. Holds, per counter (TCP, UDP, chat), the
// ordered list of addresses of the last refresh and answers per-position and per-address
// questions for the lists. GUI thread only.
class TrafficModel {
public:

    // tick: the engine's clock, read for ages and for the wall-clock conversion. epoch: the
    // real-time clock (milliseconds since 1970 UTC), the system's when empty.
    explicit TrafficModel(XEngine& engine, WallClock::EpochSource epoch = {});

    // Re-reads the addresses of a counter. The list then holds exactly what the engine
    // reported (so a cleared counter empties its list); with sort, most recent activity
    // first, ordered by age (now minus stamp) so that tick wrap-around does not reorder it.
    // Returns the number of entries, 0 for a counter not created yet.
    int refreshList(XTrafficKind kind, bool sort);

    // Narrows a list to what a filter passes from the next refresh or refilter on (null:
    // every entry). The filter must outlive its use here.
    void setFilter(XTrafficKind kind, RowFilter* filter);
    // Applies the list's filter again to its last read, without asking the engine; returns
    // the entries shown.
    int refilter(XTrafficKind kind);
    // Entries of the last read of a list before its filter.
    int unfilteredSize(XTrafficKind kind) const;
    // Entries of the last refresh of a list.
    int size(XTrafficKind kind) const;
    // The address at position, 0 for a bad position.
    std::uint32_t ipAt(XTrafficKind kind, int position) const;
    // The position of address in the list, -1 when absent and for address 0.
    int indexOfIp(XTrafficKind kind, std::uint32_t address) const;
    // The engine's current record of the address at position / of address; false when
    // there is none.
    bool itemDataAt(XTrafficKind kind, int position, XTrafficRow& out) const;
    bool itemDataFor(XTrafficKind kind, std::uint32_t address, XTrafficRow& out) const;

    // The TCP and UDP totals; everything 0 for a counter not created yet.
    void statTotals(TrafficTotals& out) const;
    // The name learnt from DNS answers, empty when none.
    std::string dnsNameOf(std::uint32_t address) const;
    // The local date and time of an engine tick stamp.
    LocalTime wallClockNow(std::uint32_t stampMs) const;

    const std::vector<ItemEntry>& list(XTrafficKind kind) const;

    struct AgedAddress {
        std::uint32_t age;
        std::uint32_t address;
    };

private:
    // The list of a kind; a value outside the enumeration (from a cast) reads as empty.
    const std::vector<ItemEntry>* listOf(XTrafficKind kind) const;
    std::vector<ItemEntry>* listOf(XTrafficKind kind);

    XEngine& m_engine;
    WallClock m_clock;
    std::vector<ItemEntry> m_lists[kTrafficKinds];   // what the lists show
    std::vector<ItemEntry> m_read[kTrafficKinds];    // the engine's, where a filter narrows
    RowFilter* m_filters[kTrafficKinds] = {};
    std::vector<XAddressStamp> m_fetch;
    std::vector<AgedAddress> m_sortKeys;
    std::vector<AgedAddress> m_sortScratch;
};

} // namespace orvane
