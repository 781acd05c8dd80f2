// What a flood of DNS answers nobody asked for does to lumivex's memory: a host on the test
// network sends answers from its port 53 to a closed port of ours, each with many address
// records for addresses never seen before, while lumivex runs as a user runs it. Prints the
// resident memory of lumivex before, at its peak and at the end, and the DNS counters of its
// last report.
//   bench_dns_flood [--lumivex PATH] [--rate N] [--records N] [--seconds S]
// Defaults: the lumivex built with the project, 3000 answers a second of 63 records, 20 s.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "TestNetwork.h"

namespace {

constexpr int kClosedPort = 7398;

struct Options {
    std::string lumivex = LUMIVEX_PATH;
    long rate = 3000;
    int records = 63;
    long seconds = 20;
};

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--lumivex"))
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
        std::fprintf(stderr, "usage: bench_dns_flood [--lumivex PATH] [--rate N] [--records N] [--seconds S]\n");
        return 2;
    }
    TestNetwork net;
    std::string why;
    if (!net.create(why)) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    // lumivex starts after the test network exists, so a listener per address sees it too.
    const long runSeconds = o.seconds + 8;
    ChildProcess monitor;
    if (!monitor.start({o.lumivex, "--seconds", std::to_string(runSeconds), "--json"})) {
        std::printf("cannot start %s\n", o.lumivex.c_str());
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double before = residentMiB(monitor.pid());
    const pid_t forger = net.spawnInside({peerProgram(), "dns-forge", net.peerAddr(), net.hostAddr(),
                                          std::to_string(kClosedPort), "www.yourbank.example",
                                          std::to_string(o.records), std::to_string(o.rate), std::to_string(o.seconds)});
    if (forger <= 0) {
        std::printf("cannot start the forger\n");
        return 1;
    }
    double peak = before;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(o.seconds + 3)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        peak = std::max(peak, residentMiB(monitor.pid()));
    }
    const std::string sent = net.readOutput(forger, 5000);
    const double after = residentMiB(monitor.pid());
    monitor.finish(int(runSeconds) * 1000 + 20000);
    const std::string& json = monitor.output();

    std::printf("flood: %ld answers a second of %d address records for %ld s (%s)\n", o.rate, o.records, o.seconds,
                sent.c_str());
    std::printf("RESULT lumivex resident MiB: before %.1f, peak %.1f, after %.1f\n", before, peak, after);
    std::printf("RESULT dns_names %lld, dns_names_dropped %lld, dns_answers_unasked %lld, listener_socket_drops %lld, "
                "queue_drops %lld\n",
                counter(json, "dns_names"), counter(json, "dns_names_dropped"), counter(json, "dns_answers_unasked"),
                counter(json, "listener_socket_drops"), counter(json, "queue_drops"));
    return 0;
}
