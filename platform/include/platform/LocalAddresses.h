#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Every IPv4 address of every interface, in interface order, loopback included, in network
// byte order. False (with a reason in error) when the table cannot be read.
bool readLocalIpv4Addresses(std::vector<uint32_t>& out, std::string* error);

} // namespace platform
