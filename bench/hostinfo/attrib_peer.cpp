// Traffic helper of the attribution benchmark, run as processes of their own.
//   bench_attrib_peer servers TCP_BASE TCP_COUNT BULK_PORT UDP_PORT REQUEST_BYTES REPLY_BYTES SECONDS
//       listens on TCP ports TCP_BASE .. TCP_BASE+TCP_COUNT-1 (after REQUEST_BYTES arrived, send
//       REPLY_BYTES; close at the client's end of stream) and BULK_PORT (read until the end of
//       stream, close); echoes every datagram on UDP_PORT; prints "ready"; exits after SECONDS.
//   bench_attrib_peer client ADDR TCP_BASE TCP_COUNT BULK_PORT UDP_PORT UDP_COUNT REQUEST_BYTES
//                            REPLY_BYTES HOLD_MS BULK_BYTES_PER_S CLOSE
//       one program doing it all at once: TCP_COUNT connections (one per server port, four at a
//       time), each sending REQUEST_BYTES, reading REPLY_BYTES and closing HOLD_MS after its
//       connect; UDP_COUNT one-datagram exchanges (a fresh socket each, 10 ms apart); and a bulk
//       transfer to BULK_PORT at BULK_BYTES_PER_S while the others run. CLOSE "hold" keeps each
//       connection established until HOLD_MS; "early-fin" ends the sending side right after
//       the request, so both ends have closed long before the descriptor is. Prints one line per
//       flow: "tcp I LOCAL_PORT SENT RECEIVED", "udp J LOCAL_PORT SENT RECEIVED SOCKET_LIFETIME_US",
//       "bulk LOCAL_PORT SENT", then "done".
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTcpWorkers = 4;

sockaddr_in endpoint(const char* addr, int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, addr, &a.sin_addr);
    return a;
}

void setTimeout(int fd, int ms)
{
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

int localPort(int fd)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
}

// ---- servers (inside the namespace) ----

struct Conn {
    int fd;
    size_t toReceive;  // request bytes still to come before the reply starts
    size_t toSend;     // reply bytes left
    bool ended;        // the client ended its sending side
};

