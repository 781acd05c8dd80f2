#include "platform/LocalAddresses.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <memory>

namespace platform {

bool readLocalIpv4Addresses(std::vector<uint32_t>& out, std::string* error)
{
    out.clear();
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        if (error)
            *error = std::to_string(errno) + " " + std::strerror(errno);
        return false;
    }
    // Freed however the loop ends: growing out may throw.
    const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> list(raw, freeifaddrs);
    for (ifaddrs* it = list.get(); it; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* sin = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        out.push_back(sin->sin_addr.s_addr);
    }
    return true;
}

} // namespace platform
