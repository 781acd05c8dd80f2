// The recorder: what it writes where, and what it refuses to do to the file.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <optional>
#include <thread>

#include "HistoryTestSupport.h"
#include "history/HistoryPath.h"
#include "history/HistoryReader.h"
#include "history/Recorder.h"
#include "history/Schema.h"

namespace {

using namespace historytest;
using history::Tier;
constexpr auto kWait = std::chrono::seconds(20);
constexpr uint32_t kHostA = 0x0A000001;  // 10.0.0.1
constexpr uint32_t kHostB = 0x0A000002;

history::TimeRange around(int64_t t, int64_t seconds)
{
    return {t - seconds, t + seconds};
}

// Traffic on both sides of an hour, day and month end: once those have ended, each tier
// holds all of it, split where its boundaries lie; before, the query reads the finer tiers.
TEST(HistoryRecorder, EveryTierHoldsAllTrafficInItsUtcBucketsOnceTheyEnd)
{
    TempDir dir;
    FakeClock clock(kMonthEnd + 25 * 60);  // 23:55 on March 31st
    const std::string path = dir.file("history.sqlite");
    const int64_t april = kMonthEnd + 30 * 60;
    const int64_t may = april + 30 * 86400;
    {
        history::Recorder recorder(options(dir, clock));
        recorder.start();
        recorder.add(ledger({row("browser", kHostA, 1000, 100)}, {{"browser", "/usr/bin/browser", 5000, 0}}));
        ASSERT_TRUE(recorder.flushAndWait(kWait));
        clock.advance(10 * 60);  // 00:05 on April 1st
        recorder.add(ledger({row("browser", kHostA, 2000, 200), row("mail", kHostB, 30, 3)}));
        clock.advance(60);
        recorder.add(ledger({row("browser", kHostA, 4000, 400)}));
        ASSERT_TRUE(recorder.flushAndWait(kWait));
        // The hour of 23:00 has ended and is built; the one of 00:00 is still going on.
        EXPECT_EQ(tierSum(path, Tier::Hour).received, 1000);
        EXPECT_EQ(tierSum(path, Tier::Day).received, 1000);
        EXPECT_EQ(tierSum(path, Tier::Month).received, 1000);
        history::HistoryReader reader;
        ASSERT_TRUE(reader.open(path));
        std::vector<history::ProgramUsage> programs;
        ASSERT_TRUE(reader.programs({april - 86400, april + 86400}, {}, programs).ok);
        ASSERT_FALSE(programs.empty());
        EXPECT_EQ(programs[0].net.received, 7000u) << "the 5-minute buckets answer for what has not ended";

        clock.set(may + 600);
        recorder.add(ledger({row("mail", kHostB, 1, 0)}));
        // Nothing flushed this one: stop() must.
        recorder.stop();
    }
    // A month on, the 5-minute buckets have expired; the hours, days and months hold it all.
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes).received, 1);
    for (Tier tier : {Tier::Hour, Tier::Day, Tier::Month}) {
        SCOPED_TRACE(history::tierName(tier));
        EXPECT_EQ(tierSum(path, tier, INT64_MIN, may).received, 7030);
        EXPECT_EQ(tierSum(path, tier, INT64_MIN, may).sent, 703);
        EXPECT_EQ(tierSum(path, tier, INT64_MIN, may).diskRead, 5000);
        EXPECT_EQ(tierSum(path, tier, INT64_MIN, april).received, 1000) << "March keeps only what came before midnight";
    }
    EXPECT_EQ(tierSum(path, Tier::Hour).rows, 3);  // browser twice, mail once
    EXPECT_EQ(integrityCheck(path), "ok");

    history::HistoryReader reader;
    ASSERT_TRUE(reader.open(path));
    std::vector<history::ProgramUsage> programs;
    history::Answer a = reader.programs({april - 40 * 86400, may}, {}, programs);
    ASSERT_TRUE(a.ok) << a.error;
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].name, "browser");
    EXPECT_EQ(programs[0].net.received, 7000u);
    EXPECT_EQ(programs[0].diskRead, 5000u);
    EXPECT_NEAR(programs[0].share, 7700.0 / 7733.0, 1e-9);
    std::vector<history::SeriesPoint> series;
    ASSERT_TRUE(reader.series({april - 3600, april + 3600}, history::Step::Hour, {}, series).ok);
    ASSERT_EQ(series.size(), 2u);
    EXPECT_EQ(series[0].net.received, 1000u);
    EXPECT_EQ(series[1].net.received, 6030u);
    std::vector<history::HostUsage> hosts;
    ASSERT_TRUE(reader.hosts(around(april, 3600), history::Filter::ofProgram("browser"), hosts).ok);
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(hosts[0].address, kHostA);
    EXPECT_EQ(hosts[0].location, "test net");
    EXPECT_EQ(hosts[0].net.sent, 700u);
}

