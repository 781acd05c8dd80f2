// The window's recording of history over a test engine: the privacy calls of the page and the
// menu reach the recorder and change the file, and the recording switch acts at once, also
// when the window started with recording off.
#include "HistoryTestSupport.h"
#include "ShellFixture.h"

#include "config/ConfigStore.h"
#include "shell/WindowHistory.h"

#include "history/HistoryReader.h"

#include <QTest>

#include <atomic>
#include <ctime>

using lumivex::config::ConfigStore;
using orvane::HistoryControl;

namespace {

class WindowHistoryTest : public ShellFixture {
protected:
    std::string historyFile() const { return m_dir.filePath("xdg/lumivex/history.sqlite").toStdString(); }
    int programsRecorded()
    {
        history::HistoryReader reader;
        std::vector<history::ProgramUsage> programs;
        const int64_t now = int64_t(std::time(nullptr));
        if (!reader.open(historyFile()) || !reader.programs({now - 86400, now + 60}, {}, programs).ok)
            return -1;
        return int(programs.size());
    }
};

} // namespace

TEST_F(WindowHistoryTest, PrivacyCallsReachTheRecorderAndTheSwitchActsAtOnce)
{
    ASSERT_TRUE(historytest::recordThreePrograms(historyFile(), int64_t(std::time(nullptr)) - 600));
    ASSERT_EQ(programsRecorded(), 3);
    writeDataFile("user.ini", "history_off=1\n");
    ConfigStore::instanceAt(dataDir().toStdString(), "");

    orvane::WindowHistory window;
    window.start(test.engine());
    EXPECT_FALSE(window.hasRecorder());
    EXPECT_EQ(window.state(), HistoryControl::State::Off);
    EXPECT_FALSE(window.flusher());
    window.setRecordingOn(true);
    ASSERT_TRUE(window.hasRecorder());
    ASSERT_TRUE(QTest::qWaitFor([&window] { return window.state() == HistoryControl::State::Recording; }, 10000));
    EXPECT_TRUE(window.flusher()(std::chrono::seconds(10)));

    std::atomic<int> done{0};
    std::atomic<bool> allOk{true};
    const auto note = [&](bool ok, const std::string&) {
        allOk = allOk && ok;
        ++done;
    };
    ASSERT_TRUE(window.forgetProgram("firefox", "/usr/bin/firefox", note));
    ASSERT_TRUE(QTest::qWaitFor([&done] { return done == 1; }, 10000));
    EXPECT_EQ(programsRecorded(), 2);
    ASSERT_TRUE(window.forgetHost(0x0A000003, note));  // ssh's only host
    ASSERT_TRUE(QTest::qWaitFor([&done] { return done == 2; }, 10000));
    EXPECT_EQ(programsRecorded(), 1);
    ASSERT_TRUE(window.clearAll(note));
    ASSERT_TRUE(QTest::qWaitFor([&done] { return done == 3; }, 10000));
    EXPECT_EQ(programsRecorded(), 0);
    EXPECT_TRUE(allOk);

    window.setRecordingOn(false);
    EXPECT_EQ(window.state(), HistoryControl::State::Off);
    EXPECT_FALSE(window.flusher());
    window.stop();
}
