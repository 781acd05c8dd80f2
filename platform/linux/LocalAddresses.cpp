#include "platform/LocalAddresses.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

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

std::vector<uint32_t> hostNameIpv4Addresses(int max)
{
    std::vector<uint32_t> out;
    char name[256] = {};
    if (max <= 0 || gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return out;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* raw = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &raw) != 0)
        return out;
    const std::unique_ptr<addrinfo, void (*)(addrinfo*)> answers(raw, freeaddrinfo);
    for (addrinfo* it = answers.get(); it && int(out.size()) < max; it = it->ai_next) {
        if (it->ai_family == AF_INET && it->ai_addr)
            out.push_back(reinterpret_cast<const sockaddr_in*>(it->ai_addr)->sin_addr.s_addr);
    }
    return out;
}

} // namespace platform
