#include "core/summary/SystemSampler.h"
#include "platform/linux/ProcSystemTimes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace orvane {
namespace {

std::string fixture(const char* name)
{
    std::ifstream in(std::string(LUMIVEX_TEST_DATA) + "/monitor/" + name);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_FALSE(text.str().empty()) << name;
    return text.str();
}

TEST(ProcSystemTimes, AggregateCpuLineSplitsIntoIdleKernelAndUser)
{
    platform::CpuTimes t;
    ASSERT_TRUE(platform::parseProcStatCpu(fixture("stat-1.txt"), t));
    EXPECT_EQ(t.idle, 228717u + 1185u);                          // idle + iowait
    EXPECT_EQ(t.kernel, 46915u + 0u + 1214u + 494u + t.idle);    // system irq softirq steal, with idle
    EXPECT_EQ(t.user, 270330u + 21383u);                          // user + nice
}

TEST(ProcSystemTimes, OddStatTextsAreRefused)
{
    platform::CpuTimes t;
    EXPECT_FALSE(platform::parseProcStatCpu("", t));
    EXPECT_FALSE(platform::parseProcStatCpu("cpu0 1 2 3 4 5\n", t));  // no aggregate line
    EXPECT_FALSE(platform::parseProcStatCpu("cpu  1 2 3\n", t));       // too few fields
    EXPECT_FALSE(platform::parseProcStatCpu("cpu  1 2 x 4\n", t));
    EXPECT_FALSE(platform::parseProcStatCpu("cpu  99999999999999999999999 1 1 1\n", t));
    // Sums of absurd fields stop at the top instead of wrapping.
    ASSERT_TRUE(platform::parseProcStatCpu("cpu  1 1 1 18446744073709551615 5\n", t));
    EXPECT_EQ(t.idle, UINT64_MAX);
    EXPECT_EQ(t.kernel, UINT64_MAX);
    // An old kernel's four fields are enough.
    ASSERT_TRUE(platform::parseProcStatCpu("intr 5\ncpu  10 0 5 85\n", t));
    EXPECT_EQ(t.kernel, 90u);
}

TEST(ProcSystemTimes, CommitChargeFromMeminfo)
{
    platform::CommitCharge c;
    ASSERT_TRUE(platform::parseMeminfoCommit(fixture("meminfo.txt"), c));
    EXPECT_EQ(c.committed, 3085183u);
    EXPECT_EQ(c.limit, 12340732u);
    EXPECT_FALSE(platform::parseMeminfoCommit("MemTotal: 5 kB\nCommitLimit: 10 kB\n", c));
    EXPECT_FALSE(platform::parseMeminfoCommit("CommitLimit: kB\nCommitted_AS: 4 kB\n", c));
}

// A sampler reading the given /proc/stat texts one after the other.
SystemSampler samplerOver(std::vector<std::string> texts)
{
    auto next = std::make_shared<std::vector<std::string>>(std::move(texts));
    return SystemSampler(
        [next](platform::CpuTimes& out) {
            if (next->empty())
                return false;
            const bool ok = platform::parseProcStatCpu(next->front(), out);
            next->erase(next->begin());
            return ok;
        },
        [](platform::CommitCharge& out) { return platform::parseMeminfoCommit(fixture("meminfo.txt"), out); });
}

TEST(SystemSampler, FirstCallReportsZeroThenBusyShareOfTheInterval)
{
    SystemSampler sampler = samplerOver({fixture("stat-1.txt"), fixture("stat-2.txt"), fixture("stat-2.txt")});
    EXPECT_EQ(sampler.cpuUsage(), 0);
    // Between the snapshots: user 60, system 20, softirq 5, steal 5, idle 100 + iowait 10.
    // total = kernel (20 + 5 + 5 + 110) + user 60 = 200; busy = 200 - 110 = 90 -> 45 %.
    EXPECT_EQ(sampler.cpuUsage(), 45);
    EXPECT_EQ(sampler.cpuUsage(), 0);  // no time passed
    EXPECT_EQ(sampler.cpuUsage(), 0);  // read failed
}

TEST(SystemSampler, FailedReadKeepsTheBaseline)
{
    SystemSampler sampler = samplerOver({fixture("stat-1.txt"), "garbage", fixture("stat-2.txt")});
    EXPECT_EQ(sampler.cpuUsage(), 0);
    EXPECT_EQ(sampler.cpuUsage(), 0);
    EXPECT_EQ(sampler.cpuUsage(), 45);
}

TEST(SystemSampler, CountersRunningBackwardsReadAsIdle)
{
    SystemSampler sampler = samplerOver({fixture("stat-2.txt"), fixture("stat-1.txt")});
    sampler.cpuUsage();
    EXPECT_EQ(sampler.cpuUsage(), 0);
}

TEST(SystemSampler, MemoryIsCommittedShareOfTheLimitCappedAt100)
{
    SystemSampler sampler = samplerOver({});
    EXPECT_EQ(sampler.memoryUsage(), 25);  // 3 085 183 of 12 340 732 KiB: exactly a quarter
    SystemSampler overcommitted(nullptr, [](platform::CommitCharge& c) {
        c = {30, 10};
        return true;
    });
    EXPECT_EQ(overcommitted.memoryUsage(), 100);
    SystemSampler noLimit(nullptr, [](platform::CommitCharge& c) {
        c = {30, 0};
        return true;
    });
    EXPECT_EQ(noLimit.memoryUsage(), 0);
    EXPECT_EQ(noLimit.cpuUsage(), 0);
}

TEST(SystemSampler, ReadsTheRunningMachine)
{
    SystemSampler sampler;
    EXPECT_EQ(sampler.cpuUsage(), 0);
    const int cpu = sampler.cpuUsage();
    EXPECT_GE(cpu, 0);
    EXPECT_LE(cpu, 100);
    // A machine with a large commit limit can have less than 1 % committed, which reads 0:
    // check the reading against the machine's own figures instead of against 0.
    platform::CommitCharge charge;
    ASSERT_TRUE(platform::readCommitCharge(charge));
    ASSERT_GT(charge.limit, 0u);
    const int memory = sampler.memoryUsage();
    EXPECT_NEAR(memory, double(std::min<uint64_t>(charge.committed * 100 / charge.limit, 100)), 1);
}

} // namespace
} // namespace orvane
