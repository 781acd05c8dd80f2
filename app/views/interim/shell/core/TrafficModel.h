#pragma once

#include "shell/core/LocalTime.h"

#include "capengine/XEngineRows.h"

#include <cstdint>
#include <string>
#include <vector>

class XEngine;

namespace orvane {

struct ItemEntry {
    std::uint32_t address = 0;
    std::uint32_t lastUpdate = 0;
};

// The address lists of the three counters as the views read them (the operations the views
// use, with the shell's names). GUI thread only.
class TrafficModel {
public:
    static constexpr int kKinds = 3;

    explicit TrafficModel(XEngine& engine);

    // Re-reads a counter's addresses; with sort, most recent activity first.
    int refreshList(int kind, bool sort);
    int size(int kind) const;
    std::uint32_t ipAt(int kind, int position) const;
    int indexOfIp(int kind, std::uint32_t address) const;
    bool itemDataAt(int kind, int position, XTrafficRow& out) const;
    bool itemDataFor(int kind, std::uint32_t address, XTrafficRow& out) const;
    std::string dnsNameOf(std::uint32_t address) const;
    LocalTime wallClockNow(std::uint32_t stampMs) const;

private:
    static bool validKind(int kind) { return kind >= 0 && kind < kKinds; }

    XEngine& m_engine;
    std::vector<ItemEntry> m_lists[kKinds];
    std::vector<XAddressStamp> m_fetch;
};

} // namespace orvane
