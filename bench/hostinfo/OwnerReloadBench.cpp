// One refresh of the owner tables (XPCProcessInfo::reload) with many sockets and processes:
// 300 child processes hold 2000 loopback sockets between them (per child one TCP listener, two
// connections with both of their ends, and one or two UDP sockets). The first refresh of a
// fresh process also builds the socket-inode-to-pid map; later ones reuse it. Each measuring
// round runs in a freshly forked process, so every round has a first call of its own.
//   bench_owner_reload [--rounds N] [--calls N]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hostinfo/XPCProcessInfo.h"
#include "platform/linux/InodeOwners.h"
#include "platform/linux/SockDiag.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kProcesses = 300;
constexpr int kSockets = 2000;
constexpr int kTcpPerProcess = 5;  // a listener and both ends of two connections

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// 127.<net>.<hi>.<lo>: a loopback address of its own per child and role.
sockaddr_in loopback(int net, int child)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl((127u << 24) | (uint32_t(net) << 16) | (uint32_t(child / 250) << 8) | uint32_t(child % 250 + 1));
    return a;
}

// A connection reset at exit instead of closed leaves no TIME_WAIT rows behind, which would
// swell the tables of the next run.
int tcpSocket()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const linger reset{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    return fd;
}

bool bindTo(int fd, sockaddr_in a)
{
    return bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

// The child's part: open its sockets, report, hold them until the release pipe closes.
[[noreturn]] void holdSockets(int index, int udpCount, int readyFd, int releaseFd)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    alarm(120);
    bool ok = true;
    const int listener = tcpSocket();
    ok = ok && bindTo(listener, loopback(1, index)) && listen(listener, 4) == 0;
    sockaddr_in server{};
    socklen_t len = sizeof server;
    getsockname(listener, reinterpret_cast<sockaddr*>(&server), &len);
    for (int c = 0; c < 2 && ok; ++c) {
        const int client = tcpSocket();
        ok = bindTo(client, loopback(2, index)) &&
             connect(client, reinterpret_cast<sockaddr*>(&server), sizeof server) == 0;
        const int accepted = ok ? accept(listener, nullptr, nullptr) : -1;
        const linger reset{1, 0};
        ok = ok && accepted >= 0 && setsockopt(accepted, SOL_SOCKET, SO_LINGER, &reset, sizeof reset) == 0;
    }
    for (int u = 0; u < udpCount && ok; ++u)
        ok = bindTo(socket(AF_INET, SOCK_DGRAM, 0), loopback(3, index));
    const char status = ok ? 'y' : 'n';
    (void)!write(readyFd, &status, 1);
    char c;
    (void)!read(releaseFd, &c, 1);  // returns at the parent's close (or death)
    _exit(0);
}

struct Round {
    double first = 0;
    std::vector<double> steady;
    double tcpTable = 0, udpTable = 0, rescan = 0, tcpText = 0;
    size_t tcpRows = 0, udpRows = 0, ownedRows = 0;
    uint64_t rescansInSteady = 0;
    size_t peersFound = 0;  // remote addresses of our connections whose owner the table names right
};

// Runs in a fresh process: the refresh as the program does it, then its parts.
Round measure(int calls, const std::vector<pid_t>& children)
{
    Round r;
    XPCProcessInfo info(XPCProcessInfo::Hooks::system(), nullptr);
    auto start = Clock::now();
    info.reload();
    r.first = msSince(start);
    platform::InodeOwners& owners = platform::InodeOwners::instance();
    const uint64_t scans = owners.rescanCount();
    for (int i = 0; i < calls; ++i) {
        start = Clock::now();
        info.reload();
        r.steady.push_back(msSince(start));
    }
    r.rescansInSteady = owners.rescanCount() - scans;
    // Every connection's remote end is a child's own address: 127.1.x.y (the listener, seen
    // from the connecting side) and 127.2.x.y (the connecting side, seen from the accepted one).
    for (int i = 0; i < int(children.size()); ++i) {
        for (int net = 1; net <= 2; ++net) {
            uint32_t pid = 0;
            info.getTcpProgamName(ntohl(loopback(net, i).sin_addr.s_addr), nullptr, 0, &pid);
            r.peersFound += pid == uint32_t(children[size_t(i)]);
        }
    }

    std::vector<platform::SocketRow> rows;
    start = Clock::now();
    platform::readSocketTable(platform::SocketProtocol::Tcp, rows);
    r.tcpTable = msSince(start);
    r.tcpRows = rows.size();
    auto ours = [&](const platform::SocketRow& row) {
        return std::find(children.begin(), children.end(), pid_t(row.pid)) != children.end();
    };
    r.ownedRows = size_t(std::count_if(rows.begin(), rows.end(), ours));
    start = Clock::now();
    platform::readSocketTable(platform::SocketProtocol::Udp, rows);
    r.udpTable = msSince(start);
    r.udpRows = rows.size();
    r.ownedRows += size_t(std::count_if(rows.begin(), rows.end(), ours));
    start = Clock::now();
    owners.rescan();
    r.rescan = msSince(start);
    // The kernel's side alone: producing the text of the TCP tables.
    start = Clock::now();
    for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        if (FILE* f = std::fopen(path, "r")) {
            char buf[65536];
            while (std::fread(buf, 1, sizeof buf, f) > 0) {
            }
            std::fclose(f);
        }
    }
    r.tcpText = msSince(start);
    return r;
}

