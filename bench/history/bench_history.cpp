// The history database at the size of a busy desktop: 60 programs exchanging traffic with
// 2 000 program-host pairs every hour, all day, every day.
//
//   bench_history [--days N] [--dir DIR] [--year-dir DIR] [--keep] [--reuse FILE]
//
// 1. A busy hour as the recorder writes it (one flush a minute) in --dir (default: the
//    temporary folder, a real disk, each commit synced): time per flush, file size, and what
//    add() costs the caller per delta row.
// 2. --days of synthetic buckets (default 365) through the same recorder with the default
//    retention, one flush per synthetic hour, in --year-dir (default /dev/shm when there is
//    one: 8 760 synced commits on a disk take an hour and measure nothing the size depends
//    on): file size, rows per tier, PRAGMA quick_check time (the writer's check at open).
// 3. The queries of the history page on that file, median of 7 runs each, in UTC and in a
//    zone whose days are not UTC days (Asia/Shanghai), where a month of days reads hours.
// --reuse FILE skips 2 and queries FILE (a year written by an earlier --keep run).
// Lines starting with RESULT hold the figures the goals are about: a year under 100 MB, a
// month view under 100 ms.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "history/Database.h"
#include "history/HistoryReader.h"
#include "history/Recorder.h"
#include "history/Tier.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class SyntheticClock : public history::RecorderClock {
public:
    explicit SyntheticClock(int64_t seconds) : m_ms(seconds * 1000) {}
    history::ClockReading now() override { return {m_ms, m_ms}; }
    void set(int64_t seconds) { m_ms = seconds * 1000; }

private:
    int64_t m_ms;
};

// The desktop: ten busy programs with 150 hosts an hour each from pools of 1 200, fifty
// quiet ones with 10 an hour from pools of 40; hosts drawn with a skew, so that some come
// back every hour; each pair active in 1 to 6 of the hour's 5-minute buckets; 200 bytes to
// 5 MB a pair and hour, evenly over the orders of magnitude (about 24 GB a day in all).
struct Desktop {
    static constexpr int kPrograms = 60;
    static constexpr int kBusy = 10;
    std::mt19937_64 random{20250331};
    std::vector<std::vector<uint32_t>> pools;
    std::vector<std::string> locations;

    Desktop()
    {
        std::uniform_int_distribution<uint32_t> address(0x01000000, 0xDF000000);
        std::vector<uint32_t> everyone(40000);
        for (uint32_t& a : everyone)
            a = address(random);
        for (int p = 0; p < kPrograms; ++p) {
            std::vector<uint32_t> pool(p < kBusy ? 1200 : 40);
            for (uint32_t& a : pool)
                a = everyone[random() % everyone.size()];
            pools.push_back(pool);
        }
        for (int i = 0; i < 30; ++i)
            locations.push_back("country " + std::to_string(i));
    }

    static std::string name(int p) { return "program" + std::to_string(p); }

    // The hour's rows per 5-minute bucket.
    std::vector<XLedger> hour()
    {
        std::vector<XLedger> buckets(12);
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        for (int p = 0; p < kPrograms; ++p) {
            const int pairs = p < kBusy ? 150 : 10;
            std::vector<uint32_t> chosen;
            while (int(chosen.size()) < pairs) {
                const double u = unit(random);
                const uint32_t a = pools[size_t(p)][size_t(u * u * double(pools[size_t(p)].size()))];
                if (std::find(chosen.begin(), chosen.end(), a) == chosen.end())
                    chosen.push_back(a);
            }
            for (uint32_t a : chosen) {
                const int active = 1 + int(random() % 6);
                const double bytes = std::pow(10.0, 2.3 + unit(random) * 4.4);  // 200 B to 5 MB an hour
                const int kind = int(random() % 20);
                for (int k = 0; k < active; ++k) {
                    XLedgerRow row;
                    row.program = name(p);
                    row.path = "/usr/bin/" + row.program;
                    row.remoteAddress = a;
                    row.protocol = kind < 17 ? 6 : 17;
                    row.remotePortClass = kind < 19 ? 443 : 53;
                    row.dnsName = a % 10 < 7 ? "h" + std::to_string(a) + ".example.net" : "";
                    row.bytes[0] = uint64_t(bytes * 5 / 6 / active);
                    row.bytes[1] = uint64_t(bytes / 6 / active);
                    row.packets[0] = row.bytes[0] / 1200 + 1;
                    row.packets[1] = row.bytes[1] / 400 + 1;
                    buckets[(random() % 12)].rows.push_back(row);
                }
            }
            if (p < kBusy)
                for (XLedger& b : buckets)
                    b.disk.push_back({name(p), "/usr/bin/" + name(p), 1 << 20, 1 << 16});
        }
        return buckets;
    }
};

history::RecorderOptions optionsFor(const std::string& path, SyntheticClock& clock, const Desktop& desktop)
{
    history::RecorderOptions o;
    o.path = path;
    o.clock = &clock;
    o.flushInterval = std::chrono::hours(24);
    o.location = [&desktop](uint32_t a) { return desktop.locations[a % desktop.locations.size()]; };
    return o;
}

