#include "core/dashboard/DashboardRates.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

// A dashboard past its first (start-marking) update.
DashboardRates started()
{
    DashboardRates rates;
    EXPECT_FALSE(rates.update({}, 1000));
    return rates;
}

TEST(DashboardRates, FirstUpdateOnlyMarksTheStartAndLaterRatesCoverEverythingSinceCreation)
{
    DashboardRates rates;
    RateTotals totals;
    totals.tcpReceivedBytes = 5000;
    EXPECT_FALSE(rates.update(totals, 1000));
    EXPECT_TRUE(rates.started());
    EXPECT_EQ(rates.shown(kTcpReceived), 0);
    // The previous totals stayed 0: the second update counts all 5000 bytes.
    EXPECT_TRUE(rates.update(totals, 1000));
    EXPECT_EQ(rates.shown(kTcpReceived), 2500);  // half: the previous raw rate was 0
}

TEST(DashboardRates, TenThousandBytesInHalfASecondAfterAQuietTickShowHalfTheRawRate)
{
    DashboardRates rates = started();
    RateTotals totals;
    EXPECT_TRUE(rates.update(totals, 1000));  // a tick with no traffic
    totals.tcpReceivedBytes = 10000;
    EXPECT_TRUE(rates.update(totals, 500));  // raw 20 000 bytes/s
    EXPECT_EQ(rates.shown(kTcpReceived), 10000);
    EXPECT_EQ(rates.shown(kTcpBytes), 10000);
    EXPECT_EQ(rates.downloadSpeed(), 10000u);
}

TEST(DashboardRates, SmoothingShowsTheRawRateOnlyWhileItAndThePreviousAreNonZero)
{
    DashboardRates rates = started();
    RateTotals totals;
    const double steps[] = {4000, 4000, 2000, 0, 0};  // bytes sent per one-second tick
    const double expected[] = {2000, 4000, 2000, 1000, 0};
    for (int i = 0; i < 5; ++i) {
        totals.udpSentBytes += steps[i];
        rates.update(totals, 1000);
        EXPECT_EQ(rates.shown(kUdpSent), expected[i]) << "tick " << i;
    }
}

TEST(DashboardRates, FallingTotalGivesZeroNotANegativeRate)
{
    DashboardRates rates = started();
    RateTotals totals;
    totals.tcpSentBytes = 8000;
    totals.sentPackets = 80;
    rates.update(totals, 1000);
    rates.update(totals, 1000);
    totals.tcpSentBytes = 100;  // the counter was cleared
    totals.sentPackets = 1;
    rates.update(totals, 1000);
    EXPECT_EQ(rates.shown(kTcpSent), 0);
    EXPECT_EQ(rates.shown(kPacketsSent), 0);
    EXPECT_EQ(rates.uploadSpeed(), 0u);
    // The next tick counts from the lowered total.
    totals.tcpSentBytes = 1100;
    rates.update(totals, 1000);
    EXPECT_EQ(rates.shown(kTcpSent), 500);
}

TEST(DashboardRates, ElapsedZeroCountsAsOneSecond)
{
    DashboardRates rates = started();
    RateTotals totals;
    totals.udpReceivedBytes = 3000;
    rates.update(totals, 0);
    EXPECT_EQ(rates.shown(kUdpReceived), 1500);  // 3000 bytes over 1000 ms, halved
}

TEST(DashboardRates, PacketRatesArePerTickNotPerSecond)
{
    DashboardRates rates = started();
    RateTotals totals;
    totals.receivedPackets = 30;
    totals.sentPackets = 10;
    rates.update(totals, 250);
    totals.receivedPackets = 60;
    totals.sentPackets = 20;
    rates.update(totals, 250);
    EXPECT_EQ(rates.shown(kPacketsReceived), 30);
    EXPECT_EQ(rates.shown(kPacketsSent), 10);
    EXPECT_EQ(rates.shown(kPackets), 40);
}

TEST(DashboardRates, PublishedSpeedsAddTcpAndUdpEachTruncated)
{
    DashboardRates rates = started();
    RateTotals totals;
    totals.tcpReceivedBytes = 3;   // 1.5 shown
    totals.udpReceivedBytes = 3;   // 1.5 shown
    totals.tcpSentBytes = 1e12;    // beyond 32 bits
    rates.update(totals, 1000);
    EXPECT_EQ(rates.downloadSpeed(), 2u);
    EXPECT_EQ(rates.uploadSpeed(), 0xFFFFFFFFu);
    EXPECT_EQ(rates.shown(kUdpBytes), 1.5);
}

} // namespace
} // namespace orvane
