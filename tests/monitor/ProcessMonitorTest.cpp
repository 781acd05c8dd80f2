#include "monitor/processes/ProcessMonitor.h"

#include <gtest/gtest.h>

#include <map>

using namespace orvane;

namespace {

constexpr std::uint64_t kMB = 1048576;

// What the engine's per-process totals look like after each of its samples: run totals per
// pid and the figures of the last interval.
class EngineRun {
public:
    void process(std::uint32_t pid, std::string name, std::string path = "/usr/bin/x")
    {
        XProcessRow& r = m_rows[pid];
        r.pid = pid;
        r.name = std::move(name);
        r.path = std::move(path);
    }
    void net(std::uint32_t pid, std::uint32_t in, std::uint32_t out)
    {
        XProcessRow& r = m_rows.at(pid);
        r.received += in;
        r.sent += out;
        r.lastReceived = in;
        r.lastSent = out;
    }
    void disk(std::uint32_t pid, std::uint32_t read, std::uint32_t written)
    {
        XProcessRow& r = m_rows.at(pid);
        r.read += read;
        r.written += written;
        r.lastRead = read;
        r.lastWritten = written;
    }
    // Ends an interval of intervalMs.
    XProcessTotals sample(std::uint32_t intervalMs = 1000)
    {
        XProcessTotals t;
        t.samples = ++m_samples;
        t.intervalMs = intervalMs;
        for (auto& [pid, r] : m_rows) {
            t.rows.push_back(r);
            t.netReports += (r.lastReceived | r.lastSent) != 0;
            t.diskReports += (r.lastRead | r.lastWritten) != 0;
            r.lastReceived = r.lastSent = r.lastRead = r.lastWritten = 0;
        }
        return t;
    }

private:
    std::map<std::uint32_t, XProcessRow> m_rows;
    std::uint64_t m_samples = 0;
};

class ProcessMonitorTest : public ::testing::Test {
protected:
    const ProgramRecord& record(const std::string& name) const
    {
        const ProgramRecord* r = monitor.find(name);
        EXPECT_NE(r, nullptr) << name;
        static const ProgramRecord none;
        return r ? *r : none;
    }

    EngineRun run;
    ProcessMonitor monitor;
};

} // namespace

TEST_F(ProcessMonitorTest, TheFirstFigureArmsAndTheTotalsIncludeIt)
{
    run.process(100, "curl", "/usr/bin/curl");
    run.net(100, 3000, 500);
    monitor.update(run.sample());
    EXPECT_EQ(record("curl").shownDown, 0u);
    EXPECT_EQ(record("curl").downTotal, 3000u);
    EXPECT_EQ(record("curl").path, "/usr/bin/curl");

    run.net(100, 4000, 1000);
    monitor.update(run.sample(500));
    EXPECT_EQ(record("curl").shownDown, 8000u);  // 4000 bytes in half a second
    EXPECT_EQ(record("curl").shownUp, 2000u);
    EXPECT_EQ(record("curl").downTotal, 7000u);

    // An update without a new engine sample changes nothing.
    const XProcessTotals same = run.sample();
    monitor.update(same);
    monitor.update(same);
    EXPECT_EQ(record("curl").downTotal, 7000u);
}

TEST_F(ProcessMonitorTest, ProcessesOfOneProgramShareARow)
{
    run.process(10, "postgres");
    run.process(11, "postgres");
    run.disk(10, 1000, 0);
    run.disk(11, 1000, 0);
    run.net(10, 100, 0);
    run.net(11, 100, 0);
    monitor.update(run.sample());
    run.disk(10, 3000, 100);
    run.disk(11, 5000, 300);
    run.net(10, 7000, 0);
    run.net(11, 9000, 0);
    monitor.update(run.sample());
    ASSERT_EQ(monitor.records().size(), 1u);
    EXPECT_EQ(record("postgres").shownRead, 8000u);  // disk speeds add up
    EXPECT_EQ(record("postgres").shownWrite, 400u);
    EXPECT_TRUE(record("postgres").shownDown == 7000u || record("postgres").shownDown == 9000u);  // one process's
    EXPECT_EQ(record("postgres").readTotal, 10000u);
    EXPECT_EQ(record("postgres").downTotal, 16200u);
    EXPECT_EQ(monitor.figures().diskRead, 8000u);
    EXPECT_EQ(monitor.figures().busiestDisk.name, "postgres");
    EXPECT_EQ(monitor.figures().busiestDisk.speed, 8400u);
}

TEST_F(ProcessMonitorTest, SpeedsHalveWhileNoProcessReports)
{
    run.process(5, "rsync");
    run.disk(5, 100, 100);
    run.net(5, 100, 100);
    monitor.update(run.sample());
    run.disk(5, 9001, 3001);
    run.net(5, 4001, 1001);
    monitor.update(run.sample());
    ASSERT_EQ(record("rsync").shownRead, 9001u);
    monitor.update(run.sample());  // nobody reports
    EXPECT_EQ(record("rsync").shownRead, 4500u);  // halved, rounded down
    EXPECT_EQ(record("rsync").shownWrite, 1500u);
    EXPECT_EQ(record("rsync").shownDown, 2000u);
    EXPECT_EQ(record("rsync").shownUp, 500u);
    monitor.update(run.sample());
    EXPECT_EQ(record("rsync").shownRead, 0u);  // the previous interval's speed was already 0
    EXPECT_EQ(monitor.figures().busiestDisk.speed, 0u);
    EXPECT_EQ(monitor.figures().busiestDisk.name, "");

    // Another program reporting ends the halving: a silent one shows 0.
    run.process(6, "cp");
    run.disk(5, 8000, 0);
    monitor.update(run.sample());
    run.disk(5, 8000, 0);
    monitor.update(run.sample());
    run.disk(6, 10, 0);
    monitor.update(run.sample());
    EXPECT_EQ(record("rsync").shownRead, 0u);
}

