#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "capengine/XEngineRows.h"
#include "hostinfo/NetIoRecord.h"

// Per-program network and disk totals of the whole run, built from the engine's one-second
// drains, with the figures of the latest interval. add() has one caller (the engine's
// sampler); read() may come from any thread.
class XProcessRunTotals {
public:
    using NameOf = std::function<std::string(uint32_t pid)>;

    // name and path are asked when a pid first appears in a drain; a name not found then is
    // asked again at its next drain.
    XProcessRunTotals(NameOf name, NameOf path);

    // One interval: the drained network and disk triples, and the interval's length.
    void add(const IoTriple* net, int netCount, const IoTriple* disk, int diskCount, uint32_t intervalMs);
    XProcessTotals read() const;

private:
    XProcessRow& rowFor(uint32_t pid);

    NameOf m_name;
    NameOf m_path;
    mutable std::mutex m_mutex;  // guards everything below
    std::map<uint32_t, XProcessRow> m_rows;
    uint32_t m_intervalMs = 0;
    int m_netReports = 0;
    int m_diskReports = 0;
    uint64_t m_samples = 0;
};
