#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "capture/XPacketQueueMgr.h"

namespace {

TEST(PacketBuffer, KeepsAtMost1024BytesAndCopiesAtMostTheBuffer)
{
    XPacketBuffer b;
    std::vector<char> big(1500, 'x');
    EXPECT_EQ(b.save(big.data(), 1500), 1024);
    char out[2048];
    EXPECT_EQ(b.get(out, 2048), 1024);
    EXPECT_EQ(b.get(out, 10), 10);
    EXPECT_EQ(b.save("abc", 3), 3);
    EXPECT_EQ(b.get(out, 2048), 3);
}

class PacketQueueTest : public ::testing::Test {
protected:
    XPacketQueueMgr mgr;
    XPacketQueue* q = mgr.createQueue(0x0100000A);
};

TEST_F(PacketQueueTest, HoldsTwoThousandThenDropsAndCounts)
{
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->capacity(), 2000);
    char d[4] = {1, 2, 3, 4};
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(q->push(d, 4), 4);
    EXPECT_EQ(q->push(d, 4), 0);
    EXPECT_EQ(q->getCounter(), 2000);
    EXPECT_EQ(q->dropped(), 1u);
    EXPECT_EQ(mgr.dropped(), 1u);
}

TEST_F(PacketQueueTest, PopCopiesInOrderTruncatesToTheBufferAndReportsEmpty)
{
    char out[2048];
    EXPECT_EQ(q->pop(out, 2048), -1);
    EXPECT_EQ(q->getCounter(), 0);

    std::vector<char> big(1500);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char(i);
    q->push(big.data(), 1500);
    q->push("hello world", 11);
    EXPECT_EQ(q->truncated(), 1u);
    ASSERT_EQ(q->pop(out, 2048), 1024);
    EXPECT_EQ(std::memcmp(out, big.data(), 1024), 0);
    ASSERT_EQ(q->pop(out, 5), 5);
    EXPECT_EQ(std::string(out, 5), "hello");
    EXPECT_EQ(q->pop(out, 2048), -1);  // the rest of the truncated datagram is gone
}

TEST_F(PacketQueueTest, PositionsWrapAfterAFullLap)
{
    char out[16];
    for (int lap = 0; lap < 3; ++lap) {
        for (int i = 0; i < 2000; ++i) {
            const int v = lap * 2000 + i;
            ASSERT_EQ(q->push(reinterpret_cast<const char*>(&v), 4), 4);
            ASSERT_EQ(q->pop(out, 16), 4);
            int got;
            std::memcpy(&got, out, 4);
            ASSERT_EQ(got, v);
        }
    }
    // After the laps the queue still takes 2000 at once.
    for (int i = 0; i < 2000; ++i)
        ASSERT_GT(q->push("x", 1), 0);
    EXPECT_EQ(q->dropped(), 0u);
}

TEST(PacketQueueMgr, OneQueuePerIdAndAtMostTen)
{
    XPacketQueueMgr mgr;
    XPacketQueue* first = mgr.createQueue(1);
    EXPECT_EQ(mgr.createQueue(1), first);
    for (unsigned long id = 2; id <= 10; ++id)
        ASSERT_NE(mgr.createQueue(id), nullptr);
    EXPECT_EQ(mgr.size(), 10);
    EXPECT_EQ(mgr.createQueue(11), nullptr);
    EXPECT_EQ(mgr.refused(), 1u);
    EXPECT_EQ(mgr.createQueue(5)->getID(), 5u);
    EXPECT_EQ(mgr.getQueue(7)->getID(), 7u);
    EXPECT_EQ(mgr.getQueue(11), nullptr);
    EXPECT_EQ(mgr.getQueueByIndex(0), first);
    EXPECT_EQ(mgr.getQueueByIndex(10), nullptr);
    EXPECT_EQ(mgr.getQueueByIndex(-1), nullptr);
}

} // namespace