uint64_t fileBytes(const std::string& path)
{
    std::error_code ec;
    uint64_t sum = 0;
    for (const char* suffix : {"", "-wal"})
        if (fs::exists(path + suffix, ec))
            sum += fs::file_size(path + suffix, ec);
    return sum;
}

double msSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

void busyHour(const std::string& dir)
{
    const std::string path = dir + "/busy-hour.sqlite";
    Desktop desktop;
    const int64_t start = 1743465600;  // 2025-04-01 00:00 UTC
    SyntheticClock clock(start);
    std::vector<double> flushes, adds;
    {
        history::Recorder recorder(optionsFor(path, clock, desktop));
        recorder.start();
        const std::vector<XLedger> buckets = desktop.hour();
        for (int minute = 0; minute < 60; ++minute) {
            // Each minute brings a fifth of its bucket's rows.
            const XLedger& bucket = buckets[size_t(minute / 5)];
            XLedger part;
            for (size_t i = size_t(minute % 5); i < bucket.rows.size(); i += 5)
                part.rows.push_back(bucket.rows[i]);
            if (minute % 5 == 0)
                part.disk = bucket.disk;
            clock.set(start + minute * 60 + 30);
            const auto a = Clock::now();
            recorder.add(part);
            adds.push_back(msSince(a) * 1000.0 / double(std::max<size_t>(1, part.rows.size())));
            const auto t = Clock::now();
            if (!recorder.flushAndWait(std::chrono::seconds(60)))
                std::printf("flush %d failed\n", minute);
            flushes.push_back(msSince(t));
        }
    }
    std::sort(flushes.begin(), flushes.end());
    double sum = 0;
    for (double f : flushes)
        sum += f;
    std::printf("RESULT busy_hour_flush_mean_ms %.2f\n", sum / double(flushes.size()));
    std::printf("RESULT busy_hour_flush_median_ms %.2f\n", flushes[flushes.size() / 2]);
    std::printf("RESULT busy_hour_flush_max_ms %.2f\n", flushes.back());
    std::printf("RESULT busy_hour_file_KB %.0f\n", double(fileBytes(path)) / 1024.0);
    std::sort(adds.begin(), adds.end());
    std::printf("RESULT add_per_row_us_median %.2f (the caller's cost of one delta row)\n", adds[adds.size() / 2]);
}

int64_t count(history::Database& db, const char* sql)
{
    return db.queryInt(sql, -1);
}

void year(const std::string& path, int days)
{
    Desktop desktop;
    const int64_t end = 1743465600;  // 2025-04-01 00:00 UTC
    const int64_t start = end - int64_t(days) * 86400;
    SyntheticClock clock(start);
    const auto t0 = Clock::now();
    {
        history::Recorder recorder(optionsFor(path, clock, desktop));
        recorder.start();
        for (int64_t hour = start; hour < end; hour += 3600) {
            const std::vector<XLedger> buckets = desktop.hour();
            for (int b = 0; b < 12; ++b) {
                clock.set(hour + b * 300 + 150);
                recorder.add(buckets[size_t(b)]);
            }
            recorder.flushAndWait(std::chrono::seconds(120));
            if ((hour - start) % (86400 * 30) == 0)
                std::printf("  day %lld of %d, %.0f s, %.1f MB\n", (long long)((hour - start) / 86400), days,
                            msSince(t0) / 1000.0, double(fileBytes(path)) / 1048576.0);
            std::fflush(stdout);
        }
        const history::RecorderStats s = recorder.stats();
        std::printf("  flushes %llu, write failures %llu, hosts folded %llu\n", (unsigned long long)s.flushes,
                    (unsigned long long)s.writeFailures, (unsigned long long)s.hostsFolded);
    }
    std::printf("RESULT year_build_s %.0f\n", msSince(t0) / 1000.0);
    std::printf("RESULT year_days %d\n", days);
    std::printf("RESULT year_file_MB %.1f\n", double(fileBytes(path)) / 1048576.0);
}

void describe(const std::string& path)
{
    history::Database db;
    if (!db.open(path, history::Database::Mode::ReadOnly))
        return;
    for (history::Tier tier : history::kAllTiers) {
        const std::string table = history::tierTable(tier);
        const std::string rows = "SELECT count(*) FROM " + table;
        const std::string blob = std::string("SELECT sum(length(hosts)) FROM ") + history::tierHostsTable(tier);
        std::printf("  %-12s %8lld rows, host lists %6.1f MB\n", table.c_str(), (long long)count(db, rows.c_str()),
                    double(count(db, blob.c_str())) / 1048576.0);
    }
    std::printf("  programs %lld, hosts %lld, page size %lld, pages %lld, free pages %lld\n",
                (long long)count(db, "SELECT count(*) FROM programs"), (long long)count(db, "SELECT count(*) FROM hosts"),
                (long long)count(db, "PRAGMA page_size"), (long long)count(db, "PRAGMA page_count"),
                (long long)count(db, "PRAGMA freelist_count"));
    const auto t = Clock::now();
    history::Statement check = db.prepare("PRAGMA quick_check");
    check.step();
    std::printf("RESULT quick_check_ms %.0f (%s)\n", msSince(t), check.text(0).c_str());
}

