#include <gtest/gtest.h>

#include "DnsMessageBuilder.h"
#include "capture/XPacketCounter.h"
#include "capture/XIPCounter.h"
#include "capture/XLocalListener.h"
#include "capture/XPacketMgr.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XParserResultMgr.h"
#include "hostinfo/NetIoRecord.h"

namespace {

struct CountingParser : XPacketParser {
    explicit CountingParser(int* deleted) : m_deleted(deleted) {}
    ~CountingParser() override { ++*m_deleted; }
    void parser(int, const char*, int) override {}
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

TEST(PacketManager, OneListenerCoversEveryAddress)
{
    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    EXPECT_EQ(packets.createListener(), 1);
    EXPECT_EQ(packets.createListener(), 0);
    EXPECT_EQ(packets.listenerCount(), 1);
    EXPECT_EQ(queues.size(), 1);
    XPacketListener* one = packets.findListener(XLocalListener::kEveryAddress);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(packets.createListener(7, XLocalListener::kEveryAddress), one);

    packets.close();
    EXPECT_EQ(packets.findListener(XLocalListener::kEveryAddress), nullptr);
    EXPECT_EQ(packets.listenerCount(), 0);
}

} // namespace
