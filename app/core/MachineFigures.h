#pragma once

#include <cstdint>
#include <string>

namespace orvane {

// The busiest program of one kind of I/O and its speed (bytes per second).
struct BusiestProgram {
    std::uint32_t speed = 0;  // 0 when no program did any
    std::string name;
    friend bool operator==(const BusiestProgram&, const BusiestProgram&) = default;
};

// The machine's figures of one tick, as the summary panes and the floating strip show them.
struct MachineFigures {
    int cpuPercent = 0;
    int memoryPercent = 0;
    std::uint32_t diskRead = 0;   // bytes per second, all programs
    std::uint32_t diskWrite = 0;
    std::uint32_t download = 0;   // bytes per second of all captured traffic
    std::uint32_t upload = 0;
    BusiestProgram busiestDisk;   // read + write
    BusiestProgram busiestNet;    // download + upload
};

} // namespace orvane
