#include "platform/InstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

InstanceLock::~InstanceLock()
{
    release();
}

InstanceLock::Result InstanceLock::acquire(const std::string& path, std::string* error)
{
    release();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return Result::Unavailable;
    }
    // A lock file someone else made (or a FIFO, a device) decides nothing about this user's
    // copies.
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        if (error)
            *error = path + ": not a regular file of this user's own";
        return Result::Unavailable;
    }
    int rc;
    do
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int saved = errno;
        ::close(fd);
        if (saved == EWOULDBLOCK)
            return Result::HeldElsewhere;
        if (error)
            *error = path + ": " + std::strerror(saved);
        return Result::Unavailable;
    }
    m_fd = fd;
    return Result::Acquired;
}

void InstanceLock::release()
{
    if (m_fd >= 0) {
        ::close(m_fd);  // closing the only descriptor drops the lock
        m_fd = -1;
    }
}

namespace {

// Whether path is a folder (not a link to one) of this user's own that nobody else may write
// to; with create, it is made first when missing.
bool privateFolder(const std::string& path, bool create, std::string& problem)
{
    if (path.empty() || path[0] != '/')
        return false;
    if (create && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info{};
    if (::lstat(path.c_str(), &info) != 0) {
        problem = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        problem = path + " is not a private folder of this user";
        return false;
    }
    return true;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

std::string instanceLockPath(const std::string& name, std::string* problem)
{
    std::string why;
    const std::string file = "/" + name + ".lock";
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (privateFolder(runtime, false, why))
        return runtime + file;
    const std::string tmp = environment("TMPDIR");
    const std::string perUser = (!tmp.empty() && tmp[0] == '/' ? tmp : "/tmp") + "/lumivex-" + std::to_string(::geteuid());
    if (privateFolder(perUser, true, why))
        return perUser + file;
    const std::string cacheHome = environment("XDG_CACHE_HOME");
    const std::string home = environment("HOME");
    const std::string cache = !cacheHome.empty() && cacheHome[0] == '/' ? cacheHome : home.empty() ? "" : home + "/.cache";
    if (!cache.empty()) {
        ::mkdir(cache.c_str(), 0700);
        if (privateFolder(cache + "/lumivex", true, why))
            return cache + "/lumivex" + file;
    }
    if (problem)
        *problem = "no private folder for the instance lock (" + why + ")";
    return {};
}

} // namespace platform
