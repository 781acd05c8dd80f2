#pragma once

#include "config/TextUtil.h"

#include <cstdint>
#include <string>

namespace orvane {

// One program's speeds in bytes per second: disk read and write, network down and up.
struct IoSpeeds {
    std::uint32_t read = 0, write = 0, down = 0, up = 0;
    friend bool operator==(const IoSpeeds&, const IoSpeeds&) = default;
};

// One program's bytes since it first appeared.
struct IoTotals {
    std::uint64_t read = 0, write = 0, down = 0, up = 0;
    friend bool operator==(const IoTotals&, const IoTotals&) = default;
};

// One program (one executable name) of the process monitor.
struct ProgramRecord {
    std::uint32_t pid = 0;  // the last process that mapped to this name
    bool diskSeen = false;  // the first disk figure only arms the speeds
    bool netSeen = false;
    IoSpeeds shown;         // what the list shows (smoothed while figures start or stop)
    IoSpeeds current;       // this interval
    IoSpeeds previous;      // the interval before
    IoTotals totals;
    std::string name;  // empty: the process had no name
    std::string path;
};

// The name a program is shown by: its name with hidden characters made visible, or
// "PID:<pid>" when it had none.
inline std::string displayName(const ProgramRecord& r)
{
    return r.name.empty() ? "PID:" + std::to_string(r.pid) : lumivex::config::visibleText(r.name);
}

} // namespace orvane
