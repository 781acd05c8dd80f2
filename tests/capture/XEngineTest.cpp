#include <gtest/gtest.h>

#include <vector>

#include "capture/XDNSRecord.h"
#include "capture/XEngine.h"
#include "capture/XIPCounter.h"
#include "capture/XParserResultMgr.h"

namespace {

// The engine's singletons live for the whole process, so one test covers the life cycle.
TEST(Engine, StartsOnceStopsJoiningEverythingAndToleratesRepeats)
{
    XEngine engine;
    EXPECT_EQ(engine.results(), nullptr);
    engine.stop();  // never started: nothing to do
    EXPECT_EQ(engine.stats().listeners, 0);

    ASSERT_TRUE(engine.start());
    EXPECT_TRUE(engine.isRunning());
    EXPECT_FALSE(engine.start());
    EXPECT_EQ(XIPCounter::icqProcessCount(), 20);
    ASSERT_NE(engine.results(), nullptr);
    EXPECT_NE(engine.results()->getResult("other", 2), nullptr);
    EXPECT_NE(engine.dns(), nullptr);

    std::vector<_X_R_PACKETCOUNTER> rows;
    EXPECT_EQ(engine.snapshot("other", rows), 0);
    EXPECT_EQ(engine.snapshot("no-such-counter", rows), 0);
    const XEngineStats running = engine.stats();
    EXPECT_EQ(running.queueDrops, 0u);
    EXPECT_EQ(running.workerExceptions, 0u);

    engine.stop();
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(engine.stats().listeners, 0);
    engine.stop();
    EXPECT_FALSE(engine.start());
}

} // namespace
