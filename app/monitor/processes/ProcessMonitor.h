#pragma once

#include "capengine/XEngineRows.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orvane {

// One program (one executable name) of the process monitor: its shown, current and previous
// speeds (bytes per second) and its totals since it first appeared.
struct ProgramRecord {
    std::uint32_t pid = 0;  // the last process that mapped to this name
    bool diskSeen = false;  // the first disk figure only arms the speeds
    bool netSeen = false;
    std::uint32_t shownRead = 0, shownWrite = 0, shownDown = 0, shownUp = 0;
    std::uint32_t currentRead = 0, currentWrite = 0, currentDown = 0, currentUp = 0;
    std::uint32_t previousRead = 0, previousWrite = 0, previousDown = 0, previousUp = 0;
    std::uint64_t readTotal = 0, writeTotal = 0, downTotal = 0, upTotal = 0;
    std::string name;  // empty: the process had no name (shown as "PID:<pid>")
    std::string path;
};

// A program and its speed, for the summary window.
struct ProgramSpeed {
    std::uint32_t speed = 0;
    std::string name;
};

// What the monitor publishes for the summary window after every update.
struct ProcessFigures {
    std::uint32_t diskRead = 0;   // sums of every program's shown disk speeds
    std::uint32_t diskWrite = 0;
    ProgramSpeed busiestDisk;     // largest shown read + write
    ProgramSpeed busiestNet;      // largest shown download + upload
};

// The per-program network and disk speeds of the process monitor, built from the engine's
// per-process totals once a tick. Processes of the same executable share a row; disk speeds
// of one name add up, the network speed is the last process's. Speeds halve while no process
// at all reports. Disk bytes the kernel's own writeback threads moved are shown under
// "System", or handed to the process that is busiest on the disk when it plausibly caused
// them. GUI thread only.
class ProcessMonitor {
public:
    static constexpr int kColumns = 9;
    static constexpr int kInitialSortColumn = 3;
    static constexpr const char* kSystemName = "System";

    // One tick: the engine's per-process totals after its sample. An update without a new
    // engine sample changes nothing.
    void update(const XProcessTotals& totals);

    const std::map<std::string, ProgramRecord>& records() const { return m_records; }
    // The record of a program name ("" holds the processes that had none).
    const ProgramRecord* find(const std::string& name) const;
    const ProcessFigures& figures() const { return m_figures; }
    // The pid whose disk rate led the last interval, and that rate (bytes per second).
    std::uint32_t busiestProcess() const { return m_busiestPid; }
    std::uint32_t busiestRate() const { return m_busiestRate; }

    // Sorting: a click on the sort column reverses the order; on another column makes it the
    // sort column in the same direction.
    void clickColumn(int column);
    int sortColumn() const { return m_sortColumn; }
    bool descending() const { return m_descending; }
    // The records in the current order.
    std::vector<const ProgramRecord*> sortedRows() const;

    static std::string cellText(const ProgramRecord& record, int column);
    // Byte counts and speeds of the value columns: 999, "1.0 K", "1.00 M", "1.000 G", "1.0 T".
    static std::string formatValue(double value);
    // Kernel threads that write back dirty pages and journals for every program.
    static bool isWritebackThread(const XProcessRow& row);

private:
    // The bytes of one process (or of the writeback threads together) in the interval.
    struct Triple {
        ProgramRecord* record;
        std::uint32_t pid;
        std::uint64_t in;   // bytes read / received
        std::uint64_t out;  // bytes written / sent
    };
    struct PidState {
        std::uint64_t received = 0, sent = 0, read = 0, written = 0;
    };

    ProgramRecord* identify(const XProcessRow& row);
    ProgramRecord& systemRecord();
    void reattributeSystemDisk(std::vector<Triple>& disk, const std::vector<Triple>& candidates, double seconds);
    void applyDisk(const std::vector<Triple>& disk, double seconds);
    void applyNet(const std::vector<Triple>& net, double seconds);
    void publish();

    std::map<std::string, ProgramRecord> m_records;
    std::map<std::uint32_t, PidState> m_pids;
    std::uint64_t m_samples = 0;
    bool m_diskReported = false;  // the previous interval had disk figures
    bool m_netReported = false;
    std::uint32_t m_busiestPid = 0;
    std::uint32_t m_busiestRate = 0;
    ProcessFigures m_figures;
    int m_sortColumn = kInitialSortColumn;
    bool m_descending = true;
};

} // namespace orvane
