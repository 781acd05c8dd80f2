#include "platform/linux/SockDiag.h"
#include "platform/linux/ProcTables.h"
#include "platform/linux/SockDiagReply.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr uint32_t kAllStates = ~0u;

// A NETLINK_SOCK_DIAG socket of one thread, with a receive timeout so a lost reply cannot
// block its caller.
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
    DiagSocket(const DiagSocket&) = delete;
    DiagSocket& operator=(const DiagSocket&) = delete;

    // Sends one inet_diag request (an exact lookup of id, or a dump of every socket in the
    // states when id is null) and hands each diag message of the answer to onMessage, which
    // returns false to stop reading. Replies carry the request's sequence number; anything
    // else in the socket (the late reply of a request that timed out) is skipped. False when
    // the request failed, timed out or the kernel answered with an error.
    template <typename OnMessage>
    bool ask(uint8_t family, uint8_t protocol, uint32_t states, const inet_diag_sockid* id, OnMessage onMessage)
    {
        if (m_fd < 0)
            return false;
        struct {
            nlmsghdr header;
            inet_diag_req_v2 req;
        } msg{};
        msg.header.nlmsg_len = sizeof msg;
        msg.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
        msg.header.nlmsg_flags = NLM_F_REQUEST | (id ? 0 : NLM_F_DUMP);
        msg.header.nlmsg_seq = ++m_sequence;
        msg.req.sdiag_family = family;
        msg.req.sdiag_protocol = protocol;
        msg.req.idiag_states = states;
        if (id)
            msg.req.id = *id;
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(m_fd, &msg, sizeof msg, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
            return false;

        alignas(nlmsghdr) char buf[65536];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                return false;
            switch (parseDiagReply(buf, size_t(n), m_sequence, id != nullptr, onMessage)) {
            case DiagReply::More: break;
            case DiagReply::Done: return true;
            case DiagReply::Failed: return false;
            }
        }
    }

private:
    int m_fd;
    uint32_t m_sequence = 0;
};

DiagSocket& threadSocket()
{
    thread_local DiagSocket diag;
    return diag;
}

// The inode of the socket an exact lookup finds; 0 for none or one without an inode (then
// found says which).
uint64_t lookUp(uint8_t protocol, uint32_t src, uint16_t sport, uint32_t dst, uint16_t dport, bool* found = nullptr)
{
    inet_diag_sockid id{};
    id.idiag_src[0] = src;
    id.idiag_sport = sport;
    id.idiag_dst[0] = dst;
    id.idiag_dport = dport;
    id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    uint64_t inode = 0;
    bool any = false;
    threadSocket().ask(AF_INET, protocol, kAllStates, &id, [&](const inet_diag_msg& d) {
        inode = d.idiag_inode;
        any = true;
        return false;
    });
    if (found)
        *found = any;
    return inode;
}

// Appends every socket of one family, protocol and set of (Linux) states.
bool dumpFamily(uint8_t family, SocketProtocol protocol, uint32_t states, std::vector<SocketRow>& out)
{
    const uint8_t ipProtocol = protocol == SocketProtocol::Tcp ? IPPROTO_TCP : IPPROTO_UDP;
    return threadSocket().ask(family, ipProtocol, states, nullptr, [&](const inet_diag_msg& d) {
        SocketRow row;
        if (rowOfDiagMessage(d, protocol, row))
            out.push_back(row);
        return true;
    });
}

// The inode of the live TCP socket with these ends, from a dump that leaves out TIME_WAIT
// and pending connections: a TIME_WAIT entry of an earlier connection with the same ends can
// shadow a new one in the exact lookup.
uint64_t findLiveTcpSocket(uint32_t local, uint16_t lport, uint32_t remote, uint16_t rport)
{
    constexpr uint32_t kTimeWait = 6, kNewSynRecv = 12;
    std::vector<SocketRow> rows;
    dumpFamily(AF_INET, SocketProtocol::Tcp, ~((1u << kTimeWait) | (1u << kNewSynRecv)), rows);
    for (const SocketRow& r : rows)
        if (r.inode != 0 && r.localAddr == local && r.localPort == lport && r.remoteAddr == remote &&
            r.remotePort == rport)
            return r.inode;
    return 0;
}

} // namespace

bool dumpSocketTable(SocketProtocol protocol, std::vector<SocketRow>& out)
{
    out.clear();
    return dumpFamily(AF_INET, protocol, kAllStates, out) && dumpFamily(AF_INET6, protocol, kAllStates, out);
}

uint64_t findSocketInode(SocketProtocol protocol, uint32_t localAddr, uint16_t localPort,
                         uint32_t remoteAddr, uint16_t remotePort)
{
    if (protocol == SocketProtocol::Tcp) {
        // TCP looks up as (local, remote); a connection that is not accepted yet has no inode,
        // and a wildcard remote end finds the listening socket that will accept it.
        bool found = false;
        if (const uint64_t inode = lookUp(IPPROTO_TCP, localAddr, localPort, remoteAddr, remotePort, &found))
            return inode;
        if (found) {
            if (const uint64_t inode = findLiveTcpSocket(localAddr, localPort, remoteAddr, remotePort))
                return inode;
        }
        return lookUp(IPPROTO_TCP, localAddr, localPort, 0, 0);
    }
    // UDP looks a datagram up as the receiving side sees it: source = remote, destination = local.
    if (const uint64_t inode = lookUp(IPPROTO_UDP, remoteAddr, remotePort, localAddr, localPort))
        return inode;
    return lookUp(IPPROTO_UDP, localAddr, localPort, remoteAddr, remotePort);
}

} // namespace platform
