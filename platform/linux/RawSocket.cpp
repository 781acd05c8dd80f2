#include "platform/RawSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace platform {

namespace {

// Keeps IPv4 UDP datagrams (first fragments and whole ones) that this host sends to port 53
// or receives from port 53; everything else is left in the kernel. The packet socket hands
// the filter the IP header at offset 0. Bound to IPv4 alone the socket is handed no sent
// packet: the same filter then keeps the answers.
constexpr uint32_t kKeep = 0x40000;
const sock_filter kDnsFilter[] = {
    /* 0 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, uint32_t(SKF_AD_OFF + SKF_AD_PROTOCOL)),
    /* 1 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ETH_P_IP, 0, 13),
    /* 2 */ BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 9),
    /* 3 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 17, 0, 11),
    /* 4 */ BPF_STMT(BPF_LD | BPF_H | BPF_ABS, 6),
    /* 5 */ BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, 0x1FFF, 9, 0),  // a later fragment: no ports
    /* 6 */ BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
    /* 7 */ BPF_STMT(BPF_LD | BPF_W | BPF_ABS, uint32_t(SKF_AD_OFF + SKF_AD_PKTTYPE)),
    /* 8 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, PACKET_OUTGOING, 3, 0),
    /* 9 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, PACKET_HOST, 0, 5),
    /* 10 */ BPF_STMT(BPF_LD | BPF_H | BPF_IND, 0),  // received: the source port
    /* 11 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 53, 2, 3),
    /* 12 */ BPF_STMT(BPF_LD | BPF_H | BPF_IND, 2),  // sent: the destination port
    /* 13 */ BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 53, 0, 1),
    /* 14 */ BPF_STMT(BPF_RET | BPF_K, kKeep),
    /* 15 */ BPF_STMT(BPF_RET | BPF_K, 0),
};

} // namespace

RawDnsSocket::RawDnsSocket()
{
    // Protocol 0 receives nothing until open() has attached the filter and bound the socket.
    m_fd = ::socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd == -1) {
        m_createError = errno;
        return;
    }
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd == -1) {
        m_createError = errno;
        ::close(m_fd);
        m_fd = -1;
    }
}

RawDnsSocket::~RawDnsSocket()
{
    close();
    if (m_wakeFd != -1)
        ::close(m_wakeFd);
}

int RawDnsSocket::open(int receiveBuffer, int timeoutMs, bool answersOnly)
{
    if (m_fd == -1)
        return m_createError ? m_createError : EBADF;
    sock_fprog program{};
    program.len = sizeof kDnsFilter / sizeof kDnsFilter[0];
    program.filter = const_cast<sock_filter*>(kDnsFilter);
    if (::setsockopt(m_fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0)
        return errno;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) != 0)
        return errno;
    m_timeoutMs = timeoutMs > 0 ? timeoutMs : -1;
    m_answersOnly = answersOnly;
    // Every interface (index 0), also those that appear later. Outgoing packets reach only
    // sockets of all protocols: for each of those the kernel clones every packet it sends and
    // runs the filter on the clone. A socket of IPv4 alone is offered only what arrives
    // (packets sent over loopback among it, arriving there).
    sockaddr_ll all{};
    all.sll_family = AF_PACKET;
    all.sll_protocol = htons(answersOnly ? ETH_P_IP : ETH_P_ALL);
    all.sll_ifindex = 0;
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&all), sizeof all) != 0)
        return errno;
    return 0;
}

int RawDnsSocket::receive(char* buf, int size, bool* outgoing)
{
    if (!buf || size <= 0 || m_fd == -1)
        return 0;
    // The wait is a poll of the socket and the wake-up descriptor; only a readable socket is
    // read, without blocking.
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int ready = ::poll(fds, 2, m_timeoutMs);
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    if (fds[1].revents & POLLIN) {
        uint64_t count = 0;
        if (::read(m_wakeFd, &count, sizeof count) < 0) {
            // Taken by an earlier receive.
        }
        return 0;
    }
    if (!(fds[0].revents & (POLLIN | POLLERR)))
        return 0;
    sockaddr_ll from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(m_fd, buf, size_t(size), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n >= 0) {
        if (outgoing)
            *outgoing = from.sll_pkttype == PACKET_OUTGOING;
        return int(n);
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    return -1;
}

void RawDnsSocket::wake()
{
    const uint64_t one = 1;
    if (m_wakeFd != -1 && ::write(m_wakeFd, &one, sizeof one) < 0) {
        // The counter is already set: the wake-up is pending.
    }
}

uint64_t RawDnsSocket::drops()
{
    if (m_fd != -1) {
        // The kernel resets its counters on every read.
        tpacket_stats stats{};
        socklen_t length = sizeof stats;
        if (::getsockopt(m_fd, SOL_PACKET, PACKET_STATISTICS, &stats, &length) == 0)
            m_drops += stats.tp_drops;
    }
    return m_drops;
}

void RawDnsSocket::close()
{
    if (m_fd != -1) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace platform
