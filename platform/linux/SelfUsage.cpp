// This process's figures: getrusage for processor time, /proc/self/statm for memory, the start
// time from /proc/self/stat against the boot time in /proc/stat, /proc/self/fd and RLIMIT_NOFILE.
#include "platform/SelfUsage.h"
#include "platform/Processes.h"
#include "platform/linux/ProcFile.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <string>
#include <string_view>

namespace platform {

namespace {

bool parseNumber(std::string_view text, uint64_t& out)
{
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && ptr != text.data();
}

// Seconds since 1970 at boot: the "btime" line of /proc/stat.
uint64_t bootTime()
{
    std::string text;
    if (!readProcFile("/proc/stat", text, 64 * 1024))
        return 0;
    const size_t at = text.find("\nbtime ");
    uint64_t seconds = 0;
    if (at == std::string::npos || !parseNumber(std::string_view(text).substr(at + 7), seconds))
        return 0;
    return seconds;
}

int64_t openDescriptors()
{
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int64_t count = 0;
    while (const dirent* entry = ::readdir(dir))
        count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count - 1;  // the directory stream's own descriptor
}

} // namespace

bool readSelfUsage(SelfUsage& out)
{
    bool complete = true;
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) == 0) {
        out.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    } else {
        complete = false;
    }

    // statm: "size resident shared ...", in pages.
    std::string statm;
    const long page = ::sysconf(_SC_PAGESIZE);
    uint64_t size = 0, resident = 0;
    const size_t blank = readProcFile("/proc/self/statm", statm, 256) ? statm.find(' ') : std::string::npos;
    if (page > 0 && blank != std::string::npos && parseNumber(statm, size) &&
        parseNumber(std::string_view(statm).substr(blank + 1), resident)) {
        out.virtualBytes = size * uint64_t(page);
        out.residentBytes = resident * uint64_t(page);
    } else {
        complete = false;
    }

    const uint64_t started = processStartTime(uint32_t(::getpid()));
    const long ticks = ::sysconf(_SC_CLK_TCK);
    const uint64_t boot = bootTime();
    if (started != 0 && ticks > 0 && boot != 0)
        out.startTimeSeconds = double(boot) + double(started) / double(ticks);
    else
        complete = false;

    out.openFiles = openDescriptors();
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        out.maxFiles = int64_t(limit.rlim_cur);
    return complete && out.openFiles >= 0;
}

} // namespace platform
