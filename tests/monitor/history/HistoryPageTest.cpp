// The history page over a database a recorder wrote: a late answer for a range no longer on
// show is dropped, the worker's thread ends with the page, the privacy actions go to the
// window's recorder (or, without one, change the file themselves) only after a confirmation,
// and "Export CSV" writes the table on show.
#include "HistoryTestSupport.h"

#include "config/ConfigStore.h"
#include "monitor/history/HistoryPage.h"
#include "monitor/history/HistoryTable.h"

#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

using namespace orvane;
using lumivex::config::ConfigStore;

namespace {

// The window's recording as the page sees it: the privacy calls are noted and answered from
// a thread of their own, as a recorder does; the flusher can hold the worker.
class FakeControl : public HistoryControl {
public:
    State state() const override { return State::Recording; }
    void setRecordingOn(bool) override {}
    bool hasRecorder() const override { return true; }
    bool forgetProgram(const std::string& name, const std::string& path, Done done) override
    {
        calls.push_back("program " + name + " " + path);
        answer(std::move(done));
        return true;
    }
    bool forgetHost(uint32_t address, Done done) override
    {
        calls.push_back("host " + std::to_string(address));
        answer(std::move(done));
        return true;
    }
    bool clearAll(Done done) override
    {
        calls.push_back("clear");
        answer(std::move(done));
        return true;
    }
    Flusher flusher() override
    {
        return [this](std::chrono::milliseconds) {
            std::unique_lock<std::mutex> lk(mutex);
            ++flushes;
            released.wait(lk, [this] { return !holding; });
            return true;
        };
    }
    void release()
    {
        std::lock_guard<std::mutex> lk(mutex);
        holding = false;
        released.notify_all();
    }

    std::vector<std::string> calls;
    std::mutex mutex;
    std::condition_variable released;
    bool holding = false;
    int flushes = 0;

private:
    void answer(Done done)
    {
        std::thread([done] { done(true, "done"); }).join();
    }
};

class HistoryPageTest : public ::testing::Test {
protected:
    // The page reads the file the shipped store's user.ini (a temporary copy) names.
    void SetUp() override
    {
        ASSERT_TRUE(ConfigStore::instance().setUserValue("history_file", path.c_str()));
        ASSERT_TRUE(historytest::recordThreePrograms(path, int64_t(std::time(nullptr)) - 600));
    }
    void TearDown() override { ConfigStore::instance().setUserValue("history_file", ""); }

    std::unique_ptr<HistoryPage> makePage(HistoryControl* control)
    {
        auto page = std::make_unique<HistoryPage>(control);
        page->resize(950, 470);
        HistoryPage::Dialogs dialogs;
        dialogs.confirm = [this](const QString& question) {
            questions << question;
            return confirm;
        };
        dialogs.saveFileName = [this](const QString&) { return QString::fromStdString(dir.file("out.csv")); };
        page->setDialogs(dialogs);
        return page;
    }
    static bool answered(HistoryPage& page)
    {
        return QTest::qWaitFor([&page] { return !page.waiting(); }, 10000);
    }

    historytest::TempDir dir;
    std::string path = dir.file("history.sqlite");
    QStringList questions;
    bool confirm = true;
};

} // namespace

