// Files that belong to this user alone: the single-instance lock, which no other user may
// create first, and files replaced whole.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/InstanceLock.h"
#include "platform/RegularFile.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder, removed with its contents; the environment's folders point into it while a
// test runs.
class PrivateFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() / ("lumivex-private-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root / "tmp");
        fs::create_directories(m_root / "home");
        ::chmod(m_root.c_str(), 0755);
        save("XDG_RUNTIME_DIR");
        save("TMPDIR");
        save("XDG_CACHE_HOME");
        save("HOME");
        ::unsetenv("XDG_RUNTIME_DIR");
        ::unsetenv("XDG_CACHE_HOME");
        ::setenv("TMPDIR", (m_root / "tmp").c_str(), 1);
        ::setenv("HOME", (m_root / "home").c_str(), 1);
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved)
            value.empty() ? ::unsetenv(name.c_str()) : ::setenv(name.c_str(), value.c_str(), 1);
        fs::remove_all(m_root);
    }
    void save(const char* name)
    {
        const char* value = std::getenv(name);
        m_saved.emplace_back(name, value ? value : "");
    }
    std::string perUser() const { return (m_root / "tmp" / ("lumivex-" + std::to_string(::geteuid()))).string(); }

    fs::path m_root;
    std::vector<std::pair<std::string, std::string>> m_saved;
};

TEST_F(PrivateFiles, LockLivesInAFolderNoOtherUserCanWriteTo)
{
    std::string problem;
    EXPECT_EQ(platform::instanceLockPath("id", &problem), perUser() + "/id.lock");
    struct stat info{};
    ASSERT_EQ(::lstat(perUser().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::geteuid());

    // A folder of that name that others may write to, or a link, is passed over.
    fs::remove_all(perUser());
    fs::create_directory(perUser());
    ::chmod(perUser().c_str(), 0777);
    const std::string cache = (m_root / "home" / ".cache" / "lumivex").string();
    EXPECT_EQ(platform::instanceLockPath("id", &problem), cache + "/id.lock");
    fs::remove_all(perUser());
    fs::create_directory_symlink(m_root / "home", perUser());
    EXPECT_EQ(platform::instanceLockPath("id", &problem), cache + "/id.lock");

    // $XDG_RUNTIME_DIR first, when it is private.
    ::setenv("XDG_RUNTIME_DIR", (m_root / "home").c_str(), 1);
    ::chmod((m_root / "home").c_str(), 0700);
    EXPECT_EQ(platform::instanceLockPath("id", &problem), (m_root / "home" / "id.lock").string());
}

TEST_F(PrivateFiles, LockFileOfAnotherUserIsNotTaken)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a file of another user needs root";
    const std::string path = (m_root / "tmp" / "other.lock").string();
    std::ofstream(path).put('x');
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    platform::InstanceLock lock;
    std::string error;
    EXPECT_EQ(lock.acquire(path, &error), platform::InstanceLock::Result::Unavailable);
    EXPECT_NE(error.find("not a regular file of this user's own"), std::string::npos) << error;

    // Nor a folder of this user's name that another user made first.
    fs::create_directory(perUser());
    ::chmod(perUser().c_str(), 0700);
    ASSERT_EQ(::chown(perUser().c_str(), 65534, 65534), 0);
    EXPECT_NE(platform::instanceLockPath("id"), perUser() + "/id.lock");
}

TEST_F(PrivateFiles, ReplacedFileKeepsItsPermissionsAndLeavesNoTemporaryFile)
{
    const std::string path = (m_root / "tmp" / "settings").string();
    std::ofstream(path) << "old";
    ::chmod(path.c_str(), 0600);
    std::string error;
    ASSERT_TRUE(platform::replaceFile(path, "new", &error)) << error;
    std::string content;
    ASSERT_EQ(platform::readRegularFile(path, 100, content, nullptr, nullptr), platform::FileRead::Ok);
    EXPECT_EQ(content, "new");
    struct stat info{};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_root / "tmp"), fs::directory_iterator()), 1);

    bool longer = false;
    ASSERT_EQ(platform::readRegularFile(path, 2, content, &longer, nullptr), platform::FileRead::Ok);
    EXPECT_EQ(content, "ne");
    EXPECT_TRUE(longer);
    EXPECT_FALSE(platform::replaceFile((m_root / "missing" / "settings").string(), "x", &error));
}

} // namespace
