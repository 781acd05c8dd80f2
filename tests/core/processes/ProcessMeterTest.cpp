#include "core/processes/ProcessMeter.h"

#include <gtest/gtest.h>

#include <map>

using namespace orvane;

namespace {

constexpr std::uint64_t kMB = 1048576;

// What the engine's per-process totals look like after each of its samples: run totals per
// process and the figures of the last interval, and the rows of programs whose processes
// ended.
class EngineRun {
public:
    void process(std::uint32_t pid, std::string name, std::string path = "/usr/bin/x", std::uint64_t started = 1)
    {
        XProcessRow& r = m_rows[pid];
        r.pid = pid;
        r.started = started;
        r.name = std::move(name);
        r.path = std::move(path);
    }
    // The process with pid ended: its totals move into its program's ended row, as the
    // engine folds them.
    void end(std::uint32_t pid)
    {
        XProcessRow& row = m_rows.at(pid);
        XProcessRow& sum = m_ended[row.name];
        sum.pid = pid;
        sum.ended = true;
        sum.name = row.name;
        sum.received += row.received;
        sum.sent += row.sent;
        sum.read += row.read;
        sum.written += row.written;
        m_rows.erase(pid);
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
        for (const auto& [name, r] : m_ended)
            t.rows.push_back(r);
        return t;
    }

private:
    std::map<std::uint32_t, XProcessRow> m_rows;
    std::map<std::string, XProcessRow> m_ended;
    std::uint64_t m_samples = 0;
};

class ProcessMeterTest : public ::testing::Test {
protected:
    const ProgramRecord& record(const std::string& name) const
    {
        const ProgramRecord* r = meter.find(name);
        EXPECT_NE(r, nullptr) << name;
        static const ProgramRecord none;
        return r ? *r : none;
    }

    EngineRun run;
    ProcessMeter meter;
};

} // namespace

TEST_F(ProcessMeterTest, TheFirstFigureArmsAndTheTotalsIncludeIt)
{
    run.process(100, "curl", "/usr/bin/curl");
    run.net(100, 3000, 500);
    meter.update(run.sample());
    EXPECT_EQ(record("curl").shown.down, 0u);
    EXPECT_EQ(record("curl").totals.down, 3000u);
    EXPECT_EQ(record("curl").path, "/usr/bin/curl");

    run.net(100, 4000, 1000);
    meter.update(run.sample(500));
    EXPECT_EQ(record("curl").shown.down, 8000u);  // 4000 bytes in half a second
    EXPECT_EQ(record("curl").shown.up, 2000u);
    EXPECT_EQ(record("curl").totals.down, 7000u);

    // An update without a new engine sample changes nothing.
    const XProcessTotals same = run.sample();
    meter.update(same);
    meter.update(same);
    EXPECT_EQ(record("curl").totals.down, 7000u);
}

TEST_F(ProcessMeterTest, ProcessesOfOneProgramShareARow)
{
    run.process(10, "postgres");
    run.process(11, "postgres");
    run.disk(10, 1000, 0);
    run.disk(11, 1000, 0);
    run.net(10, 100, 0);
    run.net(11, 100, 0);
    meter.update(run.sample());
    run.disk(10, 3000, 100);
    run.disk(11, 5000, 300);
    run.net(10, 7000, 0);
    run.net(11, 9000, 0);
    meter.update(run.sample());
    ASSERT_EQ(meter.records().size(), 1u);
    EXPECT_EQ(record("postgres").shown.read, 8000u);  // disk speeds add up
    EXPECT_EQ(record("postgres").shown.write, 400u);
    EXPECT_TRUE(record("postgres").shown.down == 7000u || record("postgres").shown.down == 9000u);  // one process's
    EXPECT_EQ(record("postgres").totals.read, 10000u);
    EXPECT_EQ(record("postgres").totals.down, 16200u);
    EXPECT_EQ(meter.figures().diskRead, 8000u);
    EXPECT_EQ(meter.figures().busiestDisk.name, "postgres");
    EXPECT_EQ(meter.figures().busiestDisk.speed, 8400u);
}

TEST_F(ProcessMeterTest, SpeedsHalveWhileNoProcessReports)
{
    run.process(5, "rsync");
    run.disk(5, 100, 100);
    run.net(5, 100, 100);
    meter.update(run.sample());
    run.disk(5, 9001, 3001);
    run.net(5, 4001, 1001);
    meter.update(run.sample());
    ASSERT_EQ(record("rsync").shown.read, 9001u);
    meter.update(run.sample());  // nobody reports
    EXPECT_EQ(record("rsync").shown.read, 4500u);  // halved, rounded down
    EXPECT_EQ(record("rsync").shown.write, 1500u);
    EXPECT_EQ(record("rsync").shown.down, 2000u);
    EXPECT_EQ(record("rsync").shown.up, 500u);
    meter.update(run.sample());
    EXPECT_EQ(record("rsync").shown.read, 0u);  // the previous interval's speed was already 0
    EXPECT_EQ(meter.figures().busiestDisk.speed, 0u);
    EXPECT_EQ(meter.figures().busiestDisk.name, "");

    // Another program reporting ends the halving: a silent one shows 0.
    run.process(6, "cp");
    run.disk(5, 8000, 0);
    meter.update(run.sample());
    run.disk(5, 8000, 0);
    meter.update(run.sample());
    run.disk(6, 10, 0);
    meter.update(run.sample());
    EXPECT_EQ(record("rsync").shown.read, 0u);
}

