// What the monitor costs a bulk TCP sender: the same transfer over the test network with no
// monitor and with lumivex running, alternating in one series so that drift in the machine's
// load falls on both sides alike.
//   bench_bulk_throughput [--rounds N] [--seconds S] [--fallback 0|1]
// --fallback 1 runs lumivex without CAP_BPF and CAP_SYS_ADMIN, so it captures with libpcap.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "TestNetwork.h"

namespace {

constexpr int kSinkPort = 7501;

// Kernel objects of the BPF programs the process holds.
size_t bpfProgramsHeldBy(pid_t pid)
{
    size_t n = 0;
    const std::string dir = "/proc/" + std::to_string(pid) + "/fdinfo";
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::ifstream info(dir + "/" + e->d_name);
            std::string line;
            while (std::getline(info, line))
                n += line.rfind("prog_id:", 0) == 0;
        }
        closedir(d);
    }
    return n;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// One transfer; payload bytes per second, 0 on failure.
double transfer(const TestNetwork& net, double seconds)
{
    ChildProcess sender;
    if (!sender.start({BENCH_BULK_PEER_PATH, "send", net.peerAddr(), std::to_string(kSinkPort), std::to_string(seconds)}))
        return 0;
    const int status = sender.finish(int(seconds * 1000) + 30000);
    unsigned long long bytes = 0;
    if (status != 0 || std::sscanf(sender.output().c_str(), "sent %llu", &bytes) != 1)
        return 0;
    return double(bytes) / seconds;
}

// lumivex printing every second, as a user runs it; ready once it captures.
class Monitor {
public:
    bool start(bool fallback)
    {
        std::vector<std::string> argv = {LUMIVEX_PATH};
        if (fallback)
            argv = {"capsh", "--drop=cap_bpf,cap_sys_admin", "--", "-c", std::string("exec ") + LUMIVEX_PATH};
        if (!m_child.start(argv))
            return false;
        // The console prints its first report after a second: the engine is up by then.
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (!m_child.readLine(line, 200))
                continue;
            if (line.find("Counters (capturing") != std::string::npos) {
                m_source = line;
                return true;
            }
        }
        return false;
    }
    void stop()
    {
        kill(m_child.pid(), SIGTERM);
        m_child.finish(5000);
    }
    pid_t pid() const { return m_child.pid(); }
    const std::string& source() const { return m_source; }

private:
    ChildProcess m_child;
    std::string m_source;
};

} // namespace

int main(int argc, char** argv)
{
    int rounds = 5;
    double seconds = 5;
    bool fallback = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--fallback"))
            fallback = std::atoi(argv[i + 1]) != 0;
    }
    TestNetwork net;
    std::string why;
    if (!net.create(why)) {
        std::printf("skipped: %s\n", why.c_str());
        return 0;
    }
    if (net.spawnInside({BENCH_BULK_PEER_PATH, "sink", std::to_string(kSinkPort)}) <= 0) {
        std::printf("the sink did not start\n");
        return 1;
    }
    transfer(net, 1);  // warm-up

    std::vector<double> without, with;
    std::string source;
    for (int round = 0; round < rounds; ++round) {
        // A B, then B A: the order alternates.
        for (int leg = 0; leg < 2; ++leg) {
            const bool monitored = (leg == 0) == (round % 2 == 1);
            Monitor monitor;
            if (monitored && !monitor.start(fallback)) {
                std::printf("lumivex did not start capturing\n");
                return 1;
            }
            const size_t programs = monitored ? bpfProgramsHeldBy(monitor.pid()) : 0;
            const double rate = transfer(net, seconds);
            if (monitored) {
                source = monitor.source();
                monitor.stop();
            }
            (monitored ? with : without).push_back(rate);
            std::printf("round %d %-16s %8.1f MB/s%s\n", round + 1, monitored ? "with lumivex" : "without monitor",
                        rate / 1e6,
                        monitored ? (" (" + std::to_string(programs) + " BPF programs held)").c_str() : "");
        }
    }
    const double a = median(without), b = median(with);
    std::printf("lumivex: %s\n", source.c_str());
    std::printf("median of %d rounds of %.0f s: without %.1f MB/s, with %.1f MB/s\n", rounds, seconds, a / 1e6, b / 1e6);
    std::printf("RESULT sender throughput with lumivex: %.1f %% of without (goal >= 97 %%)\n", a > 0 ? 100.0 * b / a : 0.0);
    return 0;
}
