#pragma once

#include <bit>
#include <cstdint>
#include <string>

// Network and host byte order without the sockets headers.
namespace platform {

constexpr uint32_t byteSwap32(uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

constexpr uint16_t byteSwap16(uint16_t v)
{
    return uint16_t((v >> 8) | (v << 8));
}

constexpr uint32_t netToHost32(uint32_t v)
{
    return std::endian::native == std::endian::big ? v : byteSwap32(v);
}

constexpr uint32_t hostToNet32(uint32_t v)
{
    return netToHost32(v);
}

constexpr uint16_t netToHost16(uint16_t v)
{
    return std::endian::native == std::endian::big ? v : byteSwap16(v);
}

constexpr uint16_t hostToNet16(uint16_t v)
{
    return netToHost16(v);
}

// Dotted text of an IPv4 address given in host order ("10.0.0.1").
inline std::string dottedIpv4(uint32_t hostOrder)
{
    return std::to_string(hostOrder >> 24) + '.' + std::to_string((hostOrder >> 16) & 0xFF) + '.' +
           std::to_string((hostOrder >> 8) & 0xFF) + '.' + std::to_string(hostOrder & 0xFF);
}

} // namespace platform
