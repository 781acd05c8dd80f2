#include "platform/Processes.h"
#include "platform/linux/ProcFile.h"
#include "platform/linux/ProcTables.h"
#include "platform/linux/ProcessNames.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

std::string procPath(uint32_t pid, const char* leaf)
{
    return "/proc/" + std::to_string(pid) + "/" + leaf;
}

// A small /proc file; empty when it cannot be read.
std::string readSmallFile(const std::string& path, size_t limit = 4096)
{
    std::string text;
    readProcFile(path, text, limit);
    return text;
}

bool parseU64(std::string_view s, uint64_t& out)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && ptr != s.data();
}

} // namespace

std::string processImagePath(uint32_t pid)
{
    if (pid == 0)
        return {};
    char buf[4096];
    const ssize_t n = ::readlink(procPath(pid, "exe").c_str(), buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return imagePathOfExeLink(std::string_view(buf, size_t(n)));
}

std::string processImageName(uint32_t pid)
{
    if (pid == 0)
        return {};
    const std::string path = processImagePath(pid);
    if (!path.empty())
        return std::string(baseNameOf(path));
    // Without the right to follow another user's exe link: comm, completed from cmdline.
    const std::string comm = readSmallFile(procPath(pid, "comm"), 64);
    const std::string cmdline = comm.size() >= 15 ? readSmallFile(procPath(pid, "cmdline"), 4096) : std::string();
    return nameFromCommAndCmdline(comm, cmdline);
}

std::vector<uint32_t> listProcessIds()
{
    std::vector<uint32_t> pids;
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return pids;
    while (dirent* entry = ::readdir(dir)) {
        uint32_t pid = 0;
        const char* name = entry->d_name;
        const char* end = name + std::strlen(name);
        const auto [ptr, ec] = std::from_chars(name, end, pid);
        if (ec == std::errc() && ptr == end && pid > 0)
            pids.push_back(pid);
    }
    ::closedir(dir);
    std::sort(pids.begin(), pids.end());
    return pids;
}

bool parseProcessIo(std::string_view text, ProcessIo& out)
{
    bool haveRead = false;
    bool haveWrite = false;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, colon);
        const std::string_view value = line.substr(colon + 1);
        if (key == "read_bytes")
            haveRead = parseU64(value, out.readBytes);
        else if (key == "write_bytes")
            haveWrite = parseU64(value, out.writeBytes);
    }
    return haveRead && haveWrite;
}

bool readProcessIo(uint32_t pid, ProcessIo& out)
{
    const std::string text = readSmallFile(procPath(pid, "io"));
    return !text.empty() && parseProcessIo(text, out);
}

bool parseProcessStartTime(std::string_view text, uint64_t& out)
{
    const size_t close = text.rfind(')');
    if (close == std::string_view::npos)
        return false;
    text.remove_prefix(close + 1);
    // Fields 3 (state) to 22 (start time) follow the name, one blank before each.
    constexpr int kStartField = 22 - 2;
    for (int field = 1; field <= kStartField; ++field) {
        if (text.empty() || text.front() != ' ')
            return false;
        text.remove_prefix(1);
        const size_t end = std::min(text.find(' '), text.size());
        if (end == 0)
            return false;
        if (field == kStartField) {
            const auto [ptr, ec] = std::from_chars(text.data(), text.data() + end, out);
            return ec == std::errc() && ptr == text.data() + end;
        }
        text.remove_prefix(end);
    }
    return false;
}

uint64_t processStartTime(uint32_t pid)
{
    if (pid == 0)
        return 0;
    uint64_t start = 0;
    const std::string text = readSmallFile(procPath(pid, "stat"), 1024);
    return !text.empty() && parseProcessStartTime(text, start) ? start : 0;
}

bool isPrivileged()
{
    if (::geteuid() == 0)
        return true;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    auto has = [&](int cap) { return (data[cap / 32].effective & (1u << (cap % 32))) != 0; };
    return has(CAP_NET_RAW) && has(CAP_DAC_READ_SEARCH) && has(CAP_SYS_PTRACE);
}

} // namespace platform
