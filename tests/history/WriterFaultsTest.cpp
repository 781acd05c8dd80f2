// The recorder against a file or a disk that lets it down.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <mutex>

#include "FailingVfs.h"
#include "HistoryTestSupport.h"
#include "history/Database.h"
#include "history/Recorder.h"
#include "history/Schema.h"

namespace {

using namespace historytest;
using history::Tier;
namespace fs = std::filesystem;
constexpr auto kWait = std::chrono::seconds(20);
constexpr uint32_t kHost = 0x0A000001;

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> asideFiles(const TempDir& dir)
{
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir.path()))
        if (e.path().filename().string().starts_with("history.sqlite.corrupt-") &&
            !e.path().filename().string().ends_with("-wal"))
            out.push_back(e.path());
    return out;
}

// A file that is not a database, and a database with a damaged page: each is moved aside
// whole, with a message, and a new history starts in its place.
TEST(HistoryWriterFaults, ADamagedFileIsMovedAsideAndANewOneStarted)
{
    for (const bool garbage : {true, false}) {
        SCOPED_TRACE(garbage ? "not a database" : "a damaged page");
        TempDir dir;
        FakeClock clock(kMonthEnd);
        history::RecorderOptions o = options(dir, clock);
        if (garbage) {
            std::ofstream(o.path, std::ios::binary) << std::string(8192, 'x');
        } else {
            {
                history::Recorder first(o);
                first.start();
                for (uint32_t i = 0; i < 400; ++i)
                    first.add(ledger({row("p" + std::to_string(i), kHost + i, 1000 + i, 1)}));
                ASSERT_TRUE(first.flushAndWait(kWait));
            }
            // Scribble over the middle of the file, past its first page.
            std::fstream f(o.path, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(std::streamoff(fs::file_size(o.path) / 2));
            f << std::string(4096, '\xA5');
        }
        const std::string before = readAll(o.path);
        std::vector<std::string> messages;
        std::mutex m;
        o.onMessage = [&](const std::string& text) {
            std::lock_guard<std::mutex> lk(m);
            messages.push_back(text);
        };
        history::Recorder recorder(o);
        recorder.start();
        recorder.add(ledger({row("browser", kHost, 77, 7)}));
        ASSERT_TRUE(recorder.flushAndWait(kWait));
        recorder.stop();

        const std::vector<fs::path> aside = asideFiles(dir);
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(readAll(aside[0].string()), before) << "the damaged file is kept as it was";
        EXPECT_EQ(integrityCheck(o.path), "ok");
        EXPECT_EQ(tierSum(o.path, Tier::FiveMinutes).received, 77);
        std::lock_guard<std::mutex> lk(m);
        EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [&](const std::string& s) {
            return s.find("moved aside as " + aside[0].string()) != std::string::npos;
        }));
    }
}

