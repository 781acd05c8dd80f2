#include "hostinfo/XSocketList.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

platform::SocketRow socketWithInode(uint64_t inode)
{
    platform::SocketRow r;
    r.inode = inode;
    r.state = 5;
    return r;
}

// The start time the connections page shows: when the engine first saw the socket.
TEST(SocketFirstSeen, StampsBetweenReadsGiveNewSocketsTheirStartTime)
{
    std::vector<platform::SocketRow> tcp = {socketWithInode(1)};
    uint64_t now = 1000;
    XSocketList::Hooks hooks;
    hooks.readTable = [&](platform::SocketProtocol protocol, std::vector<platform::SocketRow>& rows) {
        rows = protocol == platform::SocketProtocol::Tcp ? tcp : std::vector<platform::SocketRow>{};
        return true;
    };
    hooks.wallMs = [&] { return now; };
    XSocketList list(hooks);

    list.stamp({1});  // at start: what is open is older than the engine
    now = 5000;
    tcp.push_back(socketWithInode(2));
    list.stamp({1, 2});
    now = 9000;
    tcp.push_back(socketWithInode(3));
    std::vector<XSocketRow> rows;
    ASSERT_EQ(list.read(rows), 3);
    EXPECT_EQ(rows[0].firstSeenMs, 0u);
    EXPECT_EQ(rows[1].firstSeenMs, 5000u);
    EXPECT_EQ(rows[2].firstSeenMs, 9000u);

    // A socket that closed and an inode used again later is a new socket.
    tcp = {socketWithInode(1)};
    list.stamp({1});
    now = 12000;
    tcp.push_back(socketWithInode(2));
    ASSERT_EQ(list.read(rows), 2);
    EXPECT_EQ(rows[1].firstSeenMs, 12000u);
}

} // namespace
