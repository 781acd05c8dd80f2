#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "capengine/XEngineRows.h"
#include "hostinfo/NetIoRecord.h"

// Per-process network and disk totals of the whole run, built from the engine's one-second
// drains, with the figures of the latest interval. A process is its pid and its start time:
// a pid the system hands to a new process starts a new row. Rows of processes that ended are
// folded into one row per program name, so the run's totals survive while the table stays
// bounded by the processes that run. add() has one caller (the engine's sampler); read() may
// come from any thread.
class XProcessRunTotals {
public:
    using NameOf = std::function<std::string(uint32_t pid)>;
    using StartOf = std::function<uint64_t(uint32_t pid)>;  // 0: no process has the pid

    // Processes followed at once; beyond that the one idle longest is folded early (and
    // starts a new row should it have traffic again).
    static constexpr size_t kMaxProcesses = 4096;
    // Programs with an ended row; the ended processes of further programs share the row of
    // the empty name.
    static constexpr size_t kMaxEndedPrograms = 1024;
    // add() calls between two looks at which of the idle processes have ended.
    static constexpr uint64_t kSweepSamples = 16;

    // name and path are asked when a pid first appears in a drain; a name not found then is
    // asked again at its next drain. start empty: every process counts as running, started
    // at 0 (nothing is ever folded but by the bound).
    XProcessRunTotals(NameOf name, NameOf path, StartOf start = {});

    // A process's program as its row names it.
    struct Program {
        std::string name;
        std::string path;
    };
    using Programs = std::unordered_map<uint32_t, Program>;

    // One interval: the drained network and disk triples, and the interval's length. Triples
    // of pid 0 (traffic no process owned) count in the unowned totals. programs, when given,
    // receives the program of every pid of this interval's triples.
    void add(const IoTriple* net, int netCount, const IoTriple* disk, int diskCount, uint32_t intervalMs,
             Programs* programs = nullptr);
    XProcessTotals read() const;
    // The program of a pid: its live row's name and path, else what name and path say now.
    Program programOf(uint32_t pid) const;

private:
    struct Process {
        XProcessRow row;
        uint64_t activeAt = 0;  // the add() that last gave it bytes
    };
    using Live = std::map<uint32_t, Process>;

    XProcessRow& rowFor(uint32_t pid);
    // Moves a process's totals into its program's ended row and forgets it.
    Live::iterator fold(Live::iterator process);
    void foldEnded();
    void foldIdlest();

    NameOf m_name;
    NameOf m_path;
    StartOf m_start;
    mutable std::mutex m_mutex;  // guards everything below
    Live m_live;
    std::map<std::string, XProcessRow> m_ended;
    uint32_t m_intervalMs = 0;
    int m_netReports = 0;
    int m_diskReports = 0;
    uint64_t m_samples = 0;
    uint64_t m_unownedReceived = 0;
    uint64_t m_unownedSent = 0;
};
