#include "platform/SocketTable.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace platform {

namespace {

// One exact-match inet_diag request; returns the inode of the socket found, 0 for none.
// Replies carry the request's sequence number; anything else in the socket (the late reply
// of a request that timed out) is skipped.
uint64_t querySocket(int fd, uint8_t protocol, uint32_t src, uint16_t sport, uint32_t dst, uint16_t dport)
{
    static thread_local uint32_t sequence = 0;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 req;
    } msg{};
    msg.header.nlmsg_len = sizeof msg;
    msg.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    msg.header.nlmsg_flags = NLM_F_REQUEST;
    msg.header.nlmsg_seq = ++sequence;
    msg.req.sdiag_family = AF_INET;
    msg.req.sdiag_protocol = protocol;
    msg.req.idiag_states = ~0u;
    msg.req.id.idiag_src[0] = src;
    msg.req.id.idiag_sport = sport;
    msg.req.id.idiag_dst[0] = dst;
    msg.req.id.idiag_dport = dport;
    msg.req.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    msg.req.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd, &msg, sizeof msg, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return 0;

    alignas(nlmsghdr) char buf[8192];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return 0;  // timed out
        size_t left = size_t(n);
        for (auto* h = reinterpret_cast<nlmsghdr*>(buf); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
            if (h->nlmsg_seq != sequence)
                continue;
            if (h->nlmsg_type != SOCK_DIAG_BY_FAMILY || h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                return 0;  // an error (no such socket) or the end of the answer
            return static_cast<const inet_diag_msg*>(NLMSG_DATA(h))->idiag_inode;
        }
    }
}

// Dumps the IPv4 TCP sockets that have an owner (no TIME_WAIT or pending-connection entries)
// and returns the inode of the one with these ends. Used when the exact lookup found a socket
// without an inode: a TIME_WAIT entry of an earlier connection can shadow a new one.
uint64_t dumpTcpSocket(int fd, uint32_t local, uint16_t lport, uint32_t remote, uint16_t rport)
{
    static thread_local uint32_t sequence = 0x40000000;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 req;
    } msg{};
    msg.header.nlmsg_len = sizeof msg;
    msg.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    msg.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    msg.header.nlmsg_seq = ++sequence;
    msg.req.sdiag_family = AF_INET;
    msg.req.sdiag_protocol = IPPROTO_TCP;
    constexpr uint32_t kTimeWait = 6, kNewSynRecv = 12;
    msg.req.idiag_states = ~((1u << kTimeWait) | (1u << kNewSynRecv));

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd, &msg, sizeof msg, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return 0;
    uint64_t found = 0;
    alignas(nlmsghdr) char buf[32768];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return found;
        size_t left = size_t(n);
        for (auto* h = reinterpret_cast<nlmsghdr*>(buf); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
            if (h->nlmsg_seq != sequence)
                continue;
            if (h->nlmsg_type == NLMSG_DONE || h->nlmsg_type == NLMSG_ERROR)
                return found;
            if (h->nlmsg_type != SOCK_DIAG_BY_FAMILY || h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                continue;
            const auto* d = static_cast<const inet_diag_msg*>(NLMSG_DATA(h));
            if (d->idiag_inode != 0 && d->id.idiag_sport == lport && d->id.idiag_dport == rport &&
                d->id.idiag_src[0] == local && d->id.idiag_dst[0] == remote)
                found = d->idiag_inode;  // read on to the end of the dump
        }
    }
}

