#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {

// The storage I/O totals of a process that ended, all its threads together, as the kernel
// tells them when it frees the process. startNs is its start time (CLOCK_MONOTONIC); name its
// command name (perhaps cut short), empty when not known.
struct ProcessExit {
    uint32_t pid = 0;
    uint64_t startNs = 0;
    uint64_t readBytes = 0;
    uint64_t writeBytes = 0;
    std::string name;
};

// Turns samples of each live process's cumulative storage I/O (/proc/PID/io) and the final
// totals of processes that ended into the bytes each read and wrote since it was last
// counted, so that every byte is counted once: the bytes a process moved after its last sample
// are counted when it ends, also when it ended between two rounds or was never sampled at
// all. The first round is the baseline: what processes did before it is not counted. One
// thread uses an instance.
class DiskTotals {
public:
    struct Delta {
        uint32_t pid = 0;
        uint64_t readBytes = 0;
        uint64_t writeBytes = 0;
    };

    // Starts a round at nowNs (CLOCK_MONOTONIC). Exits are best given before the round's
    // samples: a process sampled after it ended would else be taken for a new one.
    void beginRound(uint64_t nowNs);
    // A sample of a live process. True with the bytes since it was last counted when there
    // are any (never in the baseline round; a process first seen later counts from zero, and
    // so does one whose counters went backwards: a new process reusing the pid).
    bool sample(uint32_t pid, uint64_t readBytes, uint64_t writeBytes, Delta& out);
    // The final totals of a process that ended. True with what it moved since it was last
    // counted when there is any; a process that started before the baseline and was never
    // sampled is not counted.
    bool exited(const ProcessExit& exit, Delta& out);
    // Ends the round: a process not sampled in it has ended (or cannot be read any longer) and
    // waits a few rounds for its exit before it is forgotten.
    void endRound();

    // The processes sampled in the last round.
    void livePids(std::vector<uint32_t>& out) const;
    size_t waitingForExit() const { return m_gone.size(); }

private:
    struct Last {
        uint64_t readBytes = 0;
        uint64_t writeBytes = 0;
        uint64_t firstSeenNs = 0;
        uint64_t round = 0;  // last round sampled (live) or the round it went (gone)
    };
    static bool take(const Last& last, const ProcessExit& exit, Delta& out);

    std::unordered_map<uint32_t, Last> m_live;
    std::unordered_map<uint32_t, Last> m_gone;
    uint64_t m_round = 0;
    uint64_t m_nowNs = 0;
    uint64_t m_baselineNs = 0;
};

} // namespace platform
