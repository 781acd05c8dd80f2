#pragma once

#include "core/MachineFigures.h"
#include "core/processes/ProgramRecord.h"

#include "capengine/XEngineRows.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orvane {

// What the meter publishes for the summary panes after every update.
struct ProgramFigures {
    std::uint32_t diskRead = 0;   // sums of every program's shown disk speeds
    std::uint32_t diskWrite = 0;
    BusiestProgram busiestDisk;   // largest shown read + write
    BusiestProgram busiestNet;    // largest shown download + upload
};

// The per-program network and disk speeds of the process monitor, measured from the
// engine's per-process totals once a tick. Processes of the same executable share a record;
// disk speeds of one name add up, the network speed is the last process's. Speeds halve
// while no process at all reports. Disk bytes the kernel's own writeback threads moved are
// shown under "System", or handed to the process that is busiest on the disk when it
// plausibly caused them. A program none of whose processes the engine has listed as running
// for kForgetAfterMs leaves the table, and the table never holds more than kRecordLimit
// programs (those not seen running for longest go first). GUI thread only.
class ProcessMeter {
public:
    static constexpr const char* kSystemName = "System";
    static constexpr std::uint64_t kForgetAfterMs = 30ull * 60 * 1000;
    static constexpr std::size_t kRecordLimit = 2048;

    // One tick: the engine's per-process totals after its sample. An update without a new
    // engine sample changes nothing.
    void update(const XProcessTotals& totals);

    const std::map<std::string, ProgramRecord>& records() const { return m_records; }
    // The records by name, as a tick hands them on.
    std::vector<ProgramRecord> recordList() const;
    // The record of a program name ("" holds the processes that had none).
    const ProgramRecord* find(const std::string& name) const;
    const ProgramFigures& figures() const { return m_figures; }
    // The pid whose disk rate led the last interval, and that rate (bytes per second).
    std::uint32_t busiestProcess() const { return m_busiestPid; }
    std::uint32_t busiestRate() const { return m_busiestRate; }
    // Processes whose run totals the meter follows: those the engine still lists.
    std::size_t followedProcesses() const { return m_processes.size(); }

    // Kernel threads that write back dirty pages and journals for every program.
    static bool isWritebackThread(const XProcessRow& row);

private:
    // The bytes one process (or the writeback threads together) moved in the interval.
    struct ProcessBytes {
        ProgramRecord* record;
        std::uint32_t pid;
        std::uint64_t in;   // bytes read / received
        std::uint64_t out;  // bytes written / sent
    };
    // A process: its pid and start time.
    struct ProcessKey {
        std::uint32_t pid;
        std::uint64_t started;
        friend auto operator<=>(const ProcessKey&, const ProcessKey&) = default;
    };
    // A process's run totals at the previous update.
    struct RunTotals {
        std::uint64_t received = 0, sent = 0, read = 0, written = 0;
        std::uint64_t seenAt = 0;  // the update that last found it in the engine's list
    };

    ProgramRecord* identify(const XProcessRow& row);
    // The record of the program a running process belongs to, when it has one, marked as
    // seen now.
    void markRunning(const XProcessRow& row);
    void forgetGonePrograms();
    ProgramRecord& systemRecord();
    void reattributeSystemDisk(std::vector<ProcessBytes>& disk, const std::vector<ProcessBytes>& candidates,
                               double seconds);
    void applyDisk(const std::vector<ProcessBytes>& disk, double seconds);
    void applyNet(const std::vector<ProcessBytes>& net, double seconds);
    void forgetEndedProcesses();
    void publish();

    std::map<std::string, ProgramRecord> m_records;
    std::map<std::string, std::uint64_t> m_seenAt;  // per record: m_clockMs when last seen running
    std::uint64_t m_clockMs = 0;                    // the intervals measured so far, added up
    std::map<ProcessKey, RunTotals> m_processes;
    std::uint64_t m_samples = 0;
    bool m_diskReported = false;  // the previous interval had disk figures
    bool m_netReported = false;
    std::uint32_t m_busiestPid = 0;
    std::uint32_t m_busiestRate = 0;
    ProgramFigures m_figures;
};

} // namespace orvane
