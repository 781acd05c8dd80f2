// What the monitor costs the rest of the machine, in one run:
//   - the kernel side: every BPF program the monitor holds, its run count and run time
//     (bpf_stats) per packet of a flat-out sender;
//   - the flat-out sender's rate with and without the monitor: 64-byte UDP datagrams from one
//     socket, the same from a new socket every 100 datagrams, and a bulk TCP transfer;
//   - a burst of new flows (150 000 new remote addresses and 100 000 new UDP flows as fast as
//     one socket sends them), counted by this process's own engine: nothing may go uncounted;
//   - idle: the CPU time and wake-ups of each command given with --idle, per thread name.
// With and without legs alternate in every round, so that drift in the machine's load falls
// on both alike; every figure is the median of the rounds, with the spread beside it. Several
// monitors (--monitor NAME=CMD, given more than once: two builds, say) take their turns in the
// same rounds, each compared with the same legs without a monitor.
//
//   bench_kernel_cost [--rounds N] [--seconds S] [--monitor [NAME=]CMD]... [--idle NAME=CMD]...
//                     [--idle-seconds S] [--only flood|burst|idle] [--senders udp,udp100,tcp]
#include <arpa/inet.h>
#include <bpf/bpf.h>
#include <fcntl.h>
#include <linux/bpf.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "BpfRunStats.h"
#include "ChildProcess.h"
#include "EngineHarness.h"
#include "ProcessCost.h"
#include "TestNetwork.h"
#include "platform/linux/CgroupMounts.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kUdpSinkPort = 7601;
constexpr int kTcpSinkPort = 7602;
constexpr uint16_t kClosedPort = 7699;
constexpr long kBurstAddresses = 150000;
constexpr long kBurstFlows = 100000;

