// Traffic helper of the capture benchmark, run as a process of its own.
//   bench_udp_flood flood ADDR PORT SOURCE_PORT RATE SECONDS PACKET_BYTES
//       sends UDP datagrams of PACKET_BYTES (IP total length) from SOURCE_PORT (0: any) at
//       RATE packets per second for SECONDS, in sendmmsg batches; prints "port P" when it
//       starts and "sent N failed F" when done.
//   bench_udp_flood sink PORT SECONDS
//       binds PORT with the smallest receive buffer and never reads, so a flood is dropped
//       quietly (no ICMP port-unreachable); prints "ready"; exits after SECONDS.
//   bench_udp_flood blast ADDR PORT SECONDS PACKET_BYTES PER_SOCKET
//       sends datagrams of PACKET_BYTES as fast as it can for SECONDS, in sendmmsg batches,
//       from one socket (PER_SOCKET 0) or from a new socket for every PER_SOCKET datagrams;
//       prints "sent N seconds T cpu C" when done (C: its CPU seconds).
//   bench_udp_flood burst BASE_ADDR ADDRESSES PORT_ADDR PORTS
//       one datagram to each of ADDRESSES consecutive addresses from BASE_ADDR (port 9), then
//       one to each of PORTS ports from port 1024 on, of PORT_ADDR and the addresses after it
//       (64 512 ports each), all from one socket, as fast as it can; prints "port P" first and
//       "sent N seconds T" when done.
// All exit on their own (an alarm backs up the time limit).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
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

double secondsSince(uint64_t startNs)
{
    return double(nowNs() - startNs) / 1e9;
}

// CPU time of this process so far: its sending, and the delivery the kernel does meanwhile on
// its behalf (the veth's receive side runs in the sender's context).
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

int openSender(uint16_t sourcePort)
{
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(sourcePort);
    if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close(s);
        return -1;
    }
    return s;
}

// Sends the prepared messages; the number that went out (a full send buffer is retried).
uint64_t sendAll(int s, mmsghdr* msgs, unsigned n)
{
    unsigned done = 0;
    while (done < n) {
        const int k = sendmmsg(s, msgs + done, n - done, 0);
        if (k > 0)
            done += unsigned(k);
        else if (errno != ENOBUFS && errno != EAGAIN && errno != EINTR)
            break;
    }
    return done;
}

int blast(const char* addr, int port, double seconds, int packetBytes, long perSocket)
{
    if (seconds <= 0 || seconds > 120 || packetBytes < kIpUdpHeaders || packetBytes > 1500 || perSocket < 0)
        return 2;
    alarm(unsigned(seconds) + 10);
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, addr, &dest.sin_addr) != 1)
        return 2;
    std::vector<char> payload(size_t(packetBytes - kIpUdpHeaders), 'b');
    iovec iov{payload.data(), payload.size()};
    mmsghdr msgs[kBatch] = {};
    for (mmsghdr& m : msgs) {
        m.msg_hdr.msg_name = &dest;
        m.msg_hdr.msg_namelen = sizeof dest;
        m.msg_hdr.msg_iov = &iov;
        m.msg_hdr.msg_iovlen = 1;
    }
    const double cpu0 = cpuSeconds();
    const uint64_t start = nowNs();
    const uint64_t end = start + uint64_t(seconds * 1e9);
    uint64_t sent = 0;
    int s = -1;
    long onSocket = 0;
    while (nowNs() < end) {
        if (s < 0 || (perSocket > 0 && onSocket >= perSocket)) {
            if (s >= 0)
                close(s);
            s = openSender(0);
            onSocket = 0;
            if (s < 0)
                return 1;
        }
        const long room = perSocket > 0 ? std::min<long>(kBatch, perSocket - onSocket) : kBatch;
        const uint64_t n = sendAll(s, msgs, unsigned(room));
        if (n == 0)
            return 1;
        sent += n;
        onSocket += long(n);
    }
    const double took = secondsSince(start);
    if (s >= 0)
        close(s);
    std::printf("sent %llu seconds %.6f cpu %.6f\n", static_cast<unsigned long long>(sent), took,
                cpuSeconds() - cpu0);
    return 0;
}

int burst(const char* baseAddr, long addresses, const char* portAddr, long ports)
{
    constexpr long kPortsPerAddress = 65536 - 1024;
    if (addresses < 0 || addresses > (1 << 22) || ports < 0 || ports > (1 << 22))
        return 2;
    alarm(60);
    in_addr base{}, portHost{};
    if (inet_pton(AF_INET, baseAddr, &base) != 1 || inet_pton(AF_INET, portAddr, &portHost) != 1)
        return 2;
    const int s = openSender(0);
    if (s < 0)
        return 1;
    sockaddr_in local{};
    socklen_t len = sizeof local;
    getsockname(s, reinterpret_cast<sockaddr*>(&local), &len);
    std::printf("port %d\n", ntohs(local.sin_port));
    std::fflush(stdout);
    char payload[8] = {};
    iovec iov{payload, sizeof payload};
    std::vector<sockaddr_in> dests(kBatch);
    mmsghdr msgs[kBatch] = {};
    const uint64_t total = uint64_t(addresses) + uint64_t(ports);
    const uint64_t start = nowNs();
    uint64_t sent = 0;
    for (uint64_t i = 0; i < total;) {
        const unsigned n = unsigned(std::min<uint64_t>(kBatch, total - i));
        for (unsigned k = 0; k < n; ++k, ++i) {
            sockaddr_in& d = dests[k];
            d = sockaddr_in{};
            d.sin_family = AF_INET;
            if (i < uint64_t(addresses)) {
                d.sin_addr.s_addr = htonl(ntohl(base.s_addr) + uint32_t(i));
                d.sin_port = htons(9);
            } else {
                const uint64_t flow = i - uint64_t(addresses);
                d.sin_addr.s_addr = htonl(ntohl(portHost.s_addr) + uint32_t(flow / kPortsPerAddress));
                d.sin_port = htons(uint16_t(1024 + flow % kPortsPerAddress));
            }
            msgs[k].msg_hdr = msghdr{};
            msgs[k].msg_hdr.msg_name = &d;
            msgs[k].msg_hdr.msg_namelen = sizeof d;
            msgs[k].msg_hdr.msg_iov = &iov;
            msgs[k].msg_hdr.msg_iovlen = 1;
        }
        sent += sendAll(s, msgs, n);
    }
    const double took = secondsSince(start);
    close(s);
    std::printf("sent %llu seconds %.6f\n", static_cast<unsigned long long>(sent), took);
    return sent == total ? 0 : 1;
}

int sink(int port, long seconds)
{
    if (seconds <= 0 || seconds > 7200)
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
    if (mode == "blast" && argc == 7)
        return blast(argv[2], int(num(3)), std::strtod(argv[4], nullptr), int(num(5)), num(6));
    if (mode == "burst" && argc == 6)
        return burst(argv[2], num(3), argv[4], num(5));
    std::fprintf(stderr, "usage: bench_udp_flood flood ADDR PORT SOURCE_PORT RATE SECONDS PACKET_BYTES\n"
                         "       bench_udp_flood sink PORT SECONDS\n"
                         "       bench_udp_flood blast ADDR PORT SECONDS PACKET_BYTES PER_SOCKET\n"
                         "       bench_udp_flood burst BASE_ADDR ADDRESSES PORT_ADDR PORTS\n");
    return 2;
}
