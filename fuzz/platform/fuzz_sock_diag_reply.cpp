// sock_diag reply datagrams into the reply reader and the socket-row conversion. The first
// byte chooses an exact lookup or a dump, and TCP or UDP; the rest is the datagram.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/linux/SockDiagReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 65537)
        return 0;
    const bool exact = data[0] & 1;
    const auto protocol = data[0] & 2 ? platform::SocketProtocol::Tcp : platform::SocketProtocol::Udp;
    // A copy of exactly the datagram's length, so any read past it is caught.
    const std::vector<uint8_t> datagram(data + 1, data + size);
    size_t messages = 0;
    platform::parseDiagReply(datagram.data(), datagram.size(), 7, exact, [&](const inet_diag_msg& m) {
        platform::SocketRow row;
        if (platform::rowOfDiagMessage(m, protocol, row) && (row.state < 0 || row.state > 12))
            __builtin_trap();
        ++messages;
        return true;
    });
    if (exact && messages > 1)
        __builtin_trap();
    return 0;
}
