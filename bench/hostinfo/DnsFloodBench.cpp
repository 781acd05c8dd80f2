// What a flood of DNS answers does to the monitor's memory. A host on the test network sends
// answers with many address records each, for addresses never seen before, while lumivex (or
// the window) runs as a user runs it:
//   - unasked: answers nobody asked for, from its port 53 to a closed port of ours (refused,
//     counted in dns_answers_unasked);
//   - asked: answers to queries a program of this host really sends it (a new name each), so
//     that every one is believed and learnt, and the name cache must hold to its bound.
// Prints the resident memory of the monitor before, at its peak and at the end, and, for
// lumivex, the DNS counters of its last report.
//   bench_dns_flood [--mode unasked|asked] [--window PATH] [--lumivex PATH] [--rate N]
//                   [--records N] [--seconds S]
// Defaults: unasked answers, the lumivex built with the project, 3000 answers a second of 63
// records, 20 s. --window PATH measures that window program instead (DISPLAY must be set).
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "TestNetwork.h"

namespace {

constexpr int kClosedPort = 7398;

struct Options {
    bool asked = false;
    std::string window;  // the window program to measure instead of lumivex
    std::string lumivex = LUMIVEX_PATH;
    long rate = 3000;
    int records = 63;
    long seconds = 20;
};

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--mode") && (!std::strcmp(argv[i + 1], "asked") || !std::strcmp(argv[i + 1], "unasked")))
            o.asked = !std::strcmp(argv[i + 1], "asked");
        else if (!std::strcmp(argv[i], "--window"))
            o.window = argv[i + 1];
        else if (!std::strcmp(argv[i], "--lumivex"))
            o.lumivex = argv[i + 1];
        else if (!std::strcmp(argv[i], "--rate"))
            o.rate = std::strtol(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--records"))
            o.records = int(std::strtol(argv[i + 1], nullptr, 10));
        else if (!std::strcmp(argv[i], "--seconds"))
            o.seconds = std::strtol(argv[i + 1], nullptr, 10);
        else
            return false;
    }
    return argc % 2 == 1 && o.rate > 0 && o.records > 0 && o.records <= 63 && o.seconds > 0 && o.seconds <= 120;
}

// Resident memory of a process in MiB, from /proc/PID/status; 0 when it is gone.
double residentMiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0;
}

// The number after "key": in the JSON report; -1 when absent.
long long counter(const std::string& json, const std::string& key)
{
    const size_t at = json.find("\"" + key + "\":");
    return at == std::string::npos ? -1 : std::strtoll(json.c_str() + at + key.size() + 3, nullptr, 10);
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: bench_dns_flood [--mode unasked|asked] [--window PATH] [--lumivex PATH] [--rate N] "
                             "[--records N] [--seconds S]\n");
        return 2;
    }
    if (!o.window.empty() && !std::getenv("DISPLAY")) {
        std::printf("skipped: the window needs DISPLAY\n");
        return 0;
    }
    TestNetwork net;
    std::string why;
    if (!net.create(why)) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    const pid_t server = o.asked ? net.spawnInside({peerProgram(), "dns-flood-server", std::to_string(o.records)}) : 0;
    if (server < 0) {
        std::printf("cannot start the DNS server\n");
        return 1;
    }
    // The monitor starts after the test network exists, so its listener sees that too. The
    // window gets folders of its own (its single-instance lock, its settings).
    const long runSeconds = o.seconds + 8;
    const std::string home = "/tmp/bench-dns-flood-" + std::to_string(getpid());
    ChildProcess monitor;
    bool started;
    if (o.window.empty()) {
        started = monitor.start({o.lumivex, "--seconds", std::to_string(runSeconds), "--json", "--no-history"});
    } else {
        std::filesystem::create_directories(home);
        ::chmod(home.c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", home.c_str(), 1);
        started = monitor.start({o.window});
    }
    if (!started) {
        std::printf("cannot start %s\n", o.window.empty() ? o.lumivex.c_str() : o.window.c_str());
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(o.window.empty() ? 3 : 6));
    const double before = residentMiB(monitor.pid());
    const pid_t flooder = o.asked ? net.spawnHere({peerProgram(), "dns-ask", net.peerAddr(), std::to_string(o.rate),
                                                   std::to_string(o.seconds)})
                                  : net.spawnInside({peerProgram(), "dns-forge", net.peerAddr(), net.hostAddr(),
                                                     std::to_string(kClosedPort), "www.yourbank.example",
                                                     std::to_string(o.records), std::to_string(o.rate),
                                                     std::to_string(o.seconds)});
    if (flooder <= 0) {
        std::printf("cannot start the flood\n");
        return 1;
    }
    double peak = before;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(o.seconds + 3)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        peak = std::max(peak, residentMiB(monitor.pid()));
    }
    std::string sent = net.readOutput(flooder, 5000);
    while (!sent.empty() && (sent.back() == '\n' || sent.back() == '\r'))
        sent.pop_back();
    const double after = residentMiB(monitor.pid());
    if (!o.window.empty())
        ::kill(monitor.pid(), SIGTERM);
    monitor.finish(int(runSeconds) * 1000 + 20000);
    const std::string& json = monitor.output();
    if (!o.window.empty())
        std::filesystem::remove_all(home);

    std::printf("%s flood: %ld answers a second of %d address records for %ld s (%s); measured: %s\n",
                o.asked ? "asked" : "unasked", o.rate, o.records, o.seconds, sent.c_str(),
                o.window.empty() ? o.lumivex.c_str() : o.window.c_str());
    std::printf("RESULT %s resident MiB: before %.1f, peak %.1f, after %.1f\n", o.window.empty() ? "lumivex" : "window",
                before, peak, after);
    if (o.window.empty())
        std::printf("RESULT dns_names %lld, dns_names_learnt %lld, dns_names_dropped %lld, dns_answers_unasked %lld, "
                    "dns_queries_seen %lld, dns_queries_dropped %lld, listener_socket_drops %lld, queue_drops %lld\n",
                    counter(json, "dns_names"), counter(json, "dns_names_learnt"), counter(json, "dns_names_dropped"),
                    counter(json, "dns_answers_unasked"), counter(json, "dns_queries_seen"),
                    counter(json, "dns_queries_dropped"), counter(json, "listener_socket_drops"),
                    counter(json, "queue_drops"));
    return 0;
}
