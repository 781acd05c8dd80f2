#pragma once

#include "history/TimeRange.h"

#include <cstdint>
#include <string>

namespace orvane {

// The ranges the history page offers: four that end now, or one calendar month.
enum class HistorySpanKind { Today, Last7Days, Last30Days, Last12Months, Month };

struct HistorySpan {
    HistorySpanKind kind = HistorySpanKind::Today;
    int year = 0;   // Month: the local calendar month
    int month = 0;  // 1-12

    static HistorySpan of(HistorySpanKind kind) { return {kind, 0, 0}; }
    // The month that holds now (local time).
    static HistorySpan monthOf(int64_t now);
    friend bool operator==(const HistorySpan&, const HistorySpan&) = default;
};

// The chart never has more bars than this: the finest step that keeps within it is taken.
inline constexpr int kMostHistoryBars = 200;

// The local time range of span at now (Unix seconds); a month's range is the whole month,
// also while it is still running.
history::TimeRange spanRange(const HistorySpan& span, int64_t now);
// The range the chart spans: today's whole day (the hours to come empty), else spanRange().
history::TimeRange chartRange(const HistorySpan& span, int64_t now);
// How the chart cuts the range: hours while they are at most kMostHistoryBars (today, seven
// days), else days (thirty days, a month), else months (twelve months).
history::Step spanStep(const history::TimeRange& range);
// The month before or after span's month (span itself when it is not a month); never past
// the month of now.
HistorySpan stepMonth(const HistorySpan& span, int by, int64_t now);
// Whether span reaches now, so that its answer grows while it is on show.
bool spanIsLive(const HistorySpan& span, int64_t now);
// A range as the page shows it: "2026-12-01 – 2026-12-31" when it runs from midnight to
// midnight (the last day included), else with the times ("2026-12-09 00:00 – 2026-12-09 16:05").
std::string rangeText(const history::TimeRange& range);
// Whether an answer's covered span tells the user something: it starts or ends more than the
// finest bucket (5 minutes) away from the range asked, because older parts of the range are
// kept only in coarser buckets. (A range that ends now always ends inside a 5-minute bucket.)
bool coveredDiffers(const history::TimeRange& asked, const history::TimeRange& covered);
// "2026-11" for a month, empty otherwise.
std::string monthText(const HistorySpan& span);

} // namespace orvane
