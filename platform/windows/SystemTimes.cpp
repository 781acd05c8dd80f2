// Machine load: processor times (GetSystemTimes) and the commit charge (GlobalMemoryStatusEx).
#include "platform/SystemTimes.h"

#include <windows.h>

namespace platform {

namespace {

uint64_t value(const FILETIME& t)
{
    return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

} // namespace

bool readCpuTimes(CpuTimes& out)
{
    // 100-nanosecond units; the kernel time includes the idle time, as the interface wants.
    FILETIME idle, kernel, user;
    if (!::GetSystemTimes(&idle, &kernel, &user))
        return false;
    out.idle = value(idle);
    out.kernel = value(kernel);
    out.user = value(user);
    return true;
}

bool readCommitCharge(CommitCharge& out)
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status) || status.ullAvailPageFile > status.ullTotalPageFile)
        return false;
    // The "page file" figures are the commit limit and what of it is still free.
    out.limit = status.ullTotalPageFile / 1024;
    out.committed = (status.ullTotalPageFile - status.ullAvailPageFile) / 1024;
    return true;
}

} // namespace platform
