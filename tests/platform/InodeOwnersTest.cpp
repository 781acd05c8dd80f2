// Socket owners found through /proc/*/fd, with real sockets and a real child process.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/linux/InodeOwners.h"

namespace {

uint64_t inodeOf(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? uint64_t(st.st_ino) : 0;
}

TEST(InodeOwners, ParsesOnlySocketLinks)
{
    const auto parse = [](const char* text) { return platform::socketInodeOfLink(text, std::strlen(text)); };
    EXPECT_EQ(parse("socket:[12345]"), 12345u);
    EXPECT_EQ(parse("socket:[18446744073709551615]"), UINT64_MAX);
    EXPECT_EQ(parse("socket:[18446744073709551616]"), 0u);  // does not fit
    EXPECT_EQ(parse("socket:[]"), 0u);
    EXPECT_EQ(parse("socket:[12a]"), 0u);
    EXPECT_EQ(parse("socket:[12"), 0u);
    EXPECT_EQ(parse("pipe:[12345]"), 0u);
    EXPECT_EQ(parse("/dev/null"), 0u);
    EXPECT_EQ(platform::socketInodeOfLink(nullptr, 0), 0u);
}

TEST(InodeOwners, SharedSocketKeepsOneOwnerAcrossPartialAndCompleteScans)
{
    const int sock = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(sock, 0);
    int hold[2];
    ASSERT_EQ(::pipe(hold), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {  // holds the inherited socket until the pipe closes
        ::close(hold[1]);
        char c;
        while (::read(hold[0], &c, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(hold[0]);
    const uint64_t inode = inodeOf(sock);
    const uint32_t expected = uint32_t(std::max(::getpid(), child));

    platform::InodeOwners owners;
    ASSERT_EQ(owners.findOwners({inode}), 1u);  // a partial scan, newest processes first
    EXPECT_EQ(owners.cachedOwnerOf(inode), expected);
    owners.rescan();  // a complete one
    EXPECT_EQ(owners.cachedOwnerOf(inode), expected);

    ::close(hold[1]);
    ::waitpid(child, nullptr, 0);
    ::close(sock);
}

TEST(InodeOwners, GrowthFromPartialScansEndsInACompleteScanThatForgetsClosedSockets)
{
    constexpr int kRounds = 8, kPerRound = 800;
    platform::InodeOwners owners;
    std::vector<uint64_t> asked;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<int> fds;
        std::vector<uint64_t> inodes;
        for (int i = 0; i < kPerRound; ++i) {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            ASSERT_GE(fd, 0);
            fds.push_back(fd);
            inodes.push_back(inodeOf(fd));
        }
        EXPECT_EQ(owners.findOwners(inodes), size_t(kPerRound));
        for (const int fd : fds)
            ::close(fd);
        asked.insert(asked.end(), inodes.begin(), inodes.end());
    }
    EXPECT_GE(owners.rescanCount(), 1u);
    EXPECT_LT(owners.knownCount(), size_t(kRounds * kPerRound));
    size_t stale = 0;
    for (const uint64_t inode : asked)
        stale += owners.cachedOwnerOf(inode) != 0;
    EXPECT_LT(stale, asked.size() / 2);
}

} // namespace
