#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace history {

// The bucket sizes history is kept in, finest first. Buckets are UTC: 5 minutes, hours, days
// and calendar months, each starting at a multiple of its length (months on the 1st, 00:00 UTC).
enum class Tier : int { FiveMinutes = 0, Hour = 1, Day = 2, Month = 3 };
constexpr int kTiers = 4;
constexpr std::array<Tier, kTiers> kAllTiers = {Tier::FiveMinutes, Tier::Hour, Tier::Day, Tier::Month};

constexpr int64_t kFiveMinutes = 300;
constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 86400;

// Start of the bucket of tier that holds t (Unix seconds), and the start of the next one.
int64_t bucketStart(Tier tier, int64_t t);
int64_t nextBucket(Tier tier, int64_t start);
// Whether t is the start of a bucket of tier.
bool isBucketStart(Tier tier, int64_t t);

// The tables that hold a tier: the programs' totals ("usage_5min", "usage_hour", "usage_day",
// "usage_month") and, apart so that totals are read without them, their host lists
// ("usage_5min_hosts" ...).
const char* tierTable(Tier tier);
const char* tierHostsTable(Tier tier);
const char* tierName(Tier tier);  // "5min", "hour", "day", "month"

// How long each tier is kept, in seconds; 0 keeps it for ever. A coarser tier is always kept
// at least as long as a finer one (effective() raises it), so every moment stays covered by
// some tier.
struct Retention {
    std::array<int64_t, kTiers> seconds = {7 * kDay, 90 * kDay, 5 * 366 * kDay, 0};

    Retention effective() const;
    // Buckets of tier that start before this are removed at now: the retention cut, rounded
    // down to the next coarser tier's bucket so that the tiers' ranges join at a boundary both
    // can split at. INT64_MIN when the tier is kept for ever.
    int64_t purgeBefore(Tier tier, int64_t now) const;
};

// Retention as a user writes it (a setting, a command-line option):
// "5min=7d,hour=90d,day=5y,month=forever", any of the four tiers in any order, each a whole
// number of days (d), weeks (w), months of 31 days (mo) or years of 366 days (y), or
// "forever". Tiers not named keep the value out had. False, with the reason in error and out
// unchanged, when the text is anything else.
bool parseRetention(std::string_view text, Retention& out, std::string* error = nullptr);
// The same text for a retention (every tier, in whole days or "forever").
std::string retentionText(const Retention& retention);

} // namespace history