void writeRound(int fd, const Round& r)
{
    char text[8192];
    int n = std::snprintf(text, sizeof text, "%f %f %f %f %f %zu %zu %zu %llu %zu", r.first, r.tcpTable, r.udpTable, r.rescan, r.tcpText,
                          r.tcpRows, r.udpRows, r.ownedRows, (unsigned long long)r.rescansInSteady, r.peersFound);
    for (double s : r.steady)
        n += std::snprintf(text + n, sizeof text - size_t(n), " %f", s);
    n += std::snprintf(text + n, sizeof text - size_t(n), "\n");
    (void)!write(fd, text, size_t(n));
}

bool readRound(int fd, int calls, Round& r)
{
    std::string text;
    char buf[4096];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 60000) > 0) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, size_t(n));
    }
    const char* s = text.c_str();
    char* end = nullptr;
    auto next = [&] {
        const double v = std::strtod(s, &end);
        const bool ok = end != s;
        s = end;
        return ok ? v : -1.0;
    };
    r.first = next();
    r.tcpTable = next();
    r.udpTable = next();
    r.rescan = next();
    r.tcpText = next();
    r.tcpRows = size_t(next());
    r.udpRows = size_t(next());
    r.ownedRows = size_t(next());
    r.rescansInSteady = uint64_t(next());
    r.peersFound = size_t(next());
    for (int i = 0; i < calls; ++i)
        r.steady.push_back(next());
    return r.first >= 0 && r.steady.back() >= 0;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 3, calls = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::clamp(int(std::strtol(argv[i + 1], nullptr, 10)), 1, 10);
        else if (!std::strcmp(argv[i], "--calls"))
            calls = std::clamp(int(std::strtol(argv[i + 1], nullptr, 10)), 1, 200);
    }
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    if (files.rlim_cur < 4096) {
        files.rlim_cur = std::min<rlim_t>(4096, files.rlim_max);
        setrlimit(RLIMIT_NOFILE, &files);
    }

    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0)
        return 1;
    std::vector<pid_t> children;
    const int udpTotal = kSockets - kProcesses * kTcpPerProcess;
    for (int i = 0; i < kProcesses; ++i) {
        const int udpCount = udpTotal / kProcesses + (i < udpTotal % kProcesses ? 1 : 0);
        const pid_t pid = fork();
        if (pid == 0) {
            close(ready[0]);
            close(release[1]);
            holdSockets(i, udpCount, ready[1], release[0]);
        }
        if (pid > 0)
            children.push_back(pid);
    }
    close(ready[1]);
    close(release[0]);
    int up = 0, failed = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (up + failed < int(children.size()) && Clock::now() < deadline) {
        pollfd p{ready[0], POLLIN, 0};
        if (poll(&p, 1, 1000) <= 0)
            continue;
        char status;
        if (read(ready[0], &status, 1) != 1)
            break;
        (status == 'y' ? up : failed) += 1;
    }
    std::printf("%zu processes started, %d holding their sockets, %d failed to open them\n", children.size(), up, failed);

    std::vector<Round> results;
    if (up == kProcesses) {
        for (int r = 0; r < rounds; ++r) {
            int out[2];
            if (pipe(out) != 0)
                break;
            const pid_t measurer = fork();
            if (measurer == 0) {
                close(out[0]);
                alarm(60);
                writeRound(out[1], measure(calls, children));
                _exit(0);
            }
            close(out[1]);
            Round round;
            const bool ok = measurer > 0 && readRound(out[0], calls, round);
            close(out[0]);
            if (measurer > 0)
                waitpid(measurer, nullptr, 0);
            if (ok)
                results.push_back(round);
        }
    }

    close(release[1]);  // lets every child go
    for (const pid_t pid : children) {
        if (waitpid(pid, nullptr, 0) != pid)
            kill(pid, SIGKILL);
    }

    if (results.empty()) {
        std::printf("no measurement\n");
        return 1;
    }
    std::vector<double> firsts, steadyMedians, steadyAll;
    for (size_t i = 0; i < results.size(); ++i) {
        Round& r = results[i];
        std::vector<double> sorted = r.steady;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        firsts.push_back(r.first);
        steadyMedians.push_back(median);
        steadyAll.insert(steadyAll.end(), sorted.begin(), sorted.end());
        std::printf("round %zu: first reload %.2f ms; %d later reloads: min %.2f, median %.2f, max %.2f ms "
                    "(%llu full /proc rescans among them)\n",
                    i + 1, r.first, calls, sorted.front(), median, sorted.back(),
                    (unsigned long long)r.rescansInSteady);
        std::printf("         rows: tcp %zu, udp %zu (%zu owned by our children); parts: tcp table %.2f ms, "
                    "udp table %.2f ms, full inode rescan %.2f ms, reading the TCP table text alone %.2f ms\n",
                    r.tcpRows, r.udpRows, r.ownedRows, r.tcpTable, r.udpTable, r.rescan, r.tcpText);
        std::printf("         TCP owner table: %zu of %d remote addresses of our connections name the right pid\n",
                    r.peersFound, 2 * kProcesses);
    }
    std::sort(firsts.begin(), firsts.end());
    std::sort(steadyMedians.begin(), steadyMedians.end());
    std::printf("RESULT first reload: best %.2f ms, worst %.2f ms (goal < 20 ms)\n", firsts.front(), firsts.back());
    std::printf("RESULT steady reload: best median %.2f ms, worst median %.2f ms (goal < 20 ms)\n",
                steadyMedians.front(), steadyMedians.back());
    return 0;
}
