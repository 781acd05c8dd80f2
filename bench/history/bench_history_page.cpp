// The history page's own query path on a year-sized database: what its worker runs for a
// month (the programs, the chart by day and the hosts of the selected program, in one
// runHistoryQuery), and for the other ranges, median of 7 runs each.
//
//   bench_history_page FILE     (FILE: a year kept by `bench_history --keep`)
//
// In UTC and in Asia/Shanghai (days that are not UTC days). RESULT lines hold the figures;
// the goal is a month view under 100 ms. "first" is the page's first question after it
// opened the file (the names are read then), the others reuse the open reader.
#include "core/history/HistoryQuery.h"
#include "core/history/HistorySpan.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double median(const std::function<bool()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < 7; ++i) {
        const auto t = Clock::now();
        if (!run())
            return -1;
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

orvane::HistoryRequest request(const orvane::HistorySpan& span, int64_t now)
{
    orvane::HistoryRequest r;
    r.range = orvane::spanRange(span, now);
    r.chartRange = orvane::chartRange(span, now);
    r.step = orvane::spanStep(r.chartRange);
    return r;
}

void measure(const std::string& path, const char* zone)
{
    setenv("TZ", zone, 1);
    tzset();
    const char* tag = zone[0] == 'U' ? "utc" : "cst";
    // The end of bench_history's synthetic year, 2025-03-31 23:59 UTC.
    const int64_t now = 1743465600 - 60;
    const orvane::HistorySpan month{orvane::HistorySpanKind::Month, 2025, 3};

    // The month view as the page first asks it: a fresh reader, then with the busiest
    // program selected.
    history::HistoryReader first;
    if (!first.open(path)) {
        std::printf("cannot open %s\n", path.c_str());
        return;
    }
    orvane::HistoryRequest view = request(month, now);
    auto t = Clock::now();
    const orvane::HistoryResult opened = orvane::runHistoryQuery(first, view);
    std::printf("RESULT %s_page_first_month_view_ms %.1f\n", tag,
                std::chrono::duration<double, std::milli>(Clock::now() - t).count());
    if (!opened.ok || opened.programs.empty()) {
        std::printf("no answer: %s\n", opened.error.c_str());
        return;
    }
    view.selection.programId = opened.programs.front().id;

    history::HistoryReader reader;
    reader.open(path);
    struct Case {
        const char* name;
        orvane::HistoryRequest request;
    };
    orvane::HistoryRequest detail = view;
    detail.parts = orvane::HistoryRequest::Detail;
    orvane::HistoryRequest hosts = view;
    hosts.mode = orvane::HistoryListMode::Hosts;
    hosts.selection = {};
    const std::vector<Case> cases = {
        {"page_month_view", view},
        {"page_month_select_program", detail},
        {"page_month_by_host", hosts},
        {"page_today", request(orvane::HistorySpan::of(orvane::HistorySpanKind::Today), now)},
        {"page_7_days", request(orvane::HistorySpan::of(orvane::HistorySpanKind::Last7Days), now)},
        {"page_30_days", request(orvane::HistorySpan::of(orvane::HistorySpanKind::Last30Days), now)},
        {"page_12_months", request(orvane::HistorySpan::of(orvane::HistorySpanKind::Last12Months), now)},
    };
    for (const Case& c : cases) {
        const double ms = median([&] { return orvane::runHistoryQuery(reader, c.request).ok; });
        std::printf("RESULT %s_%s_ms %.1f\n", tag, c.name, ms);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_history_page FILE   (a year kept by bench_history --keep)\n");
        return 2;
    }
    measure(argv[1], "UTC");
    measure(argv[1], "Asia/Shanghai");
    return 0;
}