double median(std::function<bool()> run)
{
    std::vector<double> times;
    for (int i = 0; i < 7; ++i) {
        const auto t = Clock::now();
        if (!run())
            return -1;
        times.push_back(msSince(t));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void queries(const std::string& path, const char* zone)
{
    setenv("TZ", zone, 1);
    tzset();
    history::HistoryReader reader;
    std::string error;
    if (!reader.open(path, &error)) {
        std::printf("cannot open %s: %s\n", path.c_str(), error.c_str());
        return;
    }
    const int64_t now = 1743465600 - 60;  // the end of the synthetic year
    const history::TimeRange month = history::monthRange(2025, 3);
    const history::TimeRange thirty = history::presetRange(history::Preset::Last30Days, now);
    const history::TimeRange twelve = history::presetRange(history::Preset::Last12Months, now);
    const history::TimeRange today = history::presetRange(history::Preset::Today, now);
    const history::TimeRange old = history::monthRange(2024, 6);
    std::vector<history::ProgramUsage> programs;
    std::vector<history::HostUsage> hosts;
    std::vector<history::SeriesPoint> series;
    reader.programs(month, {}, programs);
    const std::string busiest = programs.empty() ? "" : programs[0].name;
    reader.hosts(month, {}, hosts);
    const uint32_t busiestHost = hosts.empty() ? 0 : hosts[0].address;
    struct Query {
        const char* name;
        std::function<bool()> run;
    };
    const std::vector<Query> list = {
        {"month_programs", [&] { return reader.programs(month, {}, programs).ok; }},
        {"month_series_by_day", [&] { return reader.series(month, history::Step::Day, {}, series).ok; }},
        {"month_hosts_of_busiest_program",
         [&] { return reader.hosts(month, history::Filter::ofProgram(busiest), hosts).ok; }},
        {"month_programs_of_busiest_host",
         [&] { return reader.programs(month, history::Filter::ofHost(busiestHost), programs).ok; }},
        {"month_all_hosts", [&] { return reader.hosts(month, {}, hosts).ok; }},
        {"30_days_programs", [&] { return reader.programs(thirty, {}, programs).ok; }},
        {"30_days_series_by_day", [&] { return reader.series(thirty, history::Step::Day, {}, series).ok; }},
        {"today_series_by_hour", [&] { return reader.series(today, history::Step::Hour, {}, series).ok; }},
        {"12_months_programs", [&] { return reader.programs(twelve, {}, programs).ok; }},
        {"12_months_series_by_month", [&] { return reader.series(twelve, history::Step::Month, {}, series).ok; }},
        {"old_month_programs", [&] { return reader.programs(old, {}, programs).ok; }},
    };
    double monthView = 0;
    for (const Query& q : list) {
        const double ms = median(q.run);
        std::printf("RESULT %s_%s_ms %.1f\n", zone[0] == 'U' ? "utc" : "cst", q.name, ms);
        if (std::string(q.name).starts_with("month_programs") || std::string(q.name) == "month_series_by_day" ||
            std::string(q.name) == "month_hosts_of_busiest_program")
            monthView += ms;
    }
    std::printf("RESULT %s_month_view_ms %.1f (programs, series by day, hosts of the selected program)\n",
                zone[0] == 'U' ? "utc" : "cst", monthView);
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir = fs::temp_directory_path() / ("lvx-bench-history-" + std::to_string(::getpid()));
    std::string yearDir = fs::exists("/dev/shm") ? "/dev/shm/lvx-bench-history-" + std::to_string(::getpid()) : dir;
    std::string reuse;
    int days = 365;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--days" && i + 1 < argc)
            days = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (arg == "--year-dir" && i + 1 < argc)
            yearDir = argv[++i];
        else if (arg == "--reuse" && i + 1 < argc)
            reuse = argv[++i];
        else if (arg == "--keep")
            keep = true;
        else {
            std::fprintf(stderr, "usage: bench_history [--days N] [--dir DIR] [--year-dir DIR] [--keep] [--reuse FILE]\n");
            return 2;
        }
    }
    std::string path = reuse;
    if (reuse.empty()) {
        fs::create_directories(dir);
        fs::create_directories(yearDir);
        std::printf("busy hour\n");
        busyHour(dir);
        path = yearDir + "/year.sqlite";
        std::printf("%d days\n", days);
        year(path, days);
    }
    describe(path);
    queries(path, "UTC");
    queries(path, "Asia/Shanghai");
    if (!keep && reuse.empty()) {
        fs::remove_all(dir);
        fs::remove_all(yearDir);
    } else
        std::printf("kept %s\n", path.c_str());
    return 0;
}