TEST_F(ProcessMonitorTest, WritebackBytesGoToTheBusiestProcessWhenItCouldHaveCausedThem)
{
    run.process(40, "kworker/u8:2-flush-259:0", "");
    run.process(41, "kworker/u8:0-events_unbound", "");
    run.process(500, "dd", "/usr/bin/dd");
    run.disk(40, 0, 100);
    run.disk(500, 0, 5);
    monitor.update(run.sample());  // arms both rows (100 bytes are 20 times dd's rate)

    // 5 MB of writeback against a process writing 1 MB/s: the process's.
    run.disk(40, 0, std::uint32_t(3 * kMB));
    run.disk(41, 0, std::uint32_t(2 * kMB));
    run.disk(500, 0, std::uint32_t(kMB));
    monitor.update(run.sample());
    EXPECT_EQ(monitor.busiestProcess(), 500u);
    EXPECT_EQ(record("dd").shownWrite, 6 * kMB);
    EXPECT_EQ(record("System").shownWrite, 0u);
    EXPECT_EQ(record("dd").writeTotal, 5 + 6 * kMB);

    // Against 0.4 MB/s the ratio is 12: the bytes stay with "System".
    run.disk(40, 0, std::uint32_t(5 * kMB));
    run.disk(500, 0, std::uint32_t(0.4 * kMB));
    monitor.update(run.sample());
    EXPECT_EQ(record("System").shownWrite, 5 * kMB);
    EXPECT_EQ(record("System").path, "");
    EXPECT_EQ(record("dd").shownWrite, std::uint32_t(0.4 * kMB));
    EXPECT_EQ(monitor.records().size(), 2u);  // the writeback threads share one row

    // Nobody else busy: stays.
    run.disk(40, 0, std::uint32_t(kMB));
    monitor.update(run.sample());
    EXPECT_EQ(record("System").shownWrite, kMB);
}

TEST_F(ProcessMonitorTest, ProgramsThatOnlyLookLikeKernelThreadsKeepTheirName)
{
    EXPECT_FALSE(ProcessMonitor::isWritebackThread(XProcessRow{1, "kworker/evil", "/tmp/kworker/evil"}));
    EXPECT_TRUE(ProcessMonitor::isWritebackThread(XProcessRow{2, "jbd2/sda1-8", ""}));
    EXPECT_FALSE(ProcessMonitor::isWritebackThread(XProcessRow{3, "bash", ""}));

    run.process(0, "", "");      // traffic no process owns
    run.process(77, "", "");     // processes that ended before they were named
    run.process(78, "", "");
    run.net(0, 100, 100);
    run.net(77, 100, 100);
    run.net(78, 100, 100);
    monitor.update(run.sample());
    ASSERT_EQ(monitor.records().size(), 1u);  // share one row
    EXPECT_EQ(ProcessMonitor::cellText(monitor.records().begin()->second, 0), "PID:78");
    EXPECT_EQ(monitor.records().begin()->second.downTotal, 200u);
}

TEST_F(ProcessMonitorTest, ValueTextsAndSorting)
{
    EXPECT_EQ(ProcessMonitor::formatValue(999), "999");
    EXPECT_EQ(ProcessMonitor::formatValue(1000), "1.0 K");
    EXPECT_EQ(ProcessMonitor::formatValue(1023999), "1000.0 K");
    EXPECT_EQ(ProcessMonitor::formatValue(1048576), "1.00 M");
    EXPECT_EQ(ProcessMonitor::formatValue(1000.0 * 1048576), "0.977 G");
    EXPECT_EQ(ProcessMonitor::formatValue(1000.0 * 1073741824), "1.0 T");
    EXPECT_EQ(ProcessMonitor::formatValue(-3), "0");

    run.process(1, "beta");
    run.process(2, "Alpha");
    run.process(3, "gamma");
    run.net(1, 300, 0);
    run.net(2, 100, 0);
    run.net(3, 200, 0);
    monitor.update(run.sample());
    const auto names = [this] {
        std::string s;
        for (const ProgramRecord* r : monitor.sortedRows())
            s += r->name + " ";
        return s;
    };
    EXPECT_EQ(monitor.sortColumn(), 3);
    EXPECT_TRUE(monitor.descending());
    EXPECT_EQ(names(), "beta gamma Alpha ");   // most downloaded first
    monitor.clickColumn(3);
    EXPECT_FALSE(monitor.descending());
    EXPECT_EQ(names(), "Alpha gamma beta ");
    monitor.clickColumn(0);                    // another column keeps the direction
    EXPECT_FALSE(monitor.descending());
    EXPECT_EQ(names(), "Alpha beta gamma ");   // letter case does not count
    monitor.clickColumn(0);
    EXPECT_EQ(names(), "gamma beta Alpha ");
}