// A program with more hosts in one bucket than the bound: the biggest keep their names, the
// rest become one "other hosts" row, and no byte is lost on the way.
TEST(HistoryRecorder, HostsBeyondTheBoundAreFoldedWithTheirBytes)
{
    TempDir dir;
    FakeClock clock(kMonthEnd);
    history::RecorderOptions o = options(dir, clock);
    o.hostsPerProgram = 5;
    history::Recorder recorder(o);
    recorder.start();
    uint64_t total = 0;
    // Two hand-outs: the second brings new hosts, so the fold must rank across both.
    for (int part = 0; part < 2; ++part) {
        std::vector<XLedgerRow> rows;
        for (uint32_t i = 1; i <= 8; ++i) {
            const uint32_t host = 0x0A000000 + part * 8 + i;
            rows.push_back(row("crawler", host, host % 100 * 1000, 1));
            total += host % 100 * 1000 + 1;
        }
        recorder.add(ledger(rows));
        ASSERT_TRUE(recorder.flushAndWait(kWait));
    }
    EXPECT_GT(recorder.stats().hostsFolded, 0u);

    history::HistoryReader reader;
    ASSERT_TRUE(reader.open(o.path));
    std::vector<history::HostUsage> hosts;
    ASSERT_TRUE(reader.hosts(around(kMonthEnd, 600), {}, hosts).ok);
    uint64_t sum = 0;
    int named = 0;
    for (const history::HostUsage& h : hosts) {
        sum += h.net.total();
        if (!h.otherHosts) {
            ++named;
            EXPECT_GE(h.address, 0x0A00000Cu) << "a small host kept its name";
        }
    }
    EXPECT_EQ(named, 5);
    EXPECT_EQ(sum, total);
    EXPECT_TRUE(std::any_of(hosts.begin(), hosts.end(), [](const auto& h) { return h.otherHosts; }));
}

// Two recorders on one file: the second leaves its traffic out, so nothing is counted
// twice, and records once the first has gone.
TEST(HistoryRecorder, OneWriterAtATimeAndTheOtherTakesOver)
{
    TempDir dir;
    FakeClock clock(kMonthEnd);
    history::RecorderOptions o = options(dir, clock);
    o.flushInterval = std::chrono::milliseconds(100);
    auto first = std::make_unique<history::Recorder>(o);
    first->start();
    ASSERT_TRUE(first->flushAndWait(kWait));
    history::Recorder second(o);
    second.start();
    for (int i = 0; i < 50 && second.stats().role != history::RecorderStats::Role::Reader; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(second.stats().role, history::RecorderStats::Role::Reader);

    const XLedger same = ledger({row("browser", kHostA, 1000, 10)});
    first->add(same);
    second.add(same);
    ASSERT_TRUE(first->flushAndWait(kWait));
    EXPECT_TRUE(second.flushAndWait(kWait));
    EXPECT_EQ(tierSum(o.path, Tier::FiveMinutes).received, 1000);
    EXPECT_GT(second.stats().ledgersIgnored, 0u);

    first.reset();
    for (int i = 0; i < 250 && second.stats().role != history::RecorderStats::Role::Writer; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(second.stats().role, history::RecorderStats::Role::Writer);
    second.add(ledger({row("browser", kHostA, 500, 5)}));
    ASSERT_TRUE(second.flushAndWait(kWait));
    EXPECT_EQ(tierSum(o.path, Tier::FiveMinutes).received, 1500);
}

// The clock rules: set back, the recording time goes on from where it was (never into a
// bucket already written); set ahead, it follows; and a clock far ahead never expires what
// the file keeps.
TEST(HistoryRecorder, WallClockJumpsNeverMergeOrExpireBuckets)
{
    TempDir dir;
    FakeClock clock(kMonthEnd - 3600);  // 22:30
    history::RecorderOptions o = options(dir, clock);
    {
        history::Recorder recorder(o);
        recorder.start();
        recorder.add(ledger({row("browser", kHostA, 1, 0)}));
        ASSERT_TRUE(recorder.flushAndWait(kWait));
        clock.advance(600);                                   // 22:40
        clock.jumpWall(-7200);                                // the clock says 20:40
        recorder.add(ledger({row("browser", kHostA, 10, 0)}));
        clock.advance(600);                                   // really 22:50
        recorder.add(ledger({row("browser", kHostA, 100, 0)}));
        clock.jumpWall(7200 + 2 * 86400);                     // two days ahead of 22:50
        recorder.add(ledger({row("browser", kHostA, 1000, 0)}));
        clock.jumpWall(400 * 86400);                          // a year beyond that
        recorder.add(ledger({row("browser", kHostA, 10000, 0)}));
        ASSERT_TRUE(recorder.flushAndWait(kWait));
        EXPECT_EQ(recorder.stats().clockJumps, 3u);
    }
    const std::string path = dir.file("history.sqlite");
    const int64_t t0 = kMonthEnd - 3600;
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes, INT64_MIN, t0 - 60).received, 0) << "nothing went back in time";
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes, t0 - 300, t0 + 300).received, 1);
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes, t0 + 300, t0 + 900).received, 10);
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes, t0 + 900, t0 + 1500).received, 100);
    // The jump ahead is followed, but the first bucket stays: the retention only runs as far
    // as the steady clock vouches for.
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes, t0 + 2 * 86400, t0 + 3 * 86400).received, 1000);
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes).received, 11111);
    EXPECT_EQ(tierSum(path, Tier::Hour).received, 1111) << "every hour built but the one going on";

    // A second run whose clock is half an hour behind what the first wrote records after it.
    const int64_t last = t0 + 1200 + 402 * 86400;
    FakeClock behind(last - 1800);
    o.clock = &behind;
    history::Recorder next(o);
    next.start();
    next.add(ledger({row("browser", kHostA, 100000, 0)}));
    ASSERT_TRUE(next.flushAndWait(kWait));
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes, last - 3600, last).received, 0);
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes, last, INT64_MAX).received, 110000);
}

