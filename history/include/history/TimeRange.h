#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace history {

// A span of time, Unix seconds, from inclusive, to exclusive.
struct TimeRange {
    int64_t from = 0;
    int64_t to = 0;
    bool empty() const { return to <= from; }
    bool operator==(const TimeRange&) const = default;
};

// The ranges a user picks, in local time, ending at now:
//   Today         since 00:00 today
//   Last7Days     since 00:00 six days ago (seven calendar days with today)
//   Last30Days    since 00:00 29 days ago
//   Last12Months  since the 1st of the month eleven months ago
enum class Preset { Today, Last7Days, Last30Days, Last12Months };
TimeRange presetRange(Preset preset, int64_t now);
// A calendar month in local time (month 1-12); empty when out of range.
TimeRange monthRange(int year, int month);

// "24h", "7d", "30d", "12mo", "90m" (minutes), "2w", "1y", "today": the range from that long
// before now to now (months and years by the calendar). False with a message when text is
// none of those.
bool parseSince(std::string_view text, int64_t now, TimeRange& out, std::string* error);
// A local date "YYYY-MM-DD", optionally with a time "HH:MM[:SS]" after 'T' or a blank. For a
// date alone, endOfDay gives the start of the next day (so --to 2025-03-31 includes that day).
bool parseLocalTime(std::string_view text, bool endOfDay, int64_t& out, std::string* error);
// "YYYY-MM": that local month.
bool parseMonth(std::string_view text, TimeRange& out, std::string* error);

// "2025-03-01 14:05" in local time; dateOnly drops the time.
std::string formatLocal(int64_t t, bool dateOnly = false);

// The starts of the local hours, days or months that cut range into points of a series: the
// first is range.from rounded down to the step, each next one step later, all before
// range.to; then range.to itself closes the last point.
enum class Step { Hour, Day, Month };
std::vector<int64_t> stepBoundaries(const TimeRange& range, Step step);

} // namespace history