TEST_F(HistoryPageTest, AnAnswerForARangeNoLongerOnShowIsDroppedAndTheThreadEndsWithThePage)
{
    FakeControl control;
    control.holding = true;
    auto page = makePage(&control);
    page->setSpan(HistorySpan::of(HistorySpanKind::Last7Days));
    ASSERT_TRUE(answered(*page));
    // A question that waits for the recorder's write (held here), then one for another range.
    page->showHistory();
    ASSERT_TRUE(QTest::qWaitFor([&control] {
        std::lock_guard<std::mutex> lk(control.mutex);
        return control.flushes == 1;
    }));
    page->setSpan(HistorySpan::of(HistorySpanKind::Last30Days));
    control.release();
    ASSERT_TRUE(answered(*page));
    EXPECT_EQ(page->dropped(), 1u);
    EXPECT_EQ(page->shown().range, spanRange(HistorySpan::of(HistorySpanKind::Last30Days), std::time(nullptr)));
    ASSERT_EQ(page->mainTable()->tableModel()->rowCount(), 3);
    EXPECT_EQ(page->mainTable()->tableModel()->rows()[0].programName, "firefox");

    // Selecting a program lists its hosts; in host mode a host lists its programs.
    page->selectMainRow(0);
    ASSERT_TRUE(answered(*page));
    EXPECT_EQ(page->detailTable()->tableModel()->rowCount(), 2);
    page->setMode(HistoryListMode::Hosts);
    ASSERT_TRUE(answered(*page));
    ASSERT_EQ(page->mainTable()->tableModel()->rows()[1].address, 0x0A000002u);
    page->selectMainRow(1);
    ASSERT_TRUE(answered(*page));
    EXPECT_EQ(page->detailTable()->tableModel()->rowCount(), 2);  // firefox and curl
    // Following curl from there: the programs, curl selected, its one host at the right.
    ASSERT_EQ(page->detailTable()->tableModel()->rows()[1].programName, "curl");
    page->followDetailRow(1);
    ASSERT_TRUE(answered(*page));
    EXPECT_EQ(page->mode(), HistoryListMode::Programs);
    EXPECT_EQ(page->mainTable()->selectedRow(), 1);
    EXPECT_EQ(page->detailTable()->tableModel()->rowCount(), 1);

    // Shown, it refreshes; hidden, it does not.
    page->show();
    EXPECT_TRUE(page->refreshing());
    page->hide();
    EXPECT_FALSE(page->refreshing());

    QPointer<QObject> worker = page->worker();
    QThread* thread = page->workerThread();
    EXPECT_TRUE(thread->isRunning());
    page.reset();
    EXPECT_TRUE(worker.isNull());
}

TEST_F(HistoryPageTest, PrivacyActionsAskFirstAndGoToTheRecorder)
{
    FakeControl control;
    auto page = makePage(&control);
    page->setSpan(HistorySpan::of(HistorySpanKind::Last7Days));
    ASSERT_TRUE(answered(*page));
    QSignalSpy finished(page.get(), &HistoryPage::changeFinished);

    confirm = false;
    EXPECT_FALSE(page->forgetProgram("firefox", "/usr/bin/firefox"));
    EXPECT_TRUE(control.calls.empty());
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains(QStringLiteral("firefox")));

    confirm = true;
    EXPECT_TRUE(page->forgetProgram("firefox", "/usr/bin/firefox"));
    EXPECT_TRUE(page->forgetHost(0x0A000002));
    EXPECT_TRUE(page->clearAll());
    EXPECT_EQ(control.calls, (std::vector<std::string>{"program firefox /usr/bin/firefox", "host 167772162", "clear"}));
    ASSERT_TRUE(QTest::qWaitFor([&finished] { return finished.size() == 3; }, 5000));
    EXPECT_TRUE(finished[0][0].toBool());
}

TEST_F(HistoryPageTest, WithoutARecorderTheWorkerForgetsAndExportWritesTheTable)
{
    auto page = makePage(nullptr);
    page->setSpan(HistorySpan::of(HistorySpanKind::Last7Days));
    ASSERT_TRUE(answered(*page));
    ASSERT_EQ(page->mainTable()->tableModel()->rowCount(), 3);

    ASSERT_TRUE(page->exportCsv(HistoryPage::Export::MainTable));
    QFile file(QString::fromStdString(dir.file("out.csv")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray csv = file.readAll();
    EXPECT_TRUE(csv.startsWith("program,path,"));
    EXPECT_TRUE(csv.contains("firefox,/usr/bin/firefox,"));

    QSignalSpy finished(page.get(), &HistoryPage::changeFinished);
    ASSERT_TRUE(page->forgetProgram("firefox", "/usr/bin/firefox"));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(finished[0][0].toBool());
    ASSERT_TRUE(answered(*page));
    ASSERT_EQ(page->mainTable()->tableModel()->rowCount(), 2);
    EXPECT_EQ(page->mainTable()->tableModel()->rows()[0].programName, "curl");
}