struct Options {
    int rounds = 5;
    double seconds = 3;
    std::vector<std::pair<std::string, std::string>> monitors;  // name, command
    std::vector<std::pair<std::string, std::string>> idle;
    double idleSeconds = 50;
    double idleWarmup = 5;
    std::string only;
    std::string senders = "udp,udp100,tcp";
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::string spread(const std::vector<double>& v, const char* format)
{
    if (v.empty())
        return "-";
    char text[96];
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    char a[40], b[40];
    std::snprintf(a, sizeof a, format, *lo);
    std::snprintf(b, sizeof b, format, *hi);
    std::snprintf(text, sizeof text, "%s..%s", a, b);
    return text;
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

// A command run through the shell, its output thrown away, ended with SIGTERM.
class Monitored {
public:
    bool start(const std::string& command)
    {
        return m_child.start({"/bin/sh", "-c", "exec " + command + " >/dev/null"});
    }
    // Ready once it holds BPF programs (and a second more for its start-up scans), or after
    // four seconds for a monitor without them.
    size_t waitReady()
    {
        size_t programs = 0;
        for (int i = 0; i < 40 && programs == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            programs = BpfRunStats::sample(m_child.pid()).size();
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        return BpfRunStats::sample(m_child.pid()).size();
    }
    bool running() const { return m_child.pid() > 0 && kill(m_child.pid(), 0) == 0; }
    void stop()
    {
        if (m_child.pid() > 0)
            kill(m_child.pid(), SIGTERM);
        m_child.finish(10000);
    }
    pid_t pid() const { return m_child.pid(); }

private:
    ChildProcess m_child;
};

// ---- flat-out senders --------------------------------------------------------------------

struct Variant {
    const char* key;  // for --senders
    const char* name;
    bool tcp;
    int perSocket;  // UDP: datagrams per socket, 0 for one socket
};

const Variant kVariants[] = {
    {"udp", "udp 64 B, one socket", false, 0},
    {"udp100", "udp 64 B, new socket per 100", false, 100},
    {"tcp", "tcp bulk", true, 0},
};

struct SenderRun {
    double rate = 0;     // datagrams or bytes per second
    double perCpu = 0;   // datagrams or bytes per CPU second of the sender
    uint64_t units = 0;  // datagrams (UDP); 0 for TCP
};

SenderRun runSender(const TestNetwork& net, const Variant& v, double seconds)
{
    ChildProcess sender;
    SenderRun run;
    if (v.tcp) {
        if (!sender.start({BENCH_BULK_PEER_PATH, "send", net.peerAddr(), std::to_string(kTcpSinkPort),
                           std::to_string(seconds)}))
            return run;
        unsigned long long bytes = 0;
        double cpu = 0;
        if (sender.finish(int(seconds * 1000) + 30000) == 0 &&
            std::sscanf(sender.output().c_str(), "sent %llu cpu %lf", &bytes, &cpu) == 2 && cpu > 0) {
            run.rate = double(bytes) / seconds;
            run.perCpu = double(bytes) / cpu;
        }
        return run;
    }
    if (!sender.start({BENCH_UDP_FLOOD_PATH, "blast", net.peerAddr(), std::to_string(kUdpSinkPort),
                       std::to_string(seconds), "64", std::to_string(v.perSocket)}))
        return run;
    unsigned long long sent = 0;
    double took = 0, cpu = 0;
    if (sender.finish(int(seconds * 1000) + 30000) == 0 &&
        std::sscanf(sender.output().c_str(), "sent %llu seconds %lf cpu %lf", &sent, &took, &cpu) == 3 && took > 0 &&
        cpu > 0) {
        run.rate = double(sent) / took;
        run.perCpu = double(sent) / cpu;
        run.units = sent;
    }
    return run;
}

struct HookFigures {
    std::vector<double> nsPerRun, runsPerUnit, nsPerUnit, nsPerSecond;
};

struct VariantFigures {
    std::vector<double> without, with;              // per second
    std::vector<double> withoutPerCpu, withPerCpu;  // per CPU second of the sender
    std::map<std::string, HookFigures> hooks;
    std::vector<double> totalNsPerUnit;
};

void addHookFigures(VariantFigures& f, const std::map<uint32_t, BpfRunStats::Program>& before,
                    const std::map<uint32_t, BpfRunStats::Program>& after, const SenderRun& run, double seconds)
{
    std::map<std::string, std::pair<uint64_t, uint64_t>> byName;  // runs, ns
    for (const auto& [id, p] : after) {
        const auto was = before.find(id);
        auto& sum = byName[p.name];
        sum.first += p.runs - (was == before.end() ? 0 : was->second.runs);
        sum.second += p.ns - (was == before.end() ? 0 : was->second.ns);
    }
    double total = 0;
    for (const auto& [name, rn] : byName) {
        HookFigures& h = f.hooks[name];
        if (rn.first > 0)
            h.nsPerRun.push_back(double(rn.second) / double(rn.first));
        h.nsPerSecond.push_back(double(rn.second) / seconds);
        if (run.units > 0) {
            h.runsPerUnit.push_back(double(rn.first) / double(run.units));
            h.nsPerUnit.push_back(double(rn.second) / double(run.units));
            total += double(rn.second) / double(run.units);
        }
    }
    if (run.units > 0)
        f.totalNsPerUnit.push_back(total);
}

std::vector<double> scaled(const std::vector<double>& v, double scale)
{
    std::vector<double> out;
    for (double x : v)
        out.push_back(x / scale);
    return out;
}

void printVariant(const Variant& v, const VariantFigures& f, const std::string& monitor)
{
    const double a = median(f.without), b = median(f.with);
    const double ac = median(f.withoutPerCpu), bc = median(f.withPerCpu);
    const char* unit = v.tcp ? "MB/s" : "kpps";
    const double scale = v.tcp ? 1e6 : 1e3;
    std::printf("\n%s, monitor %s: without %.1f %s (%s), with %.1f %s (%s)\n", v.name, monitor.c_str(), a / scale, unit,
                spread(scaled(f.without, scale), "%.1f").c_str(), b / scale, unit,
                spread(scaled(f.with, scale), "%.1f").c_str());
    std::printf("  per CPU second of the sender: without %.1f (%s), with %.1f (%s)\n", ac / scale,
                spread(scaled(f.withoutPerCpu, scale), "%.1f").c_str(), bc / scale,
                spread(scaled(f.withPerCpu, scale), "%.1f").c_str());
    if (v.tcp)
        std::printf("  %-22s %10s %12s\n", "hook", "ns/run", "CPU ms/s");
    else
        std::printf("  %-22s %10s %10s %12s\n", "hook", "ns/run", "runs/dgram", "ns/dgram");
    for (const auto& [name, h] : f.hooks) {
        if (v.tcp)
            std::printf("  %-22s %10.1f %12.2f\n", name.c_str(), median(h.nsPerRun), median(h.nsPerSecond) / 1e6);
        else
            std::printf("  %-22s %10.1f %10.3f %12.1f\n", name.c_str(), median(h.nsPerRun), median(h.runsPerUnit),
                        median(h.nsPerUnit));
    }
    if (!v.tcp)
        std::printf("  %-22s %10s %10s %12.1f (%s)\n", "all hooks", "", "", median(f.totalNsPerUnit),
                    spread(f.totalNsPerUnit, "%.1f").c_str());
    std::printf("RESULT %s, %s: with the monitor %.1f %% of without, %.1f %% per sender CPU second\n", v.name,
                monitor.c_str(), a > 0 ? 100.0 * b / a : 0.0, ac > 0 ? 100.0 * bc / ac : 0.0);
}

bool chosen(const Options& o, const Variant& v)
{
    const std::string list = "," + o.senders + ",";
    return list.find("," + std::string(v.key) + ",") != std::string::npos;
}

// Flow-counting programs of other processes (another monitor, an end-to-end test on a shared
// machine) on the path of the sender's packets spoil a leg.
size_t foreignPrograms(pid_t monitor)
{
    const auto mine = monitor > 0 ? BpfRunStats::sample(monitor) : std::map<uint32_t, BpfRunStats::Program>{};
    size_t foreign = 0;
    for (const auto& [id, name] : BpfRunStats::loaded("lvx"))
        foreign += mine.count(id) == 0;
    return foreign;
}

// What running any program at the packet hook costs here, as the statistics measure it: an
// empty cgroup_skb egress program of our own under the one-socket sender. Negative when it
// could not be loaded.
double emptyProgramNsPerRun(const TestNetwork& net)
{
    const std::string root = platform::readCgroupLayout().unifiedRoot;
    const int cgroup = root.empty() ? -1 : open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bpf_insn insns[] = {
        {BPF_ALU64 | BPF_MOV | BPF_K, BPF_REG_0, 0, 0, 1},  // r0 = 1: let the packet through
        {BPF_JMP | BPF_EXIT, 0, 0, 0, 0},
    };
    const int prog = bpf_prog_load(BPF_PROG_TYPE_CGROUP_SKB, "bench_empty", "GPL", insns, 2, nullptr);
    const int link = cgroup >= 0 && prog >= 0 ? bpf_link_create(prog, cgroup, BPF_CGROUP_INET_EGRESS, nullptr) : -1;
    double ns = -1;
    if (link >= 0) {
        const BpfRunStats stats;
        bpf_prog_info before{}, after{};
        uint32_t len = sizeof before;
        bpf_obj_get_info_by_fd(prog, &before, &len);
        runSender(net, kVariants[0], 1);
        len = sizeof after;
        bpf_obj_get_info_by_fd(prog, &after, &len);
        if (after.run_cnt > before.run_cnt)
            ns = double(after.run_time_ns - before.run_time_ns) / double(after.run_cnt - before.run_cnt);
        close(link);
    }
    if (prog >= 0)
        close(prog);
    if (cgroup >= 0)
        close(cgroup);
    return ns;
}

int floodSection(const Options& o)
{
    TestNetwork net;
    std::string why;
    if (!net.create(why)) {
        std::printf("flood: skipped: %s\n", why.c_str());
        return 0;
    }
    const int sinkSeconds = 3600;
    if (net.spawnInside({BENCH_UDP_FLOOD_PATH, "sink", std::to_string(kUdpSinkPort), std::to_string(sinkSeconds)}) <= 0 ||
        net.spawnInside({BENCH_BULK_PEER_PATH, "sink", std::to_string(kTcpSinkPort)}) <= 0) {
        std::printf("flood: the sinks did not start\n");
        return 1;
    }
    for (const Variant& v : kVariants)
        if (chosen(o, v))
            runSender(net, v, 1);  // warm-up

    for (const auto& [name, command] : o.monitors)
        std::printf("monitor %s: %s\n", name.c_str(), command.c_str());
    std::printf("load before the flood legs: %s\n", loadAverage().c_str());
    // figures[m][v]: monitor m under variant v; the legs without a monitor count for every m.
    const size_t legs = o.monitors.size() + 1;
    std::vector<std::vector<VariantFigures>> figures(o.monitors.size(), std::vector<VariantFigures>(std::size(kVariants)));
    int spoiled = 0;
    for (int round = 0; round < o.rounds; ++round) {
        for (size_t vi = 0; vi < std::size(kVariants); ++vi) {
            const Variant& v = kVariants[vi];
            if (!chosen(o, v))
                continue;
            for (size_t leg = 0; leg < legs; ++leg) {
                // Leg 0 is without a monitor, leg m + 1 with monitor m; the order turns from
                // round to round and variant to variant.
                const size_t which = (leg + size_t(round) + vi) % legs;
                const bool monitored = which > 0;
                const std::string label = monitored ? "with " + o.monitors[which - 1].first : "without";
                Monitored monitor;
                size_t programs = 0;
                if (monitored) {
                    const std::string& command = o.monitors[which - 1].second;
                    if (!monitor.start(command)) {
                        std::printf("the monitor did not start: %s\n", command.c_str());
                        return 1;
                    }
                    programs = monitor.waitReady();
                    if (!monitor.running()) {
                        std::printf("the monitor ended at start: %s\n", command.c_str());
                        return 1;
                    }
                }
                SenderRun run;
                for (int attempt = 0;; ++attempt) {
                    const pid_t held = monitored ? monitor.pid() : 0;
                    const size_t before = foreignPrograms(held);
                    run = runSender(net, v, o.seconds);
                    if (before + foreignPrograms(held) == 0 || attempt == 9)
                        break;
                    ++spoiled;
                    std::printf("round %d  %-30s %-16s spoiled: other flow-counting programs loaded; again\n",
                                round + 1, v.name, label.c_str());
                    std::this_thread::sleep_for(std::chrono::seconds(5));
                }
                if (monitored) {
                    VariantFigures& f = figures[which - 1][vi];
                    // The run-time statistics cost a clock read or two per run of each
                    // program: they are on only for a run of their own after the measured one.
                    const double hookSeconds = std::max(1.0, o.seconds / 2);
                    const BpfRunStats stats;
                    const auto before = BpfRunStats::sample(monitor.pid());
                    const SenderRun hookRun = runSender(net, v, hookSeconds);
                    addHookFigures(f, before, BpfRunStats::sample(monitor.pid()), hookRun, hookSeconds);
                    monitor.stop();
                    f.with.push_back(run.rate);
                    f.withPerCpu.push_back(run.perCpu);
                } else {
                    for (auto& perMonitor : figures) {
                        perMonitor[vi].without.push_back(run.rate);
                        perMonitor[vi].withoutPerCpu.push_back(run.perCpu);
                    }
                }
                const double scale = v.tcp ? 1e6 : 1e3;
                std::printf("round %d  %-30s %-16s %10.1f %s, %10.1f per CPU s%s\n", round + 1, v.name, label.c_str(),
                            run.rate / scale, v.tcp ? "MB/s" : "kpps", run.perCpu / scale,
                            monitored ? (" (" + std::to_string(programs) + " BPF programs)").c_str() : "");
                std::fflush(stdout);
            }
        }
    }
    std::printf("load after the flood legs: %s; legs run again because other flow-counting programs were "
                "loaded meanwhile: %d\n", loadAverage().c_str(), spoiled);
    const double floor = emptyProgramNsPerRun(net);
    if (floor >= 0)
        std::printf("an empty cgroup_skb program of our own measures %.1f ns per run: the floor of every hook figure\n",
                    floor);
    for (size_t m = 0; m < o.monitors.size(); ++m)
        for (size_t vi = 0; vi < std::size(kVariants); ++vi)
            if (chosen(o, kVariants[vi]))
                printVariant(kVariants[vi], figures[m][vi], o.monitors[m].first);
    return 0;
}

// ---- a burst of new flows -----------------------------------------------------------------

int burstSection()
{
    TestNetwork net;
    std::string why;
    if (!net.create(why)) {
        std::printf("burst: skipped: %s\n", why.c_str());
        return 0;
    }
    // 2^18 addresses routed to the test host, which drops them quietly.
    const int b = 40 + 4 * int(getpid() % 10);
    const std::string prefix = "10." + std::to_string(b) + ".0.0/14";
    const std::string base = "10." + std::to_string(b) + ".0.0";
    const std::string portAddr = "10." + std::to_string(b + 3) + ".0.0";
    if (std::system(("ip route add " + prefix + " via " + net.peerAddr() + " dev " + net.hostInterface()).c_str()) != 0 ||
        std::system(("ip netns exec " + net.name() + " ip route add blackhole " + prefix).c_str()) != 0) {
        std::printf("burst: cannot route %s\n", prefix.c_str());
        return 1;
    }
    const uint32_t first = ntohl(TestNetwork::netOrder(base));
    std::atomic<uint16_t> port{0};
    std::atomic<uint64_t> packets{0}, bytes{0};
    EngineHarness harness([&](const ORVANEPRO_NetIo& io, uint32_t) {
        const uint32_t remote = ntohl(io.remoteAddr);
        if (io.direction == kNetIoSend && remote - first < (1u << 18) && io.protocol == kNetIoUdp &&
            io.localPort == htons(port.load(std::memory_order_relaxed))) {
            packets.fetch_add(io.packets ? io.packets : 1, std::memory_order_relaxed);
            bytes.fetch_add(io.bytesSent, std::memory_order_relaxed);
        }
    });
    if (!harness.start(why) || !harness.openGates(net.peerAddrNetOrder(), kClosedPort)) {
        std::printf("burst: skipped: %s\n", why.empty() ? "the capture gates did not open" : why.c_str());
        return 0;
    }
    const auto s0 = harness.trace().stats();
    ChildProcess sender;
    if (!sender.start({BENCH_UDP_FLOOD_PATH, "burst", base, std::to_string(kBurstAddresses), portAddr,
                       std::to_string(kBurstFlows)})) {
        std::printf("burst: the sender did not start\n");
        return 1;
    }
    std::string line;
    int p = 0;
    if (!sender.readLine(line, 5000) || std::sscanf(line.c_str(), "port %d", &p) != 1) {
        std::printf("burst: the sender did not say its port\n");
        return 1;
    }
    port = uint16_t(p);
    unsigned long long sent = 0;
    double took = 0;
    sender.finish(60000);
    const size_t at = sender.output().find("sent ");
    if (at == std::string::npos || std::sscanf(sender.output().c_str() + at, "sent %llu seconds %lf", &sent, &took) != 2) {
        std::printf("burst: the sender failed\n");
        return 1;
    }
    // The reader delivers within a read interval or two; wait until nothing more arrives.
    uint64_t seen = 0;
    for (auto quietSince = Clock::now(); Clock::now() - quietSince < std::chrono::seconds(2);) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const uint64_t now = packets.load();
        if (now != seen)
            quietSince = Clock::now();
        seen = now;
        if (seen >= sent)
            break;
    }
    const auto s1 = harness.trace().stats();
    harness.stop();
    std::system(("ip route del " + prefix + " >/dev/null 2>&1").c_str());
    const uint64_t full = s1.source.flowMapFullPackets - s0.source.flowMapFullPackets;
    std::printf("\nburst of %ld new remote addresses and %ld new UDP flows: %llu datagrams sent in %.3f s "
                "(%.0f new flows/s), source %s\n",
                kBurstAddresses, kBurstFlows, sent, took, took > 0 ? double(sent) / took : 0.0,
                harness.trace().sourceStatus().c_str());
    std::printf("  counted %llu packets (%llu bytes), flow map full %llu packets, ring drops %llu, flow reads %llu\n",
                (unsigned long long)seen, (unsigned long long)bytes.load(), (unsigned long long)full,
                (unsigned long long)(s1.eventsDropped - s0.eventsDropped),
                (unsigned long long)(s1.source.flowReads - s0.source.flowReads));
    std::printf("RESULT burst: %llu of %llu datagrams counted, %llu not (flow map full)\n", (unsigned long long)seen,
                sent, (unsigned long long)full);
    return 0;
}

// ---- idle ----------------------------------------------------------------------------------

struct IdleFigures {
    std::vector<double> cpuPerMinute, wakeupsPerSecond;
    std::map<std::string, std::vector<double>> threadMsPerSecond, threadWakeupsPerSecond;
};

int idleSection(const Options& o)
{
    std::vector<IdleFigures> figures(o.idle.size());
    std::printf("\nidle: %.0f s per command after %.0f s of warm-up, %d rounds; load %s\n", o.idleSeconds,
                o.idleWarmup, o.rounds, loadAverage().c_str());
    for (int round = 0; round < o.rounds; ++round) {
        for (size_t i = 0; i < o.idle.size(); ++i) {
            // The commands take turns, starting with a different one each round.
            const size_t c = (i + size_t(round)) % o.idle.size();
            Monitored command;
            if (!command.start(o.idle[c].second)) {
                std::printf("cannot start %s\n", o.idle[c].second.c_str());
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::duration<double>(o.idleWarmup));
            const ProcessCost before = ProcessCost::sample(command.pid());
            const auto t0 = Clock::now();
            std::this_thread::sleep_for(std::chrono::duration<double>(o.idleSeconds));
            const ProcessCost after = ProcessCost::sample(command.pid());
            const double window = std::chrono::duration<double>(Clock::now() - t0).count();
            const bool alive = command.running();
            command.stop();
            if (!alive || after.threads.empty()) {
                std::printf("round %d  %-10s ended before the window closed: not measured\n", round + 1,
                            o.idle[c].first.c_str());
                continue;
            }
            IdleFigures& f = figures[c];
            const auto threads = costBetween(before, after);
            uint64_t ns = 0, sleeps = 0;
            for (const auto& [name, t] : threads) {
                ns += t.cpuNs;
                sleeps += t.sleeps;
                f.threadMsPerSecond[name].push_back(double(t.cpuNs) / 1e6 / window);
                f.threadWakeupsPerSecond[name].push_back(double(t.sleeps) / window);
            }
            f.cpuPerMinute.push_back(double(ns) / 1e9 * 60 / window);
            f.wakeupsPerSecond.push_back(double(sleeps) / window);
            std::printf("round %d  %-10s %.4f CPU s/min, %.1f wake-ups/s\n", round + 1, o.idle[c].first.c_str(),
                        f.cpuPerMinute.back(), f.wakeupsPerSecond.back());
            std::fflush(stdout);
        }
    }
    for (size_t c = 0; c < o.idle.size(); ++c) {
        const IdleFigures& f = figures[c];
        std::printf("\nidle %s: %s\n", o.idle[c].first.c_str(), o.idle[c].second.c_str());
        std::printf("  %-52s %10s %12s\n", "thread [where it sleeps]", "CPU ms/s", "wake-ups/s");
        for (const auto& [name, ms] : f.threadMsPerSecond)
            std::printf("  %-52s %10.3f %12.2f\n", name.c_str(), median(ms), median(f.threadWakeupsPerSecond.at(name)));
        std::printf("RESULT idle %s: %.4f CPU s per minute (%s), %.2f wake-ups per second (%s), %.0f per minute\n",
                    o.idle[c].first.c_str(), median(f.cpuPerMinute), spread(f.cpuPerMinute, "%.4f").c_str(),
                    median(f.wakeupsPerSecond), spread(f.wakeupsPerSecond, "%.2f").c_str(),
                    median(f.wakeupsPerSecond) * 60);
    }
    return 0;
}

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--rounds")
            o.rounds = std::atoi(value.c_str());
        else if (key == "--seconds")
            o.seconds = std::atof(value.c_str());
        else if (key == "--monitor") {
            // NAME=CMD, or a command alone (named after its position): a '=' before the
            // first blank names it.
            const size_t eq = value.find('='), blank = value.find(' ');
            if (eq != std::string::npos && eq < blank)
                o.monitors.emplace_back(value.substr(0, eq), value.substr(eq + 1));
            else
                o.monitors.emplace_back("monitor" + std::to_string(o.monitors.size() + 1), value);
        }
        else if (key == "--idle-seconds")
            o.idleSeconds = std::atof(value.c_str());
        else if (key == "--only")
            o.only = value;
        else if (key == "--senders")
            o.senders = value;
        else if (key == "--idle" && value.find('=') != std::string::npos)
            o.idle.emplace_back(value.substr(0, value.find('=')), value.substr(value.find('=') + 1));
        else
            return false;
    }
    if (o.monitors.empty())
        o.monitors.emplace_back("lumivex", LUMIVEX_PATH);
    if (o.idle.empty()) {
        // The console printing once at the end, and the window started in the tray when there
        // is a display to start it on.
        const int lifetime = std::max(60, int(o.idleWarmup + o.idleSeconds + 5));
        o.idle.emplace_back("console", std::string(LUMIVEX_PATH) + " --seconds " + std::to_string(lifetime));
#ifdef ORVANE_PATH
        if (std::getenv("DISPLAY"))
            o.idle.emplace_back("tray", std::string(ORVANE_PATH) + " -h");
#endif
    }
    return argc % 2 == 1 && o.rounds > 0 && o.seconds > 0 && o.idleSeconds >= 5;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: bench_kernel_cost [--rounds N] [--seconds S] [--monitor [NAME=]CMD]... "
                             "[--idle NAME=CMD]... [--idle-seconds S] [--only flood|burst|idle] [--senders udp,udp100,tcp]\n");
        return 2;
    }
    if (geteuid() != 0) {
        std::printf("skipped: needs root (network namespaces, BPF statistics)\n");
        return 0;
    }
    if (!BpfRunStats().enabled())
        std::printf("the kernel's BPF run-time statistics could not be turned on: no hook figures\n");
    std::printf("%d rounds; load %s\n", o.rounds, loadAverage().c_str());
    if ((o.only.empty() || o.only == "flood") && floodSection(o) != 0)
        return 1;
    if ((o.only.empty() || o.only == "burst") && burstSection() != 0)
        return 1;
    if ((o.only.empty() || o.only == "idle") && idleSection(o) != 0)
        return 1;
    return 0;
}
