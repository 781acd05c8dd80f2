#include "history/Tier.h"

#include <charconv>
#include <chrono>
#include <limits>

namespace history {

namespace {

using namespace std::chrono;

int64_t floorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The calendar is defined from year 1 to 9999; times outside are held at its ends.
constexpr int64_t kFirstTime = -62135596800;  // 0001-01-01
constexpr int64_t kLastTime = 253402300799;   // 9999-12-31 23:59:59

int64_t clampTime(int64_t t)
{
    return t < kFirstTime ? kFirstTime : (t > kLastTime ? kLastTime : t);
}

int64_t monthStart(int64_t t)
{
    t = clampTime(t);
    const sys_days day{days{floorDiv(t, kDay)}};
    const year_month_day ymd{day};
    return sys_days{ymd.year() / ymd.month() / 1}.time_since_epoch().count() * kDay;
}

int64_t followingMonth(int64_t start)
{
    start = clampTime(start);
    const year_month_day ymd{sys_days{days{floorDiv(start, kDay)}}};
    const year_month next = ymd.year() / ymd.month() + months{1};
    return sys_days{next / 1}.time_since_epoch().count() * kDay;
}

} // namespace

int64_t bucketStart(Tier tier, int64_t t)
{
    switch (tier) {
    case Tier::FiveMinutes: return floorDiv(t, kFiveMinutes) * kFiveMinutes;
    case Tier::Hour: return floorDiv(t, kHour) * kHour;
    case Tier::Day: return floorDiv(t, kDay) * kDay;
    case Tier::Month: return monthStart(t);
    }
    return t;
}

int64_t nextBucket(Tier tier, int64_t start)
{
    switch (tier) {
    case Tier::FiveMinutes: return bucketStart(tier, start) + kFiveMinutes;
    case Tier::Hour: return bucketStart(tier, start) + kHour;
    case Tier::Day: return bucketStart(tier, start) + kDay;
    case Tier::Month: return followingMonth(monthStart(start));
    }
    return start;
}

bool isBucketStart(Tier tier, int64_t t)
{
    return bucketStart(tier, t) == t;
}

const char* tierTable(Tier tier)
{
    switch (tier) {
    case Tier::FiveMinutes: return "usage_5min";
    case Tier::Hour: return "usage_hour";
    case Tier::Day: return "usage_day";
    case Tier::Month: return "usage_month";
    }
    return "";
}

const char* tierHostsTable(Tier tier)
{
    switch (tier) {
    case Tier::FiveMinutes: return "usage_5min_hosts";
    case Tier::Hour: return "usage_hour_hosts";
    case Tier::Day: return "usage_day_hosts";
    case Tier::Month: return "usage_month_hosts";
    }
    return "";
}

const char* tierName(Tier tier)
{
    switch (tier) {
    case Tier::FiveMinutes: return "5min";
    case Tier::Hour: return "hour";
    case Tier::Day: return "day";
    case Tier::Month: return "month";
    }
    return "";
}

Retention Retention::effective() const
{
    Retention r = *this;
    for (int i = 0; i < kTiers; ++i)
        if (r.seconds[size_t(i)] < 0)
            r.seconds[size_t(i)] = 0;
    // A finer tier kept for ever makes every coarser one kept for ever; otherwise each
    // coarser tier keeps at least as long as the one before it.
    for (int i = 1; i < kTiers; ++i) {
        const int64_t finer = r.seconds[size_t(i - 1)];
        int64_t& mine = r.seconds[size_t(i)];
        if (finer == 0)
            mine = 0;
        else if (mine != 0 && mine < finer)
            mine = finer;
    }
    return r;
}

int64_t Retention::purgeBefore(Tier tier, int64_t now) const
{
    const Retention r = effective();
    const int64_t keep = r.seconds[size_t(tier)];
    if (keep == 0)
        return std::numeric_limits<int64_t>::min();
    const int64_t cut = now - keep;
    switch (tier) {
    case Tier::FiveMinutes: return bucketStart(Tier::Hour, cut);
    case Tier::Hour: return bucketStart(Tier::Day, cut);
    case Tier::Day: return bucketStart(Tier::Month, cut);
    case Tier::Month: return bucketStart(Tier::Month, cut);
    }
    return cut;
}

namespace {

// "7d", "2w", "3mo", "5y" or "forever" in seconds (0: for ever); -1 when none of those.
int64_t keepSeconds(std::string_view text)
{
    if (text == "forever")
        return 0;
    struct Unit {
        std::string_view suffix;
        int64_t seconds;
    };
    for (const Unit& unit : {Unit{"mo", 31 * kDay}, Unit{"d", kDay}, Unit{"w", 7 * kDay}, Unit{"y", 366 * kDay}}) {
        if (!text.ends_with(unit.suffix))
            continue;
        const std::string_view digits = text.substr(0, text.size() - unit.suffix.size());
        int64_t n = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        // Up to about 10 000 years: the calendar ends there.
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || n < 1 ||
            n > 3'660'000 * kDay / unit.seconds)
            return -1;
        return n * unit.seconds;
    }
    return -1;
}

} // namespace

bool parseRetention(std::string_view text, Retention& out, std::string* error)
{
    Retention parsed = out;
    const auto fail = [error](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (text.empty())
        return fail("no retention given: write e.g. 5min=7d,hour=90d,day=5y,month=forever");
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        const size_t equals = item.find('=');
        if (equals == std::string_view::npos)
            return fail("\"" + std::string(item) + "\" is not TIER=DURATION (e.g. hour=90d)");
        const std::string_view name = item.substr(0, equals);
        int tier = -1;
        for (Tier t : kAllTiers)
            if (name == tierName(t))
                tier = int(t);
        if (tier < 0)
            return fail("unknown tier \"" + std::string(name) + "\" (5min, hour, day or month)");
        const int64_t seconds = keepSeconds(item.substr(equals + 1));
        if (seconds < 0)
            return fail("\"" + std::string(item.substr(equals + 1)) +
                        "\" is not a duration: a whole number of d, w, mo or y, or forever");
        parsed.seconds[size_t(tier)] = seconds;
        if (comma != std::string_view::npos && text.empty())
            return fail("a tier is missing after the last comma");
    }
    out = parsed;
    return true;
}

std::string retentionText(const Retention& retention)
{
    std::string text;
    for (Tier tier : kAllTiers) {
        const int64_t seconds = retention.seconds[size_t(tier)];
        text += std::string(text.empty() ? "" : ",") + tierName(tier) + "=" +
                (seconds <= 0 ? std::string("forever") : std::to_string((seconds + kDay - 1) / kDay) + "d");
    }
    return text;
}

} // namespace history
