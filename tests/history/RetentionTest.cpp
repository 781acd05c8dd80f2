// Retention as the user writes it (user.ini, --history-keep), and the rule that a coarser tier
// is never kept shorter than a finer one.
#include "history/Tier.h"

#include <gtest/gtest.h>

using history::kDay;
using history::Retention;
using history::Tier;

namespace {

int64_t keep(const Retention& r, Tier tier)
{
    return r.seconds[size_t(tier)];
}

} // namespace

TEST(HistoryRetention, TextNamesSomeTiersAndLeavesTheOthers)
{
    Retention r;
    ASSERT_TRUE(history::parseRetention("hour=30d,5min=2d,month=3y", r));
    EXPECT_EQ(keep(r, Tier::FiveMinutes), 2 * kDay);
    EXPECT_EQ(keep(r, Tier::Hour), 30 * kDay);
    EXPECT_EQ(keep(r, Tier::Day), 5 * 366 * kDay);  // the default
    EXPECT_EQ(keep(r, Tier::Month), 3 * 366 * kDay);
    ASSERT_TRUE(history::parseRetention("day=forever,hour=2w,5min=1mo", r));
    EXPECT_EQ(keep(r, Tier::Day), 0);
    EXPECT_EQ(keep(r, Tier::Hour), 14 * kDay);
    EXPECT_EQ(keep(r, Tier::FiveMinutes), 31 * kDay);
    EXPECT_EQ(history::retentionText(r), "5min=31d,hour=14d,day=forever,month=1098d");

    const Retention before = r;
    std::string error;
    for (const char* bad : {"", "hour", "week=3d", "hour=3", "hour=0d", "hour=-1d", "hour=3d,", "hour=99999999999y",
                            "hour=3 d"}) {
        error.clear();
        EXPECT_FALSE(history::parseRetention(bad, r, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_EQ(r.seconds, before.seconds) << bad;
    }
}

TEST(HistoryRetention, ACoarserTierIsKeptAtLeastAsLongAsAFinerOne)
{
    Retention r;
    ASSERT_TRUE(history::parseRetention("5min=30d,hour=7d,day=10d,month=1d", r));
    const Retention e = r.effective();
    EXPECT_EQ(keep(e, Tier::FiveMinutes), 30 * kDay);
    EXPECT_EQ(keep(e, Tier::Hour), 30 * kDay);
    EXPECT_EQ(keep(e, Tier::Day), 30 * kDay);
    EXPECT_EQ(keep(e, Tier::Month), 30 * kDay);
    // A finer tier kept for ever keeps every coarser one for ever.
    ASSERT_TRUE(history::parseRetention("hour=forever,day=10d", r));
    EXPECT_EQ(keep(r.effective(), Tier::Day), 0);
    EXPECT_EQ(keep(r.effective(), Tier::Month), 0);
}
