#pragma once

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/SocketTable.h"

// Reading the kernel's NETLINK_SOCK_DIAG replies, apart from the socket that receives them.
namespace platform {

enum class DiagReply {
    More,    // the datagram ended without an end mark: read the next one
    Done,    // the end mark, or the caller stopped
    Failed,  // the kernel answered with an error, or the datagram is not a netlink reply
};

// Walks one received datagram of a sock_diag reply: every inet_diag message that carries the
// request's sequence number goes to onMessage (a callable taking const inet_diag_msg& and
// returning false to stop); messages of other requests are skipped. An exact lookup
// (exactLookup) answers with one message and no end mark, so its first message ends the
// reply. Reads nothing outside data[0..length).
template <typename OnMessage>
DiagReply parseDiagReply(const void* data, size_t length, uint32_t sequence, bool exactLookup,
                         OnMessage&& onMessage)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    size_t pos = 0;
    while (length - pos >= sizeof(nlmsghdr)) {
        nlmsghdr header;
        std::memcpy(&header, bytes + pos, sizeof header);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > length - pos)
            return DiagReply::Failed;
        if (header.nlmsg_seq == sequence) {
            if (header.nlmsg_type == NLMSG_DONE)
                return DiagReply::Done;
            if (header.nlmsg_type == NLMSG_ERROR)
                return DiagReply::Failed;
            if (header.nlmsg_type == SOCK_DIAG_BY_FAMILY && header.nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg))) {
                inet_diag_msg message;
                std::memcpy(&message, bytes + pos + NLMSG_HDRLEN, sizeof message);
                if (!onMessage(static_cast<const inet_diag_msg&>(message)) || exactLookup)
                    return DiagReply::Done;
            }
        }
        const size_t step = NLMSG_ALIGN(header.nlmsg_len);
        if (step >= length - pos)
            break;
        pos += step;
    }
    return DiagReply::More;
}

// Turns one diag message into a row (no owner yet); false for an IPv6 socket that cannot
// carry IPv4 traffic.
bool rowOfDiagMessage(const inet_diag_msg& message, SocketProtocol protocol, SocketRow& row);

} // namespace platform
