#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string describe(const std::string& path, int error)
{
    return path + ": " + std::strerror(error);
}

// Writes all of data to fd; false with errno set otherwise.
bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

} // namespace

FileRead readRegularFile(const std::string& path, std::size_t maxBytes, std::string& content, bool* longer,
                         std::string* error)
{
    content.clear();
    if (longer)
        *longer = false;
    // O_NONBLOCK: opening a FIFO returns at once instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int saved = errno;
        if (saved == ENOENT || saved == ENOTDIR)
            return FileRead::Missing;
        if (error)
            *error = describe(path, saved);
        return FileRead::Failed;
    }
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileRead::NotRegular;
    }
    if (info.st_size > 0)
        content.reserve(std::min(std::size_t(info.st_size), maxBytes));
    constexpr std::size_t kChunk = 1 << 16;
    char buffer[kChunk];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, kChunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int saved = errno;
            ::close(fd);
            content.clear();
            if (error)
                *error = describe(path, saved);
            return FileRead::Failed;
        }
        if (n == 0)
            break;
        const std::size_t room = maxBytes - content.size();
        content.append(buffer, std::min(std::size_t(n), room));
        if (std::size_t(n) > room) {
            if (longer)
                *longer = true;
            break;
        }
    }
    ::close(fd);
    return FileRead::Ok;
}

bool replaceFile(const std::string& path, const std::string& contents, std::string* error)
{
    const auto fail = [&](const std::string& what, int saved) {
        if (error)
            *error = describe(what, saved);
        return false;
    };
    struct stat old{};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    std::random_device random;
    const std::string temporary = path + ".tmp" + std::to_string(random() % 1000000000u);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(temporary, errno);
    const bool written = writeAll(fd, contents.data(), contents.size()) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const int saved = errno;
    if (::close(fd) != 0 || !written) {
        ::unlink(temporary.c_str());
        return fail(temporary, written ? errno : saved);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.c_str());
        return fail(path, renameError);
    }
    // The rename itself reaches the disk with its folder.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace platform
