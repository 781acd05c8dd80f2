#include <gtest/gtest.h>

#include <vector>

#include "platform/FlowAttributor.h"

namespace {

using platform::FlowAttributor;
using platform::FlowKey;
using platform::FlowOwnerAnswer;
using platform::NetEvent;

class ScriptedOwners : public platform::FlowOwnerSource {
public:
    bool start() override { return true; }
    void stop() override {}
    bool request(const FlowKey& key) override
    {
        if (refuse)
            return false;
        asked.push_back(key);
        return true;
    }
    void takeAnswers(std::vector<FlowOwnerAnswer>& out) override
    {
        out.insert(out.end(), ready.begin(), ready.end());
        ready.clear();
    }
    void answer(const FlowKey& key, uint32_t pid) { ready.push_back({key, pid}); }

    bool refuse = false;
    std::vector<FlowKey> asked;
    std::vector<FlowOwnerAnswer> ready;
};

class RecordingSink : public platform::IoEventSink {
public:
    void onNetEvent(const NetEvent& e) override { events.push_back(e); }
    void onDiskEvent(const platform::DiskEvent&) override {}
    std::vector<NetEvent> events;
};

FlowKey flow(uint16_t localPort)
{
    return FlowKey{platform::kProtoTcp, 0x0100000A, localPort, 0x0200000A, 443};
}

NetEvent packet(uint32_t size)
{
    NetEvent e;
    e.size = size;
    e.protocol = platform::kProtoTcp;
    return e;
}

class FlowAttributorTest : public ::testing::Test {
protected:
    FlowAttributorTest() : m_attr(m_owners, m_sink, options()) {}
    static FlowAttributor::Options options()
    {
        FlowAttributor::Options o;
        o.holdMs = 100;
        o.maxHeld = 4;
        o.unownedRetryMs = 1000;
        o.ownedIdleMs = 60000;
        return o;
    }
    ScriptedOwners m_owners;
    RecordingSink m_sink;
    FlowAttributor m_attr;
};

TEST_F(FlowAttributorTest, NewFlowWaitsForItsOwnerThenFlowsFreely)
{
    m_attr.onPacket(flow(1), packet(60), true, 0);
    m_attr.onPacket(flow(1), packet(1500), false, 1);
    ASSERT_EQ(m_owners.asked.size(), 1u);  // one lookup per flow
    m_attr.poll(5);
    EXPECT_TRUE(m_sink.events.empty());
    m_owners.answer(flow(1), 77);
    m_attr.poll(6);
    ASSERT_EQ(m_sink.events.size(), 2u);
    EXPECT_EQ(m_sink.events[0].size, 60u);  // order within the flow is kept
    EXPECT_EQ(m_sink.events[1].size, 1500u);
    EXPECT_EQ(m_sink.events[1].pid, 77u);
    m_attr.onPacket(flow(1), packet(40), false, 7);
    ASSERT_EQ(m_sink.events.size(), 3u);  // known now: no wait
    EXPECT_EQ(m_sink.events[2].pid, 77u);
    EXPECT_EQ(m_attr.stats().flowsResolved, 1u);
    EXPECT_EQ(m_attr.stats().delivered, 3u);
}

TEST_F(FlowAttributorTest, SlowLookupSendsEventsOnWithoutOwner)
{
    m_attr.onPacket(flow(2), packet(60), false, 0);
    m_attr.poll(99);
    EXPECT_TRUE(m_sink.events.empty());
    m_attr.poll(100);
    ASSERT_EQ(m_sink.events.size(), 1u);
    EXPECT_EQ(m_sink.events[0].pid, 0u);
    EXPECT_EQ(m_attr.stats().heldTimeouts, 1u);
    // A late answer still serves the flow's later packets.
    m_owners.answer(flow(2), 55);
    m_attr.poll(150);
    m_attr.onPacket(flow(2), packet(60), false, 151);
    EXPECT_EQ(m_sink.events.back().pid, 55u);
}

TEST_F(FlowAttributorTest, FullHoldBufferSendsNewEventsOnAndCountsThem)
{
    for (uint16_t i = 0; i < 6; ++i)
        m_attr.onPacket(flow(uint16_t(100 + i)), packet(60), false, 0);
    EXPECT_EQ(m_attr.heldCount(), 4u);
    EXPECT_EQ(m_attr.stats().holdOverflows, 2u);
    EXPECT_EQ(m_sink.events.size(), 2u);
    m_attr.flush();
    EXPECT_EQ(m_sink.events.size(), 6u);  // nothing is lost at shutdown
    EXPECT_EQ(m_attr.heldCount(), 0u);
}

TEST_F(FlowAttributorTest, SynAndStaleAnswersStartAFreshLookup)
{
    m_attr.onPacket(flow(3), packet(60), true, 0);
    m_owners.answer(flow(3), 10);
    m_attr.poll(1);
    // The same ports reused for a new connection, perhaps by another program.
    m_attr.onPacket(flow(3), packet(60), true, 2);
    EXPECT_EQ(m_owners.asked.size(), 2u);
    m_owners.answer(flow(3), 20);
    m_attr.poll(3);
    EXPECT_EQ(m_sink.events.back().pid, 20u);

    // A flow nobody owned is asked again after the retry interval, not on every packet.
    m_attr.onPacket(flow(4), packet(60), false, 10);
    m_owners.answer(flow(4), 0);
    m_attr.poll(11);
    m_attr.onPacket(flow(4), packet(60), false, 500);
    EXPECT_EQ(m_owners.asked.size(), 3u);
    m_attr.onPacket(flow(4), packet(60), false, 1011);
    EXPECT_EQ(m_owners.asked.size(), 4u);
    EXPECT_EQ(m_attr.stats().flowsUnowned, 1u);
}

TEST_F(FlowAttributorTest, RefusedLookupIsCountedAndRetried)
{
    m_owners.refuse = true;
    m_attr.onPacket(flow(5), packet(60), false, 0);
    EXPECT_EQ(m_attr.stats().lookupQueueFull, 1u);
    m_owners.refuse = false;
    m_attr.onPacket(flow(5), packet(60), false, 50);
    EXPECT_TRUE(m_owners.asked.empty());  // too soon to ask again
    m_attr.onPacket(flow(5), packet(60), false, 100);
    EXPECT_EQ(m_owners.asked.size(), 1u);
}

TEST_F(FlowAttributorTest, IdleFlowsAreForgottenWhetherTheirLookupWasAnsweredOrNot)
{
    m_owners.refuse = true;  // these stay pending: their lookups never went out
    for (uint16_t port = 1; port <= 300; ++port)
        m_attr.onPacket(flow(port), packet(60), false, 0);
    m_owners.refuse = false;
    m_attr.onPacket(flow(1000), packet(60), false, 0);
    m_owners.answer(flow(1000), 77);
    m_attr.poll(10);
    EXPECT_EQ(m_attr.flowCount(), 301u);
    m_attr.poll(59000);
    EXPECT_EQ(m_attr.flowCount(), 301u);
    m_attr.poll(60000);  // idle as long as an owned flow may be
    EXPECT_EQ(m_attr.flowCount(), 0u);
    EXPECT_EQ(m_attr.heldCount(), 0u);
    EXPECT_EQ(m_sink.events.size(), 301u);  // every event went out, with or without an owner
}

TEST_F(FlowAttributorTest, PacketsWithoutPortsGoOnAtOnceWithoutALookup)
{
    FlowKey portless = flow(0);
    portless.remotePort = 0;
    m_attr.onPacket(portless, packet(1500), false, 0);
    ASSERT_EQ(m_sink.events.size(), 1u);
    EXPECT_EQ(m_sink.events[0].pid, 0u);
    EXPECT_EQ(m_sink.events[0].size, 1500u);
    EXPECT_TRUE(m_owners.asked.empty());
    EXPECT_EQ(m_attr.flowCount(), 0u);
}

} // namespace
