#include "platform/linux/ProcFile.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {

bool readProcFile(const std::string& path, std::string& text, size_t limit)
{
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[65536];
    while (text.size() < limit) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, size_t(n));
    }
    ::close(fd);
    return true;
}

} // namespace platform
