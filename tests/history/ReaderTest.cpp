// Reading history back: from a damaged or hostile file, and after the user had parts of it
// forgotten.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <iterator>
#include <random>

#include "HistoryTestSupport.h"
#include "history/Database.h"
#include "history/HistoryReader.h"
#include "history/HostEntries.h"
#include "history/Recorder.h"

namespace {

using namespace historytest;
using history::Tier;
namespace fs = std::filesystem;
constexpr auto kWait = std::chrono::seconds(20);

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every query, with and without each filter; whatever the file holds, each returns. False
// when the file did not even open.
bool askEverything(const std::string& path)
{
    history::HistoryReader reader;
    if (!reader.open(path))
        return false;
    const history::TimeRange all{0, kMonthEnd + 400 * 86400};
    std::vector<history::ProgramUsage> programs;
    std::vector<history::HostUsage> hosts;
    std::vector<history::LocationUsage> locations;
    std::vector<history::SeriesPoint> series;
    for (const history::Filter& f : {history::Filter{}, history::Filter::ofProgram("browser"), history::Filter::ofHost(0x0A000001u)}) {
        reader.programs(all, f, programs);
        reader.hosts(all, f, hosts);
        reader.locations(all, f, locations);
        reader.series({kMonthEnd - 86400 * 3, kMonthEnd + 86400 * 3}, history::Step::Hour, f, series);
        reader.series(all, history::Step::Month, f, series);
    }
    return true;
}

std::string recordSample(const TempDir& dir)
{
    FakeClock clock(kMonthEnd - 7200);
    history::RecorderOptions o = options(dir, clock);
    history::Recorder recorder(o);
    recorder.start();
    for (int i = 0; i < 6; ++i) {
        recorder.add(ledger({row("browser", 0x0A000001, 5000, 500, 6, 443, "www.example"),
                             row("browser", 0x0A000002 + i, 70, 7, 17, 53),
                             row("mail", 0x0A000001, 300, 3000, 6, 993, "imap.example")},
                            {{"mail", "/usr/bin/mail", 100, 200}}));
        clock.advance(1800);
    }
    recorder.stop();
    return o.path;
}

// A history file is the user's, but a disk, a crash or a person may have damaged it: the
// reader answers with an error or with what it can read, never with a crash. Bytes flipped,
// pages overwritten, the file cut short; and, written through SQL, host lists that are not
// host lists, keys and counts at their extremes, names of nothing.
TEST(HistoryReader, AHostileFileNeverCrashesTheReader)
{
    TempDir dir;
    const std::string path = recordSample(dir);
    const std::string good = readAll(path);
    ASSERT_GT(good.size(), 4096u);
    const std::string copy = dir.file("copy.sqlite");
    std::mt19937 random(1234);
    int opened = 0;
    for (int round = 0; round < 150; ++round) {
        std::string bytes = good;
        switch (round % 3) {
        case 0:
            for (int i = 0, n = 1 + int(random() % 16); i < n; ++i)
                bytes[random() % bytes.size()] ^= char(1 << (random() % 8));
            break;
        case 1: {
            const size_t at = random() % bytes.size();
            for (size_t i = at; i < std::min(bytes.size(), at + 512); ++i)
                bytes[i] = char(random());
            break;
        }
        case 2: bytes.resize(random() % bytes.size()); break;
        }
        fs::remove(copy + "-wal");
        fs::remove(copy + "-shm");
        writeAll(copy, bytes);
        opened += askEverything(copy);
    }
    EXPECT_GT(opened, 50) << "most damaged files still open, so the queries meet the damage";

    const char* hostile[] = {
        "UPDATE usage_5min_hosts SET hosts = x'ffffffffffffffffffffff'",
        "UPDATE usage_hour_hosts SET hosts = x'8180808080808080808002'",
        "UPDATE usage_day_hosts SET hosts = x'0501'",
        "UPDATE usage_5min_hosts SET hosts = randomblob(300)",
        "UPDATE usage_5min SET received = -5, sent = 9223372036854775807",
        "UPDATE OR REPLACE usage_5min_hosts SET key = key | 1048575",
        "INSERT INTO usage_5min_hosts (key, hosts) VALUES (9223372036854775807, x''), (-9223372036854775808, x'03')",
        "UPDATE hosts SET address = -id, dns_name = x'1b5b324a', location = x'ff00'",
        "DELETE FROM programs",
        "UPDATE meta SET value = 9223372036854775807 WHERE key LIKE 'purged_before_%'",
        "INSERT OR REPLACE INTO meta VALUES ('purged_before_5min', -9223372036854775807), ('purged_before_hour', 12345)",
        "UPDATE usage_5min_hosts SET hosts = 'text, not a blob'",
    };
    for (const char* sql : hostile) {
        SCOPED_TRACE(sql);
        writeAll(copy, good);
        {
            history::Database db;
            ASSERT_TRUE(db.open(copy, history::Database::Mode::ReadWrite));
            EXPECT_TRUE(db.exec(sql)) << db.lastError();
        }
        EXPECT_TRUE(askEverything(copy));
    }

    // The host-list codec on its own: nothing it is given makes it read past the end, and
    // what it accepts is written back as the same entries.
    std::vector<history::HostEntry> entries, again;
    for (int round = 0; round < 2000; ++round) {
        std::string blob(random() % 40, '\0');
        for (char& c : blob)
            c = char(random());
        if (history::decodeEntries(blob, entries)) {
            ASSERT_TRUE(history::decodeEntries(history::encodeEntries(entries), again));
            EXPECT_EQ(again.size(), entries.size());
            EXPECT_EQ(history::totalOf(again).bytes(), history::totalOf(entries).bytes());
        }
    }
}

bool fileHolds(const std::string& path, const std::string& text)
{
    return readAll(path).find(text) != std::string::npos || readAll(path + "-wal").find(text) != std::string::npos;
}

// Forgetting a program or a host removes every trace of it (every tier, its names, the
// deltas still in memory, and the freed bytes in the file), and leaves the rest exact.
TEST(HistoryReader, ForgottenProgramsAndHostsLeaveNoTraceInTheFile)
{
    TempDir dir;
    FakeClock clock(kMonthEnd);
    history::RecorderOptions o = options(dir, clock);
    history::Recorder recorder(o);
    recorder.start();
    recorder.add(ledger({row("secretapp", 0x0A000009, 111, 11), row("browser", 0x0A000009, 1000, 10, 6, 443, "tracker.example"),
                         row("browser", 0x0A000001, 2000, 20)}));
    ASSERT_TRUE(recorder.flushAndWait(kWait));
    clock.advance(40 * 86400);  // every coarser tier built, the 5-minute buckets expired
    recorder.add(ledger({row("browser", 0x0A000001, 0, 1)}));
    ASSERT_TRUE(recorder.flushAndWait(kWait));
    ASSERT_EQ(tierSum(o.path, Tier::Month).received, 3111);
    recorder.add(ledger({row("secretapp", 0x0A000001, 5, 5)}));  // still in memory

    const auto run = [](auto&& call) {
        std::promise<bool> done;
        call([&](bool ok, const std::string&) { done.set_value(ok); });
        return done.get_future().get();
    };
    ASSERT_TRUE(run([&](auto cb) { recorder.forgetProgram("secretapp", "", cb); }));
    ASSERT_TRUE(recorder.flushAndWait(kWait));
    EXPECT_FALSE(fileHolds(o.path, "secretapp"));
    for (Tier tier : {Tier::Hour, Tier::Day, Tier::Month})
        EXPECT_EQ(tierSum(o.path, tier).received, 3000) << history::tierName(tier);

    ASSERT_TRUE(run([&](auto cb) { recorder.forgetHost(0x0A000009, cb); }));
    EXPECT_FALSE(fileHolds(o.path, "tracker.example"));
    history::HistoryReader reader;
    ASSERT_TRUE(reader.open(o.path));
    std::vector<history::HostUsage> hosts;
    ASSERT_TRUE(reader.hosts({kMonthEnd - 3600, kMonthEnd + 50 * 86400}, {}, hosts).ok);
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(hosts[0].address, 0x0A000001u);
    EXPECT_EQ(tierSum(o.path, Tier::Month).received, 2000);

    ASSERT_TRUE(run([&](auto cb) { recorder.clearAll(cb); }));
    std::vector<history::ProgramUsage> programs;
    ASSERT_TRUE(reader.programs({kMonthEnd - 3600, kMonthEnd + 50 * 86400}, {}, programs).ok);
    EXPECT_TRUE(programs.empty());
    EXPECT_FALSE(fileHolds(o.path, "browser"));
}

} // namespace
