// Traffic helper of the capture benchmark, run as a process of its own.
//   bench_udp_flood flood ADDR PORT SOURCE_PORT RATE SECONDS PACKET_BYTES
//       sends UDP datagrams of PACKET_BYTES (IP total length) from SOURCE_PORT (0: any) at
//       RATE packets per second for SECONDS, in sendmmsg batches; prints "port P" when it
//       starts and "sent N failed F" when done.
//   bench_udp_flood sink PORT SECONDS
//       binds PORT with the smallest receive buffer and never reads, so a flood is dropped
//       quietly (no ICMP port-unreachable); prints "ready"; exits after SECONDS.
// Both exit on their own (an alarm backs up the time limit).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kBatch = 64;
constexpr int kIpUdpHeaders = 28;

uint64_t nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

int flood(const char* addr, int port, int sourcePort, long rate, long seconds, int packetBytes)
{
    if (rate <= 0 || seconds <= 0 || seconds > 120 || packetBytes < kIpUdpHeaders || packetBytes > 1500)
        return 2;
    alarm(unsigned(seconds) + 10);
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(uint16_t(sourcePort));
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
        return 1;
    socklen_t len = sizeof local;
    getsockname(s, reinterpret_cast<sockaddr*>(&local), &len);
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, addr, &dest.sin_addr) != 1)
        return 2;

    std::vector<char> payload(size_t(packetBytes - kIpUdpHeaders), 'f');
    iovec iov{payload.data(), payload.size()};
    mmsghdr msgs[kBatch] = {};
    for (mmsghdr& m : msgs) {
        m.msg_hdr.msg_name = &dest;
        m.msg_hdr.msg_namelen = sizeof dest;
        m.msg_hdr.msg_iov = &iov;
        m.msg_hdr.msg_iovlen = 1;
    }
    std::printf("port %d\n", ntohs(local.sin_port));
    std::fflush(stdout);

    const uint64_t total = uint64_t(rate) * uint64_t(seconds);
    const uint64_t start = nowNs();
    const uint64_t end = start + uint64_t(seconds) * 1000000000ull + 2000000000ull;
    uint64_t sent = 0, failed = 0;
    while (sent < total) {
        const uint64_t now = nowNs();
        if (now > end)
            break;  // could not keep up; report what went out
        const uint64_t due = std::min<uint64_t>(total, (now - start) * uint64_t(rate) / 1000000000ull);
        if (due <= sent) {
            const timespec pause{0, 100000};  // 100 µs: about 20 datagrams at 200 000/s
            nanosleep(&pause, nullptr);
            continue;
        }
        const int n = int(std::min<uint64_t>(due - sent, kBatch));
        const int done = sendmmsg(s, msgs, unsigned(n), 0);
        if (done > 0)
            sent += uint64_t(done);
        else if (errno == ENOBUFS || errno == EAGAIN || errno == EINTR)
            ++failed;
        else
            break;
    }
    close(s);
    std::printf("sent %llu failed %llu\n", static_cast<unsigned long long>(sent),
                static_cast<unsigned long long>(failed));
    return sent == total ? 0 : 1;
}

int sink(int port, long seconds)
{
    if (seconds <= 0 || seconds > 300)
        return 2;
    alarm(unsigned(seconds) + 5);
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int small = 1;  // the kernel rounds this up to its minimum
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    const timespec rest{seconds, 0};
    nanosleep(&rest, nullptr);
    close(s);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    auto num = [&](int i) { return std::strtol(argv[i], nullptr, 10); };
    if (mode == "flood" && argc == 8)
        return flood(argv[2], int(num(3)), int(num(4)), num(5), num(6), int(num(7)));
    if (mode == "sink" && argc == 4)
        return sink(int(num(2)), num(3));
    std::fprintf(stderr, "usage: bench_udp_flood flood ADDR PORT SOURCE_PORT RATE SECONDS PACKET_BYTES\n"
                         "       bench_udp_flood sink PORT SECONDS\n");
    return 2;
}