// While writes fail (a full disk, a read-only folder), buckets wait in memory, within their
// bound, and every flush tries again; once the disk has room, everything arrives once.
TEST(HistoryWriterFaults, FailedWritesKeepTheirBucketsAndAreRetried)
{
    TempDir dir;
    FakeClock clock(kMonthEnd);
    history::RecorderOptions o = options(dir, clock);
    o.vfs = failingVfs();
    o.maxPendingEntries = 12;
    history::Recorder recorder(o);
    recorder.start();
    recorder.add(ledger({row("browser", kHost, 1, 0)}));
    ASSERT_TRUE(recorder.flushAndWait(kWait));

    setWritesFail(true);
    uint64_t expected = 1;
    // Five buckets of three hosts each: beyond twelve entries the oldest are coarsened.
    for (int bucket = 0; bucket < 5; ++bucket) {
        clock.advance(300);
        std::vector<XLedgerRow> rows;
        for (uint32_t h = 0; h < 3; ++h) {
            rows.push_back(row(bucket % 2 ? "mail" : "browser", kHost + 10 + h, 100 + h, 0));
            expected += 100 + h;
        }
        recorder.add(ledger(rows));
        EXPECT_FALSE(recorder.flushAndWait(kWait));
    }
    const history::RecorderStats failing = recorder.stats();
    setWritesFail(false);
    EXPECT_GE(failing.writeFailures, 5u);
    EXPECT_EQ(failing.role, history::RecorderStats::Role::Failing);
    EXPECT_FALSE(failing.lastError.empty());
    EXPECT_LE(failing.pendingEntries, 12u);
    EXPECT_GT(failing.bucketsCoarsened, 0u);
    EXPECT_EQ(failing.bucketsDropped, 0u);

    ASSERT_TRUE(recorder.flushAndWait(kWait));
    EXPECT_EQ(recorder.stats().role, history::RecorderStats::Role::Writer);
    // Forty days later the hours, days and months have been built from what finally arrived.
    clock.advance(86400 * 40);
    recorder.add(ledger({row("browser", kHost, 0, 1)}));
    ASSERT_TRUE(recorder.flushAndWait(kWait));
    recorder.stop();
    for (Tier tier : {Tier::Hour, Tier::Day, Tier::Month})
        EXPECT_EQ(uint64_t(tierSum(o.path, tier).received), expected) << history::tierName(tier);
    EXPECT_EQ(integrityCheck(o.path), "ok");
    // Every row names a program the file knows (no id from a rolled-back transaction).
    history::Database db;
    ASSERT_TRUE(db.open(o.path, history::Database::Mode::ReadOnly));
    EXPECT_EQ(db.queryInt("SELECT count(*) FROM usage_5min WHERE (key & 1048575) NOT IN (SELECT id FROM programs)", -1), 0);
}

// An older layout is brought up to date in one transaction, keeping its rows; a step that
// fails leaves the file as it was; a newer layout is read but never written.
TEST(HistoryWriterFaults, OlderLayoutsMigrateAndNewerOnesAreLeftAlone)
{
    TempDir dir;
    const std::string path = dir.file("history.sqlite");
    std::vector<history::Schema::Step> steps = history::Schema::steps();
    {
        history::Database db;
        ASSERT_TRUE(db.open(path, history::Database::Mode::ReadWriteCreate));
        ASSERT_EQ(history::Schema::migrate(db, steps), history::Schema::Outcome::Migrated);
        ASSERT_TRUE(db.exec("INSERT INTO programs (name, path) VALUES ('old', '/old')"));
    }
    const int current = steps.back().version;
    steps.push_back({current + 1, "ALTER TABLE programs ADD COLUMN note TEXT NOT NULL DEFAULT ''"});
    steps.push_back({current + 2, "CREATE TABLE extra (x); SELECT no_such_function()"});
    {
        history::Database db;
        ASSERT_TRUE(db.open(path, history::Database::Mode::ReadWrite));
        std::string error;
        EXPECT_EQ(history::Schema::migrate(db, steps, &error), history::Schema::Outcome::Failed);
        EXPECT_NE(error.find("step " + std::to_string(current + 2)), std::string::npos) << error;
        EXPECT_EQ(db.queryInt("PRAGMA user_version"), current) << "nothing of a failed migration stays";
        EXPECT_EQ(db.queryInt("SELECT count(*) FROM sqlite_schema WHERE name = 'extra'"), 0);
        steps.pop_back();
        EXPECT_EQ(history::Schema::migrate(db, steps), history::Schema::Outcome::Migrated);
        EXPECT_EQ(db.queryInt("PRAGMA user_version"), current + 1);
        EXPECT_EQ(db.queryInt("SELECT count(*) FROM programs WHERE name = 'old' AND note = ''"), 1);
        EXPECT_EQ(history::Schema::migrate(db, steps), history::Schema::Outcome::Current);
    }
    // To this program's own layout the file is now newer.
    const std::string before = readAll(path);
    FakeClock clock(kMonthEnd);
    history::RecorderOptions o = options(dir, clock);
    history::Recorder recorder(o);
    recorder.start();
    recorder.add(ledger({row("browser", kHost, 1, 0)}));
    EXPECT_FALSE(recorder.flushAndWait(kWait));
    EXPECT_EQ(recorder.stats().role, history::RecorderStats::Role::Refused);
    recorder.stop();
    EXPECT_EQ(readAll(path), before);
}

} // namespace
