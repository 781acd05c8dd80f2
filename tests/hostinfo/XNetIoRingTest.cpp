#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "hostinfo/XNetIoRing.h"

namespace {

TEST(XNetIoRing, FullRingDropsTheNextEventAndCountsIt)
{
    XNetIoRing ring;
    ASSERT_EQ(ring.slots(), XNetIoRing::kSlots);
    for (int i = 0; i < XNetIoRing::kSlots; ++i)
        ASSERT_TRUE(ring.pushNetIo(uint32_t(i), 100, kNetIoSend, kNetIoTcp, 0x0A000001, 80, 0));
    EXPECT_EQ(ring.pending(), 3000);
    EXPECT_FALSE(ring.pushNetIo(9999, 100, kNetIoSend, kNetIoTcp, 0x0A000001, 80, 0));
    EXPECT_EQ(ring.pending(), 3000);
    EXPECT_EQ(ring.dropped(), 1u);

    // The dropped event never appears; the first one comes out first.
    ORVANEPRO_NetIo io{};
    ASSERT_EQ(ring.popNetIo(&io), 1);
    EXPECT_EQ(io.processId, 0u);
    EXPECT_EQ(ring.pending(), 2999);
}

TEST(XNetIoRing, EventsSurviveWrapAroundInOrder)
{
    XNetIoRing ring;
    ORVANEPRO_NetIo io{};
    uint32_t next = 0, expected = 0;
    // Three laps of the ring, two events in flight at a time, plus one pass filling it whole.
    for (int i = 0; i < 3 * XNetIoRing::kSlots; ++i) {
        ASSERT_TRUE(ring.pushNetIo(next++, 10, kNetIoReceive, kNetIoUdp, 1, 2, 3));
        ASSERT_EQ(ring.popNetIo(&io), 1);
        ASSERT_EQ(io.processId, expected++);
    }
    for (int i = 0; i < XNetIoRing::kSlots; ++i)
        ASSERT_TRUE(ring.pushNetIo(next++, 10, kNetIoReceive, kNetIoUdp, 1, 2, 3));
    for (int i = 0; i < XNetIoRing::kSlots; ++i) {
        ASSERT_EQ(ring.popNetIo(&io), 1);
        ASSERT_EQ(io.processId, expected++);
    }
    EXPECT_EQ(ring.pending(), 0);
    EXPECT_EQ(ring.dropped(), 0u);
}

TEST(XNetIoRing, RecordCarriesBytesOnTheSideOfItsDirection)
{
    XNetIoRing ring;
    ring.pushNetIo(7, 1040, kNetIoReceive, kNetIoTcp, 0x0100000A, 0x5000, 0);
    ring.pushNetIo(8, 128, kNetIoSend, kNetIoUdp, 0x0200000A, 0x3500, 0x1234);
    ORVANEPRO_NetIo a{}, b{};
    ASSERT_EQ(ring.popNetIo(&a), 1);
    ASSERT_EQ(ring.popNetIo(&b), 1);
    EXPECT_EQ(a.bytesReceived, 1040u);
    EXPECT_EQ(a.bytesSent, 0u);
    EXPECT_EQ(a.direction, kNetIoReceive);
    EXPECT_EQ(a.remoteAddr, 0x0100000Au);
    EXPECT_EQ(a.remotePort, 0x5000);
    EXPECT_EQ(b.bytesSent, 128u);
    EXPECT_EQ(b.bytesReceived, 0u);
    EXPECT_EQ(b.protocol, kNetIoUdp);
    EXPECT_EQ(b.localPort, 0x1234);
}

TEST(XNetIoRing, EmptyPopSleepsUntilAnEventComesAndReportsNothing)
{
    XNetIoRing ring;
    ORVANEPRO_NetIo io{};
    // A quiet ring costs the reader a wake-up a second; the first event of a trickle wakes
    // it at once instead of waiting out the second.
    std::thread writer([&ring] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ring.pushNetIo(1, 1, kNetIoSend, kNetIoTcp, 1, 1, 0);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ring.popNetIo(&io), 0);
    const auto waited = std::chrono::steady_clock::now() - start;
    writer.join();
    EXPECT_LT(waited, std::chrono::milliseconds(XNetIoRing::kIdleWaitMs / 2));
    EXPECT_EQ(ring.popNetIo(nullptr), 0);  // a null target takes nothing
    EXPECT_EQ(ring.pending(), 1);
    EXPECT_EQ(ring.tryPopNetIo(&io), 1);
    // After taking events the reader looks again soon: later events of a trickle may come
    // without a signal of their own.
    const auto again = std::chrono::steady_clock::now();
    EXPECT_EQ(ring.popNetIo(&io), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(XNetIoRing::kIdleWaitMs / 2));
}

} // namespace
