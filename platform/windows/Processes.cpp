// Processes through Toolhelp32 and the process functions: image paths and names, the
// process list, I/O counters and whether this process runs elevated.
#include "platform/Processes.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <unordered_map>

#include "platform/windows/ProcessHandles.h"
#include "platform/windows/WideText.h"

namespace platform {

namespace {

// The executable names of a Toolhelp32 snapshot: the names of processes this one may not
// open (services of other users, protected processes). A snapshot costs milliseconds, so one
// is taken at most once a second, when a name is missing.
class SnapshotNames {
public:
    std::string nameOf(uint32_t pid)
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        auto it = m_names.find(pid);
        const auto now = std::chrono::steady_clock::now();
        if (it == m_names.end() && now - m_taken >= std::chrono::seconds(1)) {
            refresh();
            m_taken = now;
            it = m_names.find(pid);
        }
        return it == m_names.end() ? std::string() : it->second;
    }

private:
    void refresh()
    {
        m_names.clear();
        const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE)
            return;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok; ok = ::Process32NextW(snapshot, &entry))
            m_names[entry.th32ProcessID] = utf8FromWide(entry.szExeFile);
        ::CloseHandle(snapshot);
    }

    std::mutex m_mutex;
    std::unordered_map<uint32_t, std::string> m_names;
    std::chrono::steady_clock::time_point m_taken{};
};

std::string baseName(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string processImagePath(uint32_t pid)
{
    if (pid == 0)
        return {};
    const ProcessHandle process = openProcessForQuery(pid);
    if (!process)
        return {};
    std::wstring path(32768, L'\0');
    DWORD size = DWORD(path.size());
    if (!::QueryFullProcessImageNameW(process.get(), 0, path.data(), &size))
        return {};
    return utf8FromWide(std::wstring_view(path.data(), size));
}

std::string processImageName(uint32_t pid)
{
    // pid 0 is the idle process: no program.
    if (pid == 0)
        return {};
    const std::string path = processImagePath(pid);
    if (!path.empty())
        return baseName(path);
    static SnapshotNames snapshot;
    return snapshot.nameOf(pid);
}

std::vector<uint32_t> listProcessIds()
{
    std::vector<uint32_t> pids;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return pids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok; ok = ::Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID != 0)
            pids.push_back(entry.th32ProcessID);
    ::CloseHandle(snapshot);
    std::sort(pids.begin(), pids.end());
    return pids;
}

bool readProcessIo(uint32_t pid, ProcessIo& out)
{
    const ProcessHandle process = openProcessForQuery(pid);
    return process && readIoCounters(process.get(), out);
}

uint64_t processStartTime(uint32_t pid)
{
    // The creation time (FILETIME scale): with the pid it names one process for good.
    const ProcessHandle process = openProcessForQuery(pid);
    FILETIME created, exited, kernel, user;
    if (!process || !::GetProcessTimes(process.get(), &created, &exited, &kernel, &user))
        return 0;
    return uint64_t(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

bool isPrivileged()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                          elevation.TokenIsElevated != 0;
    ::CloseHandle(token);
    return elevated;
}

} // namespace platform
