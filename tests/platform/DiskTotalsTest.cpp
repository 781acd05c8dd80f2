#include <gtest/gtest.h>

#include "platform/linux/DiskTotals.h"

namespace {

using platform::DiskTotals;
using platform::ProcessExit;

constexpr uint64_t kSecond = 1000000000ull;

// Rounds one second apart; the first at t = 10 s.
class DiskTotalsTest : public ::testing::Test {
protected:
    void round() { m_totals.beginRound(m_now += kSecond); }

    // The bytes a sample counts, {0, 0} when it counts none.
    std::pair<uint64_t, uint64_t> sample(uint32_t pid, uint64_t read, uint64_t written)
    {
        DiskTotals::Delta d;
        if (!m_totals.sample(pid, read, written, d))
            return {0, 0};
        EXPECT_EQ(d.pid, pid);
        return {d.readBytes, d.writeBytes};
    }

    std::pair<uint64_t, uint64_t> exited(uint32_t pid, uint64_t startNs, uint64_t read, uint64_t written)
    {
        DiskTotals::Delta d;
        if (!m_totals.exited(ProcessExit{pid, startNs, read, written, ""}, d))
            return {0, 0};
        EXPECT_EQ(d.pid, pid);
        return {d.readBytes, d.writeBytes};
    }

    using Bytes = std::pair<uint64_t, uint64_t>;
    DiskTotals m_totals;
    uint64_t m_now = 9 * kSecond;
};

TEST_F(DiskTotalsTest, LiveProcessesCountFromTheBaselineOrFromZero)
{
    round();
    EXPECT_EQ(sample(100, 5000, 7000), Bytes(0, 0));  // the baseline
    m_totals.endRound();
    round();
    EXPECT_EQ(sample(100, 5100, 7000), Bytes(100, 0));
    EXPECT_EQ(sample(200, 40, 50), Bytes(40, 50));  // born after the baseline
    m_totals.endRound();
    round();
    EXPECT_EQ(sample(100, 10, 20), Bytes(10, 20));  // counters went back: a new process
}

TEST_F(DiskTotalsTest, EveryByteOfAnEndedProcessIsCountedOnce)
{
    round();
    sample(100, 1000, 1000);
    sample(101, 0, 0);
    m_totals.endRound();
    const uint64_t started = m_now + kSecond / 2;

    round();
    sample(100, 1500, 1000);
    // Sampled once, then ended between rounds: what it did after the sample.
    sample(300, 10, 0);
    m_totals.endRound();
    EXPECT_EQ(exited(300, started, 25, 4), Bytes(15, 4));
    // Born and ended between two rounds, never sampled: all of it.
    EXPECT_EQ(exited(400, started, 7, 9), Bytes(7, 9));
    // From before the baseline and never sampled: its bytes cannot be told from older ones.
    EXPECT_EQ(exited(500, m_now - 5 * kSecond, 7, 9), Bytes(0, 0));

    round();
    // Could not be read this round (it ended); its exit comes later and counts from its last
    // sample, not from zero.
    m_totals.endRound();
    EXPECT_EQ(m_totals.waitingForExit(), 2u);
    EXPECT_EQ(exited(100, 0, 1800, 1000), Bytes(300, 0));
    EXPECT_EQ(exited(100, 0, 1800, 1000), Bytes(0, 0));  // counted once
}

TEST_F(DiskTotalsTest, AnExitOfALaterProcessWithThePidLeavesTheSampledOneAlone)
{
    round();
    sample(600, 1000, 1000);
    m_totals.endRound();
    // The sampled process ended unseen; a later one took the pid over and ended too.
    EXPECT_EQ(exited(600, m_now + kSecond / 2, 30, 30), Bytes(30, 30));
    EXPECT_EQ(exited(600, m_now - kSecond, 1200, 1000), Bytes(200, 0));
}

TEST_F(DiskTotalsTest, AProcessGoneForSeveralRoundsIsForgotten)
{
    round();
    sample(700, 10, 10);
    m_totals.endRound();
    for (int i = 0; i < 3; ++i) {
        round();
        m_totals.endRound();
        EXPECT_EQ(m_totals.waitingForExit(), 1u);
    }
    round();
    m_totals.endRound();
    EXPECT_EQ(m_totals.waitingForExit(), 0u);
}

} // namespace
