#include "platform/LocalAddresses.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <vector>

#include "platform/windows/WideText.h"

namespace platform {

bool readLocalIpv4Addresses(std::vector<uint32_t>& out, std::string* error)
{
    out.clear();
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER |
                             GAA_FLAG_SKIP_FRIENDLY_NAME;
    // 15 KB holds a usual machine's table; the table may grow between the calls.
    ULONG size = 15 * 1024;
    std::vector<unsigned char> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        rc = ::GetAdaptersAddresses(AF_INET, kFlags, nullptr,
                                    reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (rc == ERROR_NO_DATA)
        return true;  // no adapter has an IPv4 address
    if (rc != NO_ERROR) {
        if (error)
            *error = "GetAdaptersAddresses: " + systemErrorText(rc);
        return false;
    }
    for (auto* a = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); a; a = a->Next) {
        for (const IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u; u = u->Next) {
            const SOCKADDR* sa = u->Address.lpSockaddr;
            if (sa && sa->sa_family == AF_INET)
                out.push_back(reinterpret_cast<const sockaddr_in*>(sa)->sin_addr.s_addr);
        }
    }
    return true;
}

} // namespace platform
