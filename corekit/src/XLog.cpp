#include "corekit/XLog.h"

#include <chrono>
#include <ctime>

#ifdef _WIN32
#include <cstdio>
#include <filesystem>
#include <system_error>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

XLog* XLog::m_instance = nullptr;

XLog* XLog::Instance()
{
    static std::once_flag once;
    std::call_once(once, [] { m_instance = new XLog(); });
    return m_instance;
}

XLog::~XLog()
{
    if (m_file)
        std::fclose(m_file);
}

namespace {

// Opens a regular file for appending, created when missing. Anything else is refused without
// waiting: opening a FIFO would block until a reader comes, a device may never take the lines.
std::FILE* openRegularForAppend(const std::string& path)
{
#ifdef _WIN32
    // The path is UTF-8: std::fopen() would read it in the ANSI code page.
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return nullptr;
    return ::_wfopen(file.c_str(), L"a");
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::fcntl(fd, F_SETFL, O_APPEND) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* f = ::fdopen(fd, "a");
    if (!f)
        ::close(fd);
    return f;
#endif
}

} // namespace

bool XLog::setLogFile(const std::string& path)
{
    std::FILE* f = openRegularForAppend(path);
    if (!f)
        return false;
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_file)
        std::fclose(m_file);
    m_file = f;
    return true;
}

void XLog::setMinLevel(int level)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_minLevel = level;
}

void XLog::setEchoToStderr(bool echo)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    m_echo = echo;
}

void XLog::debug(int level, const std::string& text)
{
    Instance()->write(level, text);
}

void XLog::debug(int level, const std::string& text, const std::string& detail)
{
    Instance()->write(level, text + detail);
}

void XLog::debug(int level, const std::string& text, unsigned long value)
{
    Instance()->write(level, text + std::to_string(value));
}

void XLog::write(int level, const std::string& line)
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const int millis = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &secs);
#else
    localtime_r(&secs, &parts);
#endif
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, millis);

    std::lock_guard<std::mutex> guard(m_mutex);
    if (level < m_minLevel)
        return;
    if (m_echo)
        std::fprintf(stderr, "%s [%d] %s\n", stamp, level, line.c_str());
    if (m_file) {
        std::fprintf(m_file, "%s [%d] %s\n", stamp, level, line.c_str());
        std::fflush(m_file);
    }
}
