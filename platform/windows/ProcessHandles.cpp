#include "platform/windows/ProcessHandles.h"

namespace platform {

namespace {

void enableDebugPrivilege()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Not an error when the token lacks it: processes of other users stay closed then.
    if (::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid))
        ::AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    ::CloseHandle(token);
}

} // namespace

ProcessHandle openProcessForQuery(uint32_t pid)
{
    static const bool debugPrivilege = (enableDebugPrivilege(), true);
    (void)debugPrivilege;
    if (pid == 0)
        return ProcessHandle();
    return ProcessHandle(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
}

bool readIoCounters(HANDLE process, ProcessIo& out)
{
    IO_COUNTERS counters{};
    if (!::GetProcessIoCounters(process, &counters))
        return false;
    out.readBytes = counters.ReadTransferCount;
    out.writeBytes = counters.WriteTransferCount;
    return true;
}

} // namespace platform