// Turns one diag message into a row; false for IPv6 sockets that cannot carry IPv4.
bool rowOfMessage(const inet_diag_msg& d, SocketProtocol protocol, SocketRow& row)
{
    if (d.idiag_family == AF_INET) {
        row.localAddr = d.id.idiag_src[0];
        row.remoteAddr = d.id.idiag_dst[0];
    } else {
        // IPv4-mapped ::ffff:a.b.c.d, or the unspecified address of a dual-stack socket.
        auto v4 = [](const uint32_t* w, uint32_t& out) {
            if (w[0] != 0 || w[1] != 0)
                return false;
            if (w[2] == 0 && w[3] == 0) {
                out = 0;
                return true;
            }
            if (w[2] != htonl(0xFFFF))
                return false;
            out = w[3];
            return true;
        };
        if (!v4(d.id.idiag_src, row.localAddr) || !v4(d.id.idiag_dst, row.remoteAddr))
            return false;
    }
    row.localPort = d.id.idiag_sport;
    row.remotePort = d.id.idiag_dport;
    row.state = protocol == SocketProtocol::Tcp ? translateTcpState(d.idiag_state) : 0;
    row.inode = d.idiag_inode;
    row.pid = 0;
    return true;
}

// Appends every socket of one family and protocol; false when the dump failed.
bool dumpFamily(int fd, uint8_t family, SocketProtocol protocol, std::vector<SocketRow>& out)
{
    static thread_local uint32_t sequence = 0x60000000;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 req;
    } msg{};
    msg.header.nlmsg_len = sizeof msg;
    msg.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    msg.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    msg.header.nlmsg_seq = ++sequence;
    msg.req.sdiag_family = family;
    msg.req.sdiag_protocol = protocol == SocketProtocol::Tcp ? IPPROTO_TCP : IPPROTO_UDP;
    msg.req.idiag_states = ~0u;

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd, &msg, sizeof msg, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return false;
    alignas(nlmsghdr) char buf[65536];
    for (;;) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return false;
        size_t left = size_t(n);
        for (auto* h = reinterpret_cast<nlmsghdr*>(buf); NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
            if (h->nlmsg_seq != sequence)
                continue;
            if (h->nlmsg_type == NLMSG_DONE)
                return true;
            if (h->nlmsg_type == NLMSG_ERROR)
                return false;
            if (h->nlmsg_type != SOCK_DIAG_BY_FAMILY || h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                continue;
            SocketRow row;
            if (rowOfMessage(*static_cast<const inet_diag_msg*>(NLMSG_DATA(h)), protocol, row))
                out.push_back(row);
        }
    }
}

class DiagSocket {
public:
    DiagSocket() : m_fd(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG))
    {
        if (m_fd >= 0) {
            timeval tv{0, 200000};
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        }
    }
    ~DiagSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

bool dumpSocketTable(SocketProtocol protocol, std::vector<SocketRow>& out)
{
    thread_local DiagSocket diag;
    out.clear();
    if (diag.fd() < 0)
        return false;
    if (!dumpFamily(diag.fd(), AF_INET, protocol, out))
        return false;
    return dumpFamily(diag.fd(), AF_INET6, protocol, out);
}

uint64_t findSocketInode(SocketProtocol protocol, uint32_t localAddr, uint16_t localPort,
                         uint32_t remoteAddr, uint16_t remotePort)
{
    thread_local DiagSocket diag;
    if (diag.fd() < 0)
        return 0;
    if (protocol == SocketProtocol::Tcp) {
        // TCP looks up as (local, remote); a connection that is not accepted yet has no inode,
        // and a wildcard remote end finds the listening socket that will accept it.
        if (const uint64_t inode = querySocket(diag.fd(), IPPROTO_TCP, localAddr, localPort, remoteAddr, remotePort))
            return inode;
        if (const uint64_t inode = dumpTcpSocket(diag.fd(), localAddr, localPort, remoteAddr, remotePort))
            return inode;
        return querySocket(diag.fd(), IPPROTO_TCP, localAddr, localPort, 0, 0);
    }
    // UDP looks a datagram up as the receiving side sees it: source = remote, destination = local.
    if (const uint64_t inode = querySocket(diag.fd(), IPPROTO_UDP, remoteAddr, remotePort, localAddr, localPort))
        return inode;
    return querySocket(diag.fd(), IPPROTO_UDP, localAddr, localPort, remoteAddr, remotePort);
}

} // namespace platform
