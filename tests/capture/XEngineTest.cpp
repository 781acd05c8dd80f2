#include <gtest/gtest.h>

#include <vector>

#include "capengine/XEngine.h"
#include "capture/XIPCounter.h"

namespace {

// The engine's singletons live for the whole process, so one test covers the life cycle.
TEST(Engine, StartsOnceStopsJoiningEverythingAndToleratesRepeats)
{
    XEngine engine;
    std::vector<XTrafficRow> rows;
    EXPECT_EQ(engine.snapshot(kTrafficTcp, rows), 0);  // not started: nothing to read
    EXPECT_FALSE(engine.totals(kTrafficChat).exists);
    engine.stop();  // never started: nothing to do
    EXPECT_EQ(engine.stats().listeners, 0u);

    std::string why;
    ASSERT_TRUE(engine.start(&why)) << why;
    EXPECT_TRUE(engine.isRunning());
    EXPECT_FALSE(engine.start(&why));
    EXPECT_EQ(why, "already running");
    EXPECT_EQ(XIPCounter::icqProcessCount(), 20);
    EXPECT_TRUE(engine.totals(kTrafficChat).exists);  // the chat counter exists from the start
    EXPECT_EQ(engine.snapshot(kTrafficChat, rows), 0);
    engine.sample(1000);
    engine.sample(2000);
    EXPECT_EQ(engine.processTotals().samples, 2u);
    const XEngineStats running = engine.stats();
    EXPECT_EQ(running.queueDrops, 0u);
    EXPECT_EQ(running.workerExceptions, 0u);
    EXPECT_FALSE(engine.eventSource().empty());

    engine.stop();
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(engine.stats().listeners, 0u);
    engine.stop();
    EXPECT_FALSE(engine.start(&why));
    EXPECT_TRUE(engine.totals(kTrafficChat).exists);  // readable after the stop
}

} // namespace
