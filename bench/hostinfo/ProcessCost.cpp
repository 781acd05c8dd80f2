#include "ProcessCost.h"

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

std::string taskFile(pid_t pid, pid_t tid, const char* name)
{
    return "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid) + "/" + name;
}

} // namespace

ProcessCost ProcessCost::sample(pid_t pid)
{
    ProcessCost cost;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* d = opendir(dir.c_str());
    if (!d)
        return cost;
    while (dirent* e = readdir(d)) {
        const pid_t tid = pid_t(std::strtol(e->d_name, nullptr, 10));
        if (tid <= 0)
            continue;
        ThreadCost t;
        std::ifstream comm(taskFile(pid, tid, "comm"));
        std::getline(comm, t.name);
        std::ifstream wchan(taskFile(pid, tid, "wchan"));
        std::getline(wchan, t.waits);
        std::ifstream sched(taskFile(pid, tid, "schedstat"));
        unsigned long long runNs = 0;
        if (!(sched >> runNs))
            continue;
        t.cpuNs = runNs;
        std::ifstream status(taskFile(pid, tid, "status"));
        std::string line;
        while (std::getline(status, line))
            if (std::sscanf(line.c_str(), "voluntary_ctxt_switches: %llu", &runNs) == 1)
                t.sleeps = runNs;
        cost.threads[tid] = t;
    }
    closedir(d);
    return cost;
}

uint64_t ProcessCost::cpuNs() const
{
    uint64_t sum = 0;
    for (const auto& [tid, t] : threads)
        sum += t.cpuNs;
    return sum;
}

uint64_t ProcessCost::sleeps() const
{
    uint64_t sum = 0;
    for (const auto& [tid, t] : threads)
        sum += t.sleeps;
    return sum;
}

std::map<std::string, ThreadCost> costBetween(const ProcessCost& before, const ProcessCost& after)
{
    std::map<std::string, ThreadCost> byName;
    for (const auto& [tid, t] : after.threads) {
        const auto was = before.threads.find(tid);
        const std::string key = t.name + " [" + (t.waits.empty() || t.waits == "0" ? "running" : t.waits) + "]";
        ThreadCost& sum = byName[key];
        sum.name = key;
        sum.cpuNs += t.cpuNs - (was == before.threads.end() ? 0 : was->second.cpuNs);
        sum.sleeps += t.sleeps - (was == before.threads.end() ? 0 : was->second.sleeps);
    }
    return byName;
}
