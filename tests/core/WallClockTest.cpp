// Runs with TZ=UTC (set by the test's properties), so local time is UTC here.
#include "core/WallClock.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

constexpr std::int64_t kNewYear2027 = 1798761600;  // 2027-01-01 00:00:00 UTC
constexpr std::int64_t kMarch2026 = 1772323200;    // 2026-03-01 00:00:00 UTC
constexpr std::int64_t kJune2026 = 1781524800;     // 2026-06-15 12:00:00 UTC

struct Clocks {
    std::uint32_t tick = 0;
    std::int64_t epochMs = 0;
    WallClock clock{[this] { return tick; }, [this] { return epochMs; }};
};

} // namespace

TEST(WallClock, StampsBeforeMidnightMonthEndAndYearEndKeepTheirDate)
{
    Clocks c;
    c.tick = 50000;
    c.epochMs = (kNewYear2027 + 10) * 1000;
    EXPECT_EQ(c.clock.localTimeOf(30000), (LocalTime{2026, 12, 31, 23, 59, 50}));
    EXPECT_EQ(c.clock.localTimeOf(45000), (LocalTime{2027, 1, 1, 0, 0, 5}));

    c.epochMs = (kMarch2026 + 5) * 1000;
    EXPECT_EQ(c.clock.localTimeOf(40000), (LocalTime{2026, 2, 28, 23, 59, 55}));  // 2026 is no leap year
}

TEST(WallClock, LongRunsAndTickWrapStillGiveTheRealDate)
{
    Clocks c;
    c.epochMs = kJune2026 * 1000;
    // 40 days: more than one month boundary behind now.
    c.tick = 4000000000u;
    EXPECT_EQ(c.clock.localTimeOf(c.tick - 40u * 86400000u), (LocalTime{2026, 5, 6, 12, 0, 0}));
    // The tick wrapped 9 seconds ago; the stamp is from before the wrap.
    c.tick = 5000;
    EXPECT_EQ(c.clock.localTimeOf(0xFFFFF060u), (LocalTime{2026, 6, 15, 11, 59, 51}));
}

TEST(WallClock, EveryConversionRereadsTheClock)
{
    Clocks c;
    c.tick = 1000;
    c.epochMs = kJune2026 * 1000;
    EXPECT_EQ(c.clock.localTimeOf(1000).hour, 12);
    // The system clock was set forward by an hour: the same stamp now reads an hour later.
    c.epochMs += 3600 * 1000;
    EXPECT_EQ(c.clock.localTimeOf(1000).hour, 13);
}