TEST_F(ProcessMeterTest, WritebackBytesGoToTheBusiestProcessWhenItCouldHaveCausedThem)
{
    run.process(40, "kworker/u8:2-flush-259:0", "");
    run.process(41, "kworker/u8:0-events_unbound", "");
    run.process(500, "dd", "/usr/bin/dd");
    run.disk(40, 0, 100);
    run.disk(500, 0, 5);
    meter.update(run.sample());  // arms both rows (100 bytes are 20 times dd's rate)

    // 5 MB of writeback against a process writing 1 MB/s: the process's.
    run.disk(40, 0, std::uint32_t(3 * kMB));
    run.disk(41, 0, std::uint32_t(2 * kMB));
    run.disk(500, 0, std::uint32_t(kMB));
    meter.update(run.sample());
    EXPECT_EQ(meter.busiestProcess(), 500u);
    EXPECT_EQ(record("dd").shown.write, 6 * kMB);
    EXPECT_EQ(record("System").shown.write, 0u);
    EXPECT_EQ(record("dd").totals.write, 5 + 6 * kMB);

    // Against 0.4 MB/s the ratio is 12: the bytes stay with "System".
    run.disk(40, 0, std::uint32_t(5 * kMB));
    run.disk(500, 0, std::uint32_t(0.4 * kMB));
    meter.update(run.sample());
    EXPECT_EQ(record("System").shown.write, 5 * kMB);
    EXPECT_EQ(record("System").path, "");
    EXPECT_EQ(record("dd").shown.write, std::uint32_t(0.4 * kMB));
    EXPECT_EQ(meter.records().size(), 2u);  // the writeback threads share one row

    // Nobody else busy: stays.
    run.disk(40, 0, std::uint32_t(kMB));
    meter.update(run.sample());
    EXPECT_EQ(record("System").shown.write, kMB);
}

TEST_F(ProcessMeterTest, ProgramsThatOnlyLookLikeKernelThreadsKeepTheirName)
{
    EXPECT_FALSE(ProcessMeter::isWritebackThread(XProcessRow{1, 0, false, "kworker/evil", "/tmp/kworker/evil"}));
    EXPECT_TRUE(ProcessMeter::isWritebackThread(XProcessRow{2, 0, false, "jbd2/sda1-8", ""}));
    EXPECT_FALSE(ProcessMeter::isWritebackThread(XProcessRow{3, 0, false, "bash", ""}));

    run.process(0, "", "");      // traffic no process owns
    run.process(77, "", "");     // processes that ended before they were named
    run.process(78, "", "");
    run.net(0, 100, 100);
    run.net(77, 100, 100);
    run.net(78, 100, 100);
    meter.update(run.sample());
    ASSERT_EQ(meter.records().size(), 1u);  // share one row
    EXPECT_EQ(displayName(meter.records().begin()->second), "PID:78");
    EXPECT_EQ(meter.records().begin()->second.totals.down, 200u);
}

TEST_F(ProcessMeterTest, AReusedPidStartsAFreshCountAndEndedProcessesAreForgotten)
{
    run.process(100, "curl", "/usr/bin/curl", 5000);
    run.net(100, 100, 0);
    meter.update(run.sample());
    run.net(100, 900, 0);
    meter.update(run.sample());
    ASSERT_EQ(record("curl").totals.down, 1000u);

    // curl ends; the system hands its pid to sshd.
    run.end(100);
    run.process(100, "sshd", "/usr/sbin/sshd", 9000);
    run.net(100, 1500, 0);
    meter.update(run.sample());
    EXPECT_EQ(record("curl").totals.down, 1000u);  // its ended row adds nothing twice
    EXPECT_EQ(record("sshd").totals.down, 1500u);  // counted from its own start, not from curl's
    EXPECT_EQ(meter.followedProcesses(), 1u);      // curl's process is no longer followed
}

TEST_F(ProcessMeterTest, ProgramsGoneForAWhileLeaveTheTableWhichStaysBounded)
{
    run.process(100, "curl");
    run.process(200, "sshd");
    run.net(100, 500, 0);
    run.net(200, 500, 0);
    meter.update(run.sample());
    run.end(100);  // curl ends; sshd runs on without traffic
    const auto minutes = [&](int n) {
        for (int i = 0; i < n; ++i)
            meter.update(run.sample(60000));
    };
    minutes(29);
    EXPECT_NE(meter.find("curl"), nullptr);  // ended half an hour ago at most: still listed
    minutes(2);
    EXPECT_EQ(meter.find("curl"), nullptr);
    EXPECT_NE(meter.find("sshd"), nullptr);  // running, however idle

    // More programs within minutes than the table holds: those seen running longest ago go.
    for (std::uint32_t i = 0; i < ProcessMeter::kRecordLimit + 10; ++i) {
        run.process(1000 + i, "p" + std::to_string(i));
        run.net(1000 + i, 1, 0);
        meter.update(run.sample(10));
        run.end(1000 + i);
    }
    EXPECT_EQ(meter.records().size(), ProcessMeter::kRecordLimit);
    EXPECT_NE(meter.find("sshd"), nullptr);
    EXPECT_EQ(meter.find("p0"), nullptr);
    EXPECT_NE(meter.find("p" + std::to_string(ProcessMeter::kRecordLimit + 9)), nullptr);
}
