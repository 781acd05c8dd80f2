// A FIFO, a folder or a device where a data file belongs is reported and skipped; reading it
// would block start-up for good (a FIFO without a writer) or never end (a device).
#include "TempFolder.h"

#include "config/ConfigStore.h"
#include "config/DataFileStore.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <vector>

using namespace lumivex::config;

namespace {

// Runs load on a thread of its own and waits up to five seconds for it. Should it block on a
// FIFO, the FIFOs are opened for writing until it comes back, and false is returned.
template <typename Load>
bool returnsPromptly(Load load, const std::vector<std::string>& fifos)
{
    std::future<void> done = std::async(std::launch::async, load);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return true;
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        for (const std::string& fifo : fifos) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    }
    return false;
}

bool mentions(const std::vector<std::string>& problems, const std::string& name)
{
    for (const std::string& p : problems)
        if (p.find(name) != std::string::npos && p.find("not a regular file") != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(NonRegularFiles, DataFilesAreReportedAndSkippedWithoutBlocking)
{
    TempFolder data;
    const std::string fifo = data.path() + "ication.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(data.path() + "ipanother.txt");
    std::filesystem::create_symlink("/dev/zero", data.path() + "ptdescr.dat");

    DataFileStore store(data.path());
    EXPECT_TRUE(returnsPromptly([&] { store.load(); }, {fifo}));
    const std::vector<std::string>& skipped = store.report().skipped;
    EXPECT_EQ(skipped.size(), 3u);
    EXPECT_TRUE(mentions(skipped, "ication.dat"));
    EXPECT_TRUE(mentions(skipped, "ipanother.txt"));
    EXPECT_TRUE(mentions(skipped, "ptdescr.dat"));
    EXPECT_FALSE(store.report().databaseFound);
    EXPECT_FALSE(store.report().descriptionsFound);
}

TEST(NonRegularFiles, SettingsFilesAreReportedAndSkippedWithoutBlocking)
{
    TempFolder data;
    const std::vector<std::string> fifos = {data.path() + "config.dat", data.path() + "user.ini"};
    for (const std::string& fifo : fifos)
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::unique_ptr<ConfigStore> store;
    EXPECT_TRUE(returnsPromptly([&] { store = std::make_unique<ConfigStore>(data.path(), ""); }, fifos));
    ASSERT_TRUE(store);
    EXPECT_TRUE(mentions(store->skippedFiles(), "config.dat"));
    EXPECT_TRUE(mentions(store->skippedFiles(), "user.ini"));
    EXPECT_TRUE(store->skinTable().empty());
    EXPECT_TRUE(store->userSettingsSource().empty());
}
