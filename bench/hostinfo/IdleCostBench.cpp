// The whole engine (XEngine, as the front ends run it) with nothing to do: what it costs per
// minute, and how often each of its threads wakes. The front end's one-second sample() runs
// on the main thread, as the console's timer does.
//   bench_idle_cost [--seconds S]
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

#include "ThreadCpu.h"
#include "capengine/XEngine.h"

namespace {

std::string threadName(pid_t tid)
{
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 60;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
    if (seconds < 5) {
        std::fprintf(stderr, "usage: bench_idle_cost [--seconds S>=5]\n");
        return 2;
    }
    XEngine engine;
    std::string why;
    if (!engine.start(&why)) {
        std::printf("skipped: the engine did not start: %s\n", why.c_str());
        return 0;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!engine.stats().capturing && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!engine.stats().capturing) {
        std::printf("skipped: not capturing (%s)\n", engine.eventSource().c_str());
        return 0;
    }
    // Start-up work (the first socket scan, the first disk round) is not idle cost.
    uint32_t tick = 0;
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        engine.sample(tick += 1000);
    }

    const pid_t mainTid = currentThreadId();
    const XEngineStats before = engine.stats();
    const CpuSample cpu0 = sampleCpu();
    const auto start = std::chrono::steady_clock::now();
    for (auto next = start + std::chrono::seconds(1);
         std::chrono::duration<double>(next - start).count() <= seconds; next += std::chrono::seconds(1)) {
        std::this_thread::sleep_until(next);
        engine.sample(tick += 1000);
    }
    const double window = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const CpuSample cpu1 = sampleCpu();
    const XEngineStats after = engine.stats();
    const std::string source = engine.eventSource();

    struct Row {
        pid_t tid;
        uint64_t ns;
        uint64_t sleeps;
        std::string name;
    };
    std::vector<Row> rows;
    for (const auto& [tid, ns] : cpu1.threadNs) {
        const auto n0 = cpu0.threadNs.find(tid);
        const auto s0 = cpu0.threadSwitches.find(tid);
        rows.push_back({tid, ns - (n0 == cpu0.threadNs.end() ? 0 : n0->second),
                        cpu1.threadSwitches.at(tid) - (s0 == cpu0.threadSwitches.end() ? 0 : s0->second),
                        tid == mainTid ? "(front end: sample())" : threadName(tid)});
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.ns > b.ns; });
    engine.stop();

    const double total = double(cpu1.processNs - cpu0.processNs) / 1e9;
    uint64_t mainNs = 0;
    for (const Row& r : rows)
        if (r.tid == mainTid)
            mainNs = r.ns;
    std::printf("idle engine for %.1f s, source %s; traffic meanwhile: %llu packets counted, %llu events\n", window,
                source.c_str(), (unsigned long long)(after.packetsSeen - before.packetsSeen),
                (unsigned long long)(after.eventsParsed - before.eventsParsed));
    for (const Row& r : rows)
        std::printf("  thread %-7d %-24s %7.3f ms/s  %6.1f wake-ups/s\n", int(r.tid), r.name.c_str(),
                    double(r.ns) / 1e6 / window, double(r.sleeps) / window);
    std::printf("RESULT idle CPU: %.4f s per minute (goal < 0.05), of which the front end's sample() %.4f\n",
                total * 60.0 / window, double(mainNs) / 1e9 * 60.0 / window);
    return 0;
}
