#include <gtest/gtest.h>

#include "DnsMessageBuilder.h"
#include "capture/XPacketCounter.h"
#include "capture/XIPCounter.h"
#include "capture/XPacketMgr.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/NetIoRecord.h"

namespace {

struct CountingParser : XPacketParser {
    explicit CountingParser(int* deleted) : m_deleted(deleted) {}
    ~CountingParser() override { ++*m_deleted; }
    void parser(unsigned long, const char*, int) override {}
    void parserSock(const ORVANEPRO_NetIo&) override {}
    void init() override {}
    void stop() override {}
    int* m_deleted;
};

TEST(ResultRegistry, LooksUpByExactNameAndType)
{
    XParserResultMgr registry;
    EXPECT_EQ(registry.getResult("tcp"), nullptr);
    EXPECT_FALSE(registry.addResult("tcp", nullptr));
    auto* tcp = new XPacketCounter(0, 0);
    ASSERT_TRUE(registry.addResult("tcp", tcp));
    EXPECT_EQ(registry.getResult("tcp"), tcp);
    EXPECT_EQ(registry.getResult("tcp", 1), tcp);
    EXPECT_EQ(registry.getResult("tcp", 2), nullptr);
    EXPECT_EQ(registry.getResult("TCP"), nullptr);
    EXPECT_EQ(registry.getResult(nullptr), nullptr);
}

TEST(ResultRegistry, SecondResultUnderANameReplacesTheFirstWhichStaysValid)
{
    XParserResultMgr registry;
    auto* first = new XIPCounter(0, 0);
    auto* second = new XIPCounter(0, 0);
    registry.addResult("other", first);
    registry.addResult("other", second);
    EXPECT_EQ(registry.getResult("other"), second);
    EXPECT_EQ(registry.size(), 2);
    EXPECT_EQ(first->size(), 0);  // still alive: the registry keeps what it was given
}

TEST(PacketManager, ParsersAreCountedOwnedAndDeletedByClose)
{
    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    int deleted = 0;
    packets.addParser(nullptr);
    EXPECT_EQ(packets.getParserCounter(), 0);
    auto* a = new CountingParser(&deleted);
    auto* b = new CountingParser(&deleted);
    packets.addParser(a);
    packets.addParser(b);
    EXPECT_EQ(packets.getParserCounter(), 2);
    EXPECT_EQ(packets.getParser(1), b);
    EXPECT_EQ(packets.getParser(-1), nullptr);
    EXPECT_EQ(packets.getParser(2), nullptr);
    packets.close();
    EXPECT_EQ(deleted, 2);
    EXPECT_EQ(packets.getParserCounter(), 0);
    EXPECT_EQ(packets.getParser(0), nullptr);
}

TEST(PacketManager, ListenersAreMadeOncePerAddressSkippingZeroAndLoopback)
{
    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    const uint32_t onlyLoopback[] = {kLoopbackNetOrder, 0};
    EXPECT_EQ(packets.createListeners(onlyLoopback, 2), 0);
    EXPECT_EQ(packets.listenerCount(), 0);

    // Reserved addresses that no machine has: the listeners start, fail to bind and end.
    const uint32_t addrs[] = {netAddr("240.0.0.1"), netAddr("240.0.0.1"), 0, netAddr("240.0.0.2")};
    EXPECT_EQ(packets.createListeners(addrs, 4), 2);
    EXPECT_EQ(packets.listenerCount(), 2);
    EXPECT_EQ(queues.size(), 2);
    XPacketListener* one = packets.findListener(netAddr("240.0.0.1"));
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(packets.createListener(7, netAddr("240.0.0.1")), one);

    packets.close();
    EXPECT_EQ(packets.findListener(netAddr("240.0.0.1")), nullptr);
    EXPECT_EQ(packets.findListener(netAddr("240.0.0.2")), nullptr);
    EXPECT_EQ(packets.listenerStats().bindFailures, 2u);
}

} // namespace
