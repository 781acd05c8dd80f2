#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "DnsMessageBuilder.h"
#include "capture/XPacketMgr.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XParserWorker.h"
#include "hostinfo/XNetIoRing.h"

namespace {

struct RecordingParser : XPacketParser {
    void parser(int direction, const char*, int len) override
    {
        if (len > 0) {
            datagrams.fetch_add(1);
            sent.fetch_add(direction == kNetIoSend ? 1 : 0);
        }
    }
    void parserSock(const ORVANEPRO_NetIo&) override { events.fetch_add(1); }
    void init() override {}
    void stop() override {}
    std::atomic<int> datagrams{0};
    std::atomic<int> events{0};
    std::atomic<int> sent{0};
};

template <class F>
bool eventually(F condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(ParserWorker, FeedsQueuedDatagramsAndEventsToTheLastParserOnly)
{
    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    XNetIoRing ring;
    XPacketQueue* q = queues.createQueue(netAddr("10.0.0.2"));
    auto* ignored = new RecordingParser;
    auto* fed = new RecordingParser;
    packets.addParser(ignored);
    packets.addParser(fed);

    for (int i = 0; i < 50; ++i)
        q->push("datagram", 8, i % 5 == 0 ? kNetIoSend : kNetIoReceive);
    for (int i = 0; i < 20; ++i)
        ring.pushNetIo(1, 100, 1, 1, netAddr("198.51.100.1"), 80, 0);

    XParserWorker worker;
    worker.init(&packets, &queues, &ring);
    worker.start();
    EXPECT_TRUE(eventually([&] { return fed->datagrams.load() == 50 && fed->events.load() == 20; }));
    worker.stop();
    worker.join();

    EXPECT_EQ(ignored->datagrams.load() + ignored->events.load(), 0);
    EXPECT_EQ(fed->sent.load(), 10);  // each with its direction
    EXPECT_EQ(worker.events(), 20u);
    EXPECT_EQ(q->getCounter(), 0);
}

TEST(ParserWorker, EndsAtOnceWithoutAnEventSourceOrParser)
{
    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    queues.createQueue(1);

    XParserWorker noRing;
    noRing.init(&packets, &queues, nullptr);
    noRing.start();
    noRing.join();  // returns: nothing to do

    XNetIoRing ring;
    XParserWorker noParser;
    noParser.init(&packets, &queues, &ring);
    noParser.start();
    noParser.join();
    SUCCEED();
}

TEST(ParserWorker, StopEndsAnIdleWorkerBlockedOnTheRing)
{
    XPacketQueueMgr queues;
    XPacketMgr packets(&queues);
    XNetIoRing ring;
    queues.createQueue(1);
    packets.addParser(new RecordingParser);
    XParserWorker worker;
    worker.init(&packets, &queues, &ring);
    worker.start();
    worker.stop();
    worker.join();
    EXPECT_EQ(worker.exceptions(), 0u);
}

} // namespace
