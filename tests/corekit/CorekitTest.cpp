#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "corekit/XLock.h"
#include "corekit/XLog.h"
#include "corekit/XThread.h"

namespace {

class CountingThread : public XThread {
public:
    std::atomic<int> runs{0};
    std::atomic<bool> stop{false};

protected:
    void run() override
    {
        ++runs;
        while (!stop.load())
            std::this_thread::yield();
    }
};

TEST(XThread, StartRunsOnceAndJoinWaits)
{
    CountingThread t;
    t.join();  // never started: nothing to wait for
    t.start();
    t.start();  // already running: ignored
    t.stop = true;
    t.join();
    EXPECT_EQ(t.runs.load(), 1);
    EXPECT_FALSE(t.isStarted());
    t.join();
}

TEST(XLock, GuardsConcurrentUpdates)
{
    XLock lock;
    long total = 0;
    auto work = [&] {
        for (int i = 0; i < 100000; ++i) {
            XLockGuard guard(lock);
            ++total;
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(total, 200000);
}

TEST(XLog, LinesCarryLevelAndTextInTheLogFile)
{
    const std::string path = ::testing::TempDir() + "corekit-log-" + std::to_string(getpid()) + ".txt";
    XLog* log = XLog::Instance();
    ASSERT_TRUE(log->setLogFile(path));
    log->setEchoToStderr(false);
    XLog::debug(5, "Error when XLocalListener::init()");
    XLog::debug(1, "GetIpAddrTable failed with error : ", 122ul);
    XLog::debug(1, "text: ", std::string("detail"));
    log->setMinLevel(3);
    XLog::debug(1, "filtered");
    log->setMinLevel(0);
    log->setEchoToStderr(true);

    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    EXPECT_NE(s.find("[5] Error when XLocalListener::init()\n"), std::string::npos) << s;
    EXPECT_NE(s.find("[1] GetIpAddrTable failed with error : 122\n"), std::string::npos);
    EXPECT_NE(s.find("[1] text: detail\n"), std::string::npos);
    EXPECT_EQ(s.find("filtered"), std::string::npos);
    // Every line starts with a date and time.
    EXPECT_EQ(s.substr(4, 1), "-");
    EXPECT_EQ(s.substr(13, 1), ":");
    std::remove(path.c_str());
}

} // namespace
