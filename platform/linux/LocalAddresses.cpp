#include "platform/LocalAddresses.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>

namespace platform {

bool readLocalIpv4Addresses(std::vector<uint32_t>& out, std::string* error)
{
    out.clear();
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        if (error)
            *error = std::to_string(errno) + " " + std::strerror(errno);
        return false;
    }
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* sin = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        out.push_back(sin->sin_addr.s_addr);
    }
    freeifaddrs(list);
    return true;
}

} // namespace platform
