// Both ends of a bulk TCP transfer, run as separate processes so their CPU is not the
// engine's.
//   bench_bulk_peer sink PORT              accept connections, read and discard (prints "ready")
//   bench_bulk_peer send ADDR PORT SECONDS send as fast as possible for SECONDS, then print
//                                          "sent BYTES cpu C" (C: its CPU seconds)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

sockaddr_in endpoint(const char* addr, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, addr, &a.sin_addr);
    return a;
}

int sink(int port)
{
    const int l = socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    setsockopt(l, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = endpoint("0.0.0.0", port);
    if (bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(l, 16) != 0)
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        const int c = accept(l, nullptr, nullptr);
        if (c < 0)
            continue;
        std::thread([c] {
            std::vector<char> buf(1 << 20);
            while (recv(c, buf.data(), buf.size(), 0) > 0) {
            }
            close(c);
        }).detach();
    }
}

int send(const char* addr, int port, double seconds)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = endpoint(addr, port);
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    timespec cpu0{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
    std::vector<char> chunk(1 << 18, 'b');
    unsigned long long total = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        const ssize_t n = ::send(s, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return 1;
        total += (unsigned long long)n;
    }
    shutdown(s, SHUT_WR);
    char buf[4096];
    while (recv(s, buf, sizeof buf, 0) > 0) {
    }
    close(s);
    timespec cpu1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
    std::printf("sent %llu cpu %.6f\n", total,
                double(cpu1.tv_sec - cpu0.tv_sec) + double(cpu1.tv_nsec - cpu0.tv_nsec) / 1e9);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "sink" && argc == 3)
        return sink(std::atoi(argv[2]));
    if (mode == "send" && argc == 5)
        return send(argv[2], std::atoi(argv[3]), std::atof(argv[4]));
    std::fprintf(stderr, "usage: bench_bulk_peer sink PORT | send ADDR PORT SECONDS\n");
    return 2;
}
