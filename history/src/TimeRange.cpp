#include "history/TimeRange.h"

#include <charconv>
#include <ctime>

#include "LocalTime.h"

namespace history {

namespace {

// Times are kept between 1970 and 9999, which every local-time conversion handles.
constexpr int64_t kLatest = 253402300799;
// A series never has more points than this (a decade by the hour).
constexpr size_t kMaxPoints = 100000;

std::tm localOf(int64_t t)
{
    return localTimeOf(std::time_t(t));
}

// mktime with the DST flag left to the library, so that a wall time names the instant it
// has on that day.
int64_t fromLocal(std::tm tm)
{
    tm.tm_isdst = -1;
    return int64_t(std::mktime(&tm));
}

int64_t localMidnight(int64_t t, int dayOffset)
{
    std::tm tm = localOf(t);
    tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    tm.tm_mday += dayOffset;
    return fromLocal(tm);
}

int64_t localMonthStart(int64_t t, int monthOffset)
{
    std::tm tm = localOf(t);
    tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
    tm.tm_mday = 1;
    tm.tm_mon += monthOffset;
    return fromLocal(tm);
}

bool number(std::string_view text, int& out)
{
    if (text.empty())
        return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr == text.data() + text.size();
}

int64_t clampTime(int64_t t)
{
    return t < 0 ? 0 : (t > kLatest ? kLatest : t);
}

} // namespace

TimeRange presetRange(Preset preset, int64_t now)
{
    now = clampTime(now);
    switch (preset) {
    case Preset::Today: return {localMidnight(now, 0), now};
    case Preset::Last7Days: return {localMidnight(now, -6), now};
    case Preset::Last30Days: return {localMidnight(now, -29), now};
    case Preset::Last12Months: return {localMonthStart(now, -11), now};
    }
    return {now, now};
}

TimeRange monthRange(int year, int month)
{
    if (year < 1970 || year > 9999 || month < 1 || month > 12)
        return {};
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = 1;
    const int64_t from = fromLocal(tm);
    tm.tm_mon += 1;
    return {from, fromLocal(tm)};
}

bool parseSince(std::string_view text, int64_t now, TimeRange& out, std::string* error)
{
    now = clampTime(now);
    if (text == "today") {
        out = presetRange(Preset::Today, now);
        return true;
    }
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    int amount = 0;
    const std::string_view unit = text.substr(digits);
    if (!number(text.substr(0, digits), amount) || amount < 1 || amount > 100000) {
        if (error)
            *error = "--since needs an amount and a unit: 90m, 24h, 7d, 2w, 12mo, 1y or today";
        return false;
    }
    int64_t seconds = 0;
    if (unit == "m" || unit == "min")
        seconds = int64_t(amount) * 60;
    else if (unit == "h")
        seconds = int64_t(amount) * 3600;
    else if (unit == "d")
        seconds = int64_t(amount) * 86400;
    else if (unit == "w")
        seconds = int64_t(amount) * 7 * 86400;
    if (seconds > 0) {
        out = {clampTime(now - seconds), now};
        return true;
    }
    if (unit == "mo" || unit == "y") {
        if (amount > 10000) {
            if (error)
                *error = "--since reaches too far back";
            return false;
        }
        std::tm tm = localOf(now);
        tm.tm_mon -= unit == "y" ? amount * 12 : amount;
        out = {clampTime(fromLocal(tm)), now};
        return true;
    }
    if (error)
        *error = "--since: unknown unit in " + std::string(text) + " (m, h, d, w, mo, y)";
    return false;
}

bool parseLocalTime(std::string_view text, bool endOfDay, int64_t& out, std::string* error)
{
    const auto bad = [&] {
        if (error)
            *error = "a date is YYYY-MM-DD, optionally followed by HH:MM or HH:MM:SS: " + std::string(text);
        return false;
    };
    int y, mo, d, h = 0, mi = 0, s = 0;
    if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !number(text.substr(0, 4), y) ||
        !number(text.substr(5, 2), mo) || !number(text.substr(8, 2), d))
        return bad();
    const bool hasTime = text.size() > 10;
    if (hasTime) {
        const std::string_view time = text.substr(11);
        if ((text[10] != 'T' && text[10] != ' ') || (time.size() != 5 && time.size() != 8) || time[2] != ':' ||
            !number(time.substr(0, 2), h) || !number(time.substr(3, 2), mi))
            return bad();
        if (time.size() == 8 && (time[5] != ':' || !number(time.substr(6, 2), s)))
            return bad();
    }
    if (y < 1970 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
        return bad();
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    // mktime would quietly turn 2025-02-30 into March 2.
    std::tm check = tm;
    check.tm_isdst = -1;
    std::mktime(&check);
    if (check.tm_mon != mo - 1 || check.tm_mday != d)
        return bad();
    if (!hasTime && endOfDay)
        tm.tm_mday += 1;
    out = fromLocal(tm);
    return true;
}

bool parseMonth(std::string_view text, TimeRange& out, std::string* error)
{
    int y, m;
    if (text.size() != 7 || text[4] != '-' || !number(text.substr(0, 4), y) || !number(text.substr(5, 2), m) ||
        monthRange(y, m).empty()) {
        if (error)
            *error = "a month is YYYY-MM: " + std::string(text);
        return false;
    }
    out = monthRange(y, m);
    return true;
}

std::string formatLocal(int64_t t, bool dateOnly)
{
    const std::tm tm = localOf(clampTime(t));
    char text[32];
    std::strftime(text, sizeof text, dateOnly ? "%Y-%m-%d" : "%Y-%m-%d %H:%M", &tm);
    return text;
}

std::vector<int64_t> stepBoundaries(const TimeRange& range, Step step)
{
    std::vector<int64_t> out;
    const int64_t from = clampTime(range.from), to = clampTime(range.to);
    if (to <= from)
        return out;
    int64_t t;
    switch (step) {
    case Step::Hour: {
        std::tm tm = localOf(from);
        tm.tm_min = tm.tm_sec = 0;
        t = fromLocal(tm);
        while (t < to && out.size() < kMaxPoints) {
            out.push_back(t);
            t += 3600;
        }
        break;
    }
    case Step::Day:
        for (int i = 0; (t = localMidnight(from, i)) < to && out.size() < kMaxPoints; ++i)
            out.push_back(t);
        break;
    case Step::Month:
        for (int i = 0; (t = localMonthStart(from, i)) < to && out.size() < kMaxPoints; ++i)
            out.push_back(t);
        break;
    }
    out.push_back(to);
    return out;
}

} // namespace history
