#include "TestEngine.h"

#include "config/ConfigStore.h"
#include "core/TrafficModel.h"
#include "core/detail/DetailTracker.h"
#include "core/lists/CellTexts.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

constexpr std::uint32_t kHost = 0x0A000002;
constexpr std::uint32_t kOther = 0x0A000003;

class DetailTrackerTest : public ::testing::Test {
protected:
    TestEngine test;
    TrafficModel model{test.engine()};
    DetailTracker tracker;
    CellSources sources{nullptr, "未知"};
};

} // namespace

TEST_F(DetailTrackerTest, RatesNeedTwoSamplesAndKeepTheLastNonZero)
{
    test.count(kTrafficTcp, kHost, 100, 1);
    test.count(kTrafficTcp, kHost, 100, 0);
    EXPECT_TRUE(tracker.follow(kTrafficTcp, kHost));
    EXPECT_FALSE(tracker.follow(kTrafficTcp, kHost));  // the same address: nothing restarts
    EXPECT_FALSE(tracker.sample(1000, model)[0].push);  // the first sample has nothing to compare with

    test.count(kTrafficTcp, kHost, 2000, 1);
    test.count(kTrafficTcp, kHost, 500, 0);
    const CurveSamples s = tracker.sample(500, model)[0];
    ASSERT_TRUE(s.push);
    EXPECT_DOUBLE_EQ(s.sent, 4000);      // 2000 bytes in half a second
    EXPECT_DOUBLE_EQ(s.received, 1000);
    EXPECT_DOUBLE_EQ(s.total, 5000);
    EXPECT_DOUBLE_EQ(tracker.tracked(kTrafficTcp).lastNonZero[kRateSentPackets], 2);

    // A quiet second pushes zeros but keeps the recent rates on show.
    const CurveSamples quiet = tracker.sample(0, model)[0];  // 0 ms counts as a second
    ASSERT_TRUE(quiet.push);
    EXPECT_EQ(quiet.total, 0);
    const auto values = tracker.values(model, sources);
    EXPECT_EQ(values[0].text, "10.0.0.2");
    EXPECT_EQ(values[1].text, "443");
    EXPECT_EQ(values[2].text, "未知");
    EXPECT_EQ(values[3].text, "2.051K");   // 2100 bytes sent
    EXPECT_EQ(values[3].colour, (Rgb{255, 245, 0}));
    EXPECT_EQ(values[8].text, "4");         // packets both ways
    EXPECT_EQ(values[8].colour, (Rgb{240, 240, 240}));
    EXPECT_EQ(values[9].text, "675");       // 2700 bytes in 4 packets
    EXPECT_EQ(values[10].text, "3.906K");   // last non-zero sent rate
    EXPECT_EQ(values[12].text, "2");
    EXPECT_EQ(values[14].text.size(), 8u);  // hh:mm:ss
    EXPECT_EQ(values[15].text, " ");        // no name yet
    EXPECT_EQ(values[16].text, " ");

    // A name from a handshake says so; a DNS answer for the address then takes its place.
    test.dns().addRecord(kHost, "files.lumivex.test", 18, XNameSource::Tls);
    EXPECT_EQ(tracker.values(model, sources)[15].text, "files.lumivex.test");
    const auto& texts = lumivex::config::ConfigStore::instance();
    EXPECT_EQ(tracker.values(model, sources)[16].text, texts.getText("namesrc_tls"));
    test.dns().addRecord(kHost, "cdn.example", 11);
    EXPECT_EQ(tracker.values(model, sources)[15].text, "cdn.example");
    EXPECT_EQ(tracker.values(model, sources)[16].text, texts.getText("namesrc_dns"));
}

TEST_F(DetailTrackerTest, AnotherAddressRestartsAndAVanishedOneKeepsItsFigures)
{
    test.count(kTrafficTcp, kHost, 100, 1);
    test.count(kTrafficTcp, kOther, 100, 1);
    tracker.follow(kTrafficTcp, kHost);
    tracker.sample(1000, model);
    test.count(kTrafficTcp, kHost, 1000, 1);
    tracker.sample(1000, model);
    ASSERT_GT(tracker.tracked(kTrafficTcp).lastNonZero[kRateSentBytes], 0);

    EXPECT_TRUE(tracker.follow(kTrafficTcp, kOther));
    EXPECT_EQ(tracker.tracked(kTrafficTcp).lastNonZero[kRateSentBytes], 0);
    EXPECT_FALSE(tracker.sample(1000, model)[0].push);

    // Cleared by the engine: nothing changes and the last figures stay.
    test.engine().clear(kTrafficTcp);
    EXPECT_FALSE(tracker.sample(1000, model)[0].push);
    EXPECT_EQ(tracker.values(model, sources)[3].text, "100");

    // Counted again from zero: the totals went backwards, which is no traffic, not a negative rate.
    test.count(kTrafficTcp, kOther, 10, 1);
    const CurveSamples s = tracker.sample(1000, model)[0];
    ASSERT_TRUE(s.push);
    EXPECT_EQ(s.sent, 0);
    EXPECT_GE(s.total, 0);
    for (double r : tracker.tracked(kTrafficTcp).rates)
        EXPECT_GE(r, 0);

    tracker.reset();
    EXPECT_EQ(tracker.values(model, sources)[0].text, " ");
    EXPECT_FALSE(tracker.follow(XTrafficKind(7), kHost));  // not a list
}

TEST_F(DetailTrackerTest, EachListFollowsItsOwnAddress)
{
    test.count(kTrafficTcp, kHost, 100, 1);
    test.count(kTrafficUdp, kOther, 100, 1, 53);
    tracker.follow(kTrafficTcp, kHost);
    tracker.follow(kTrafficUdp, kOther);
    EXPECT_EQ(tracker.currentKind(), 1);
    EXPECT_EQ(tracker.values(model, sources)[0].text, "10.0.0.3");
    tracker.setKind(kTrafficTcp);
    EXPECT_EQ(tracker.values(model, sources)[0].text, "10.0.0.2");
}