int listenOn(int port)
{
    const int l = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(l, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = endpoint("0.0.0.0", port);
    if (l < 0 || bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(l, 64) != 0)
        return -1;
    return l;
}

int servers(int tcpBase, int tcpCount, int bulkPort, int udpPort, size_t request, size_t reply, long seconds)
{
    if (tcpCount < 1 || tcpCount > 1000 || seconds < 1 || seconds > 300)
        return 2;
    alarm(unsigned(seconds) + 5);
    std::vector<int> listeners;  // the last one is the bulk port
    for (int i = 0; i < tcpCount; ++i)
        listeners.push_back(listenOn(tcpBase + i));
    listeners.push_back(listenOn(bulkPort));
    const int udp = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in ua = endpoint("0.0.0.0", udpPort);
    if (udp < 0 || bind(udp, reinterpret_cast<sockaddr*>(&ua), sizeof ua) != 0)
        return 1;
    for (int l : listeners)
        if (l < 0)
            return 1;
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<Conn> conns;
    std::vector<pollfd> fds;
    std::vector<char> buf(65536, 'r');
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) {
        fds.clear();
        for (int l : listeners)
            fds.push_back({l, POLLIN, 0});
        fds.push_back({udp, POLLIN, 0});
        for (const Conn& c : conns)
            fds.push_back({c.fd, short((c.ended ? 0 : POLLIN) | (c.toReceive == 0 && c.toSend > 0 ? POLLOUT : 0)), 0});
        if (poll(fds.data(), nfds_t(fds.size()), 100) <= 0)
            continue;
        for (size_t i = 0; i < listeners.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const int c = accept4(listeners[i], nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            const bool isBulk = i + 1 == listeners.size();
            if (c >= 0)
                conns.push_back({c, isBulk ? 0 : request, isBulk ? 0 : reply, false});
        }
        if (fds[listeners.size()].revents & POLLIN) {
            for (int k = 0; k < 64; ++k) {
                sockaddr_in from{};
                socklen_t len = sizeof from;
                const ssize_t n = recvfrom(udp, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
                if (n < 0)
                    break;
                sendto(udp, buf.data(), size_t(n), 0, reinterpret_cast<sockaddr*>(&from), len);
            }
        }
        const size_t first = listeners.size() + 1;
        for (size_t i = first; i < fds.size(); ++i) {
            Conn& c = conns[i - first];
            if (!fds[i].revents)
                continue;
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                const ssize_t n = recv(c.fd, buf.data(), buf.size(), 0);
                if (n > 0)
                    c.toReceive -= std::min(c.toReceive, size_t(n));
                else if (n == 0 || errno != EAGAIN)
                    c.ended = true;
            }
            if (c.toReceive == 0 && c.toSend > 0 && (fds[i].revents & POLLOUT)) {
                const ssize_t n = send(c.fd, buf.data(), std::min(c.toSend, buf.size()), MSG_NOSIGNAL);
                if (n > 0)
                    c.toSend -= size_t(n);
                else if (errno != EAGAIN)
                    c.toSend = 0;
            }
            if (c.ended && (c.toSend == 0 || c.toReceive > 0)) {
                close(c.fd);
                c.fd = -1;
            }
        }
        conns.erase(std::remove_if(conns.begin(), conns.end(), [](const Conn& c) { return c.fd < 0; }), conns.end());
    }
    return 0;
}

// ---- client (our side) ----

std::mutex g_print;

void line(const std::string& text)
{
    std::lock_guard<std::mutex> guard(g_print);
    std::printf("%s\n", text.c_str());
}

bool sendAll(int fd, const char* data, size_t bytes)
{
    while (bytes > 0) {
        const ssize_t n = send(fd, data, bytes, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        bytes -= size_t(n);
    }
    return true;
}

// One short connection: request, reply, then kept open until HOLD_MS after the connect.
bool tcpExchange(const char* addr, int port, int index, size_t request, size_t reply, long holdMs, bool earlyFin)
{
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    setTimeout(s, 5000);
    sockaddr_in a = endpoint(addr, port);
    const auto opened = Clock::now();
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(s);
        return false;
    }
    std::vector<char> buf(65536, 'q');
    const bool sent = sendAll(s, buf.data(), request);
    if (earlyFin)
        shutdown(s, SHUT_WR);
    size_t received = 0;
    for (ssize_t n; (earlyFin || received < reply) && (n = recv(s, buf.data(), buf.size(), 0)) > 0;)
        received += size_t(n);
    std::this_thread::sleep_until(opened + std::chrono::milliseconds(holdMs));
    line("tcp " + std::to_string(index) + " " + std::to_string(localPort(s)) + " " +
         std::to_string(sent ? request : 0) + " " + std::to_string(received));
    close(s);
    return sent && received == reply;
}

bool udpExchange(const char* addr, int port, int index, size_t size)
{
    const auto opened = Clock::now();
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    setTimeout(s, 1000);
    sockaddr_in a = endpoint(addr, port);
    std::vector<char> buf(std::max<size_t>(size, 2048), 'u');
    const ssize_t sent = sendto(s, buf.data(), size, 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    const ssize_t received = recv(s, buf.data(), buf.size(), 0);
    const int local = localPort(s);
    close(s);
    const auto lifetime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - opened).count();
    line("udp " + std::to_string(index) + " " + std::to_string(local) + " " + std::to_string(std::max<ssize_t>(sent, 0)) +
         " " + std::to_string(std::max<ssize_t>(received, 0)) + " " + std::to_string(lifetime));
    return sent == ssize_t(size) && received == ssize_t(size);
}

int client(const char* addr, int tcpBase, int tcpCount, int bulkPort, int udpPort, int udpCount,
           size_t request, size_t reply, long holdMs, long bulkRate, bool earlyFin)
{
    if (tcpCount < 0 || tcpCount > 1000 || udpCount < 0 || udpCount > 1000 || request > 60000 || holdMs > 1000)
        return 2;
    alarm(60);
    std::atomic<int> failures{0};
    std::atomic<bool> othersDone{false};

    std::thread bulk([&] {
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        setTimeout(s, 5000);
        sockaddr_in a = endpoint(addr, bulkPort);
        if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ++failures;
            close(s);
            return;
        }
        std::vector<char> chunk(16384, 'b');
        const auto start = Clock::now();
        size_t sent = 0;
        while (!othersDone.load() && sent < size_t(bulkRate) * 60) {
            const double due = std::chrono::duration<double>(Clock::now() - start).count() * double(bulkRate);
            if (double(sent) + double(chunk.size()) > due) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (!sendAll(s, chunk.data(), chunk.size())) {
                ++failures;
                break;
            }
            sent += chunk.size();
        }
        shutdown(s, SHUT_WR);
        char b[4096];
        while (recv(s, b, sizeof b, 0) > 0) {
        }
        line("bulk " + std::to_string(localPort(s)) + " " + std::to_string(sent));
        close(s);
    });

    std::vector<std::thread> workers;
    for (int w = 0; w < kTcpWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = w; i < tcpCount; i += kTcpWorkers)
                if (!tcpExchange(addr, tcpBase + i, i, request, reply, holdMs, earlyFin))
                    ++failures;
        });
    }
    workers.emplace_back([&] {
        for (int j = 0; j < udpCount; ++j) {
            if (!udpExchange(addr, udpPort, j, request))
                ++failures;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    for (std::thread& t : workers)
        t.join();
    othersDone = true;
    bulk.join();
    line(failures ? "failed " + std::to_string(failures.load()) : std::string("done"));
    std::fflush(stdout);
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    auto num = [&](int i) { return std::strtol(argv[i], nullptr, 10); };
    if (mode == "servers" && argc == 9)
        return servers(int(num(2)), int(num(3)), int(num(4)), int(num(5)), size_t(num(6)), size_t(num(7)), num(8));
    if (mode == "client" && argc == 13 && (!std::strcmp(argv[12], "hold") || !std::strcmp(argv[12], "early-fin")))
        return client(argv[2], int(num(3)), int(num(4)), int(num(5)), int(num(6)), int(num(7)), size_t(num(8)),
                      size_t(num(9)), num(10), num(11), !std::strcmp(argv[12], "early-fin"));
    std::fprintf(stderr, "bench_attrib_peer: bad arguments (see the comment at the top of attrib_peer.cpp)\n");
    return 2;
}
