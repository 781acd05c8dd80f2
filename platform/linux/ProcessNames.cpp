#include "platform/linux/ProcessNames.h"

namespace platform {

std::string imagePathOfExeLink(std::string_view link)
{
    static constexpr std::string_view kDeleted = " (deleted)";
    if (link.size() > kDeleted.size() && link.ends_with(kDeleted))
        link.remove_suffix(kDeleted.size());
    return std::string(link);
}

std::string_view baseNameOf(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string nameFromCommAndCmdline(std::string_view comm, std::string_view cmdline)
{
    constexpr size_t kCommLimit = 15;
    while (!comm.empty() && (comm.back() == '\n' || comm.back() == '\0'))
        comm.remove_suffix(1);
    if (comm.size() == kCommLimit) {
        const std::string_view base = baseNameOf(cmdline.substr(0, cmdline.find('\0')));
        if (base.size() > comm.size() && base.starts_with(comm))
            return std::string(base);
    }
    return std::string(comm);
}

} // namespace platform
