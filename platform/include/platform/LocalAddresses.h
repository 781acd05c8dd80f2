#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Every IPv4 address of every interface, in interface order, loopback included, in network
// byte order. False (with a reason in error) when the table cannot be read.
bool readLocalIpv4Addresses(std::vector<uint32_t>& out, std::string* error);

// The IPv4 addresses the host's own name resolves to (network order), at most max, in the
// resolver's order. Empty when the name does not resolve. May wait for the resolver.
std::vector<uint32_t> hostNameIpv4Addresses(int max);

} // namespace platform
