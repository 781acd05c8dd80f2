// This process's figures: GetProcessTimes, GetProcessMemoryInfo and GetProcessHandleCount.
#include "platform/SelfUsage.h"

#include <windows.h>
#include <psapi.h>

namespace platform {

namespace {

uint64_t value(const FILETIME& t)
{
    return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

// 100-nanosecond intervals between 1601 and 1970.
constexpr uint64_t kEpochOffset = 116444736000000000ull;

} // namespace

bool readSelfUsage(SelfUsage& out)
{
    HANDLE self = ::GetCurrentProcess();
    bool complete = true;
    FILETIME created, exited, kernel, user;
    if (::GetProcessTimes(self, &created, &exited, &kernel, &user)) {
        out.cpuSeconds = double(value(kernel) + value(user)) / 1e7;
        if (value(created) > kEpochOffset)
            out.startTimeSeconds = double(value(created) - kEpochOffset) / 1e7;
    } else {
        complete = false;
    }
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        out.residentBytes = memory.WorkingSetSize;
        out.virtualBytes = memory.PrivateUsage;
    } else {
        complete = false;
    }
    DWORD handles = 0;
    if (::GetProcessHandleCount(self, &handles))
        out.openFiles = int64_t(handles);
    return complete;
}

} // namespace platform
