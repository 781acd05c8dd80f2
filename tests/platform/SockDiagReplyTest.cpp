// sock_diag reply datagrams, built as the kernel sends them, read without a socket.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstring>
#include <vector>

#include "platform/linux/SockDiagReply.h"

namespace {

using platform::DiagReply;

// Appends one netlink message of the given type and sequence, with body bytes after it.
void append(std::vector<uint8_t>& datagram, uint16_t type, uint32_t sequence, const void* body, size_t size)
{
    nlmsghdr header{};
    header.nlmsg_len = uint32_t(NLMSG_LENGTH(size));
    header.nlmsg_type = type;
    header.nlmsg_seq = sequence;
    const size_t start = datagram.size();
    datagram.resize(start + NLMSG_ALIGN(header.nlmsg_len));
    std::memcpy(datagram.data() + start, &header, sizeof header);
    if (size)
        std::memcpy(datagram.data() + start + NLMSG_HDRLEN, body, size);
}

inet_diag_msg socketWithInode(uint32_t inode)
{
    inet_diag_msg m{};
    m.idiag_family = AF_INET;
    m.idiag_state = 1;  // ESTABLISHED
    m.idiag_inode = inode;
    return m;
}

TEST(SockDiagReply, TakesTheMessagesOfItsRequestUntilTheEndMark)
{
    std::vector<uint8_t> d;
    const inet_diag_msg stale = socketWithInode(1), mine = socketWithInode(2), other = socketWithInode(3);
    append(d, SOCK_DIAG_BY_FAMILY, 6, &stale, sizeof stale);  // a late reply to an earlier request
    append(d, SOCK_DIAG_BY_FAMILY, 7, &mine, sizeof mine);
    append(d, SOCK_DIAG_BY_FAMILY, 7, &other, 8);             // too short to be a socket
    std::vector<uint32_t> inodes;
    const auto collect = [&](const inet_diag_msg& m) {
        inodes.push_back(m.idiag_inode);
        return true;
    };
    EXPECT_EQ(platform::parseDiagReply(d.data(), d.size(), 7, false, collect), DiagReply::More);
    append(d, NLMSG_DONE, 7, nullptr, 0);
    EXPECT_EQ(platform::parseDiagReply(d.data(), d.size(), 7, false, collect), DiagReply::Done);
    EXPECT_EQ(inodes, (std::vector<uint32_t>{2, 2}));

    platform::SocketRow row;
    ASSERT_TRUE(platform::rowOfDiagMessage(mine, platform::SocketProtocol::Tcp, row));
    EXPECT_EQ(row.inode, 2u);
    EXPECT_EQ(row.state, 5);  // ESTABLISHED in the table numbering
}

TEST(SockDiagReply, ErrorsAndBrokenDatagramsFail)
{
    std::vector<uint8_t> error;
    const int code = -2;
    append(error, NLMSG_ERROR, 7, &code, sizeof code);
    EXPECT_EQ(platform::parseDiagReply(error.data(), error.size(), 7, false, [](const inet_diag_msg&) { return true; }),
              DiagReply::Failed);

    // A length beyond the datagram, and a last message that is not padded to alignment.
    std::vector<uint8_t> d;
    const inet_diag_msg m = socketWithInode(9);
    append(d, SOCK_DIAG_BY_FAMILY, 7, &m, sizeof m);
    std::vector<uint8_t> longer = d;
    reinterpret_cast<nlmsghdr*>(longer.data())->nlmsg_len = uint32_t(longer.size() + 4);
    EXPECT_EQ(platform::parseDiagReply(longer.data(), longer.size(), 7, false, [](const inet_diag_msg&) { return true; }),
              DiagReply::Failed);
    std::vector<uint8_t> unpadded(d.begin(), d.begin() + NLMSG_HDRLEN + 1);
    reinterpret_cast<nlmsghdr*>(unpadded.data())->nlmsg_len = uint32_t(unpadded.size());
    unpadded.insert(unpadded.begin(), d.begin(), d.end());
    int seen = 0;
    EXPECT_EQ(platform::parseDiagReply(unpadded.data(), unpadded.size(), 7, false,
                                       [&](const inet_diag_msg&) { return ++seen > 0; }),
              DiagReply::More);
    EXPECT_EQ(seen, 1);
}

} // namespace
