#include "ThreadCpu.h"

#include <dirent.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

uint64_t toNs(const timeval& tv)
{
    return uint64_t(tv.tv_sec) * 1000000000ull + uint64_t(tv.tv_usec) * 1000ull;
}

// The kernel's per-thread scheduler clock of any thread of this process: the id glibc's
// pthread_getcpuclockid builds, made from the thread id (CPUCLOCK_SCHED | CPUCLOCK_PERTHREAD).
bool threadCpuNs(pid_t tid, uint64_t& ns)
{
    const clockid_t clock = clockid_t((~unsigned(tid) << 3) | 6u);
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0)
        return false;
    ns = uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
    return true;
}

// voluntary_ctxt_switches of /proc/self/task/<tid>/status: how often the thread went to sleep.
uint64_t voluntarySwitches(pid_t tid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/status", int(tid));
    FILE* f = std::fopen(path, "r");
    if (!f)
        return 0;
    char line[256];
    unsigned long long count = 0;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "voluntary_ctxt_switches: %llu", &count) == 1)
            break;
    std::fclose(f);
    return count;
}

} // namespace

pid_t currentThreadId()
{
    return pid_t(::syscall(SYS_gettid));
}

CpuSample sampleCpu()
{
    CpuSample s;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    s.userNs = toNs(usage.ru_utime);
    s.systemNs = toNs(usage.ru_stime);
    s.processNs = s.userNs + s.systemNs;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* e = readdir(dir)) {
            if (e->d_name[0] == '.')
                continue;
            const pid_t tid = pid_t(std::strtol(e->d_name, nullptr, 10));
            uint64_t ns = 0;
            if (tid > 0 && threadCpuNs(tid, ns)) {
                s.threadNs[tid] = ns;
                s.threadSwitches[tid] = voluntarySwitches(tid);
            }
        }
        closedir(dir);
    }
    return s;
}