// Expired 5-minute buckets go; older ranges are answered from the hours, their ends moved
// to the nearest hour, and the answer says which span it covers.
TEST(HistoryRecorder, RetentionRemovesExpiredBucketsAndOldRangesUseCoarserTiers)
{
    TempDir dir;
    const int64_t t0 = kMonthEnd - 1800;  // 23:00
    FakeClock clock(t0 + 10);
    history::RecorderOptions o = options(dir, clock);
    history::Recorder recorder(o);
    recorder.start();
    recorder.add(ledger({row("browser", kHostA, 700, 7)}));
    ASSERT_TRUE(recorder.flushAndWait(kWait));
    clock.advance(8 * 86400);
    recorder.add(ledger({row("browser", kHostA, 1, 0)}));
    ASSERT_TRUE(recorder.flushAndWait(kWait));
    const std::string path = o.path;
    EXPECT_EQ(tierSum(path, Tier::FiveMinutes).received, 1);
    EXPECT_EQ(tierSum(path, Tier::Hour).received, 700);

    history::HistoryReader reader;
    ASSERT_TRUE(reader.open(path));
    std::vector<history::ProgramUsage> programs;
    // 22:50 to 23:20, eight days ago: the hour 23:00-24:00 answers.
    const history::Answer a = reader.programs({t0 - 600, t0 + 1200}, {}, programs);
    ASSERT_TRUE(a.ok) << a.error;
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(programs[0].net.received, 700u);
    EXPECT_EQ(a.covered, (history::TimeRange{t0, t0 + 3600}));
    // The same span now is answered from 5-minute buckets, exactly.
    const int64_t now = t0 + 8 * 86400;
    const history::Answer b = reader.programs({now - 600, now + 1200}, {}, programs);
    EXPECT_EQ(b.covered, (history::TimeRange{now - 600, now + 1200}));
}

TEST(HistoryPath, ExplicitThenServiceFolderThenXdgThenHome)
{
    struct Keep {
        std::vector<std::pair<const char*, std::optional<std::string>>> saved;
        Keep()
        {
            for (const char* name : {"STATE_DIRECTORY", "XDG_DATA_HOME", "HOME"})
                saved.emplace_back(name, getenv(name) ? std::optional<std::string>(getenv(name)) : std::nullopt);
        }
        ~Keep()
        {
            for (const auto& [name, value] : saved)
                value ? setenv(name, value->c_str(), 1) : unsetenv(name);
        }
    } keep;
    const auto with = [](const char* state, const char* xdg, const char* home) {
        const auto set = [](const char* name, const char* value) {
            if (value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        };
        set("STATE_DIRECTORY", state);
        set("XDG_DATA_HOME", xdg);
        set("HOME", home);
        return history::historyPath();
    };
    EXPECT_EQ(history::historyPath("/x/h.sqlite"), "/x/h.sqlite");
    EXPECT_EQ(with("/var/lib/lumivex:/var/lib/other", "/d", "/h"), "/var/lib/lumivex/history.sqlite");
    EXPECT_EQ(with(nullptr, "/d", "/h"), "/d/lumivex/history.sqlite");
    EXPECT_EQ(with(nullptr, "relative", "/h"), "/h/.local/share/lumivex/history.sqlite");
    EXPECT_EQ(with(nullptr, nullptr, nullptr), "");
}

} // namespace
