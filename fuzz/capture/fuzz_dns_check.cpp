// The listener's keep-or-drop test over whole IPv4 datagrams as a raw socket hands them over,
// received (the first byte's low bit clear) or sent.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/XLocalListener.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65535)
        return 0;
    for (const bool outgoing : {false, true}) {
        // A copy of exactly the datagram's length, so any read past it is caught.
        const std::vector<char> datagram(data, data + size);
        const bool kept = XLocalListener::checkDNSPacket(datagram.data(), int(datagram.size()), outgoing);
        if (kept) {
            const size_t h = size_t(data[0] & 0x0F) * 4;
            const size_t port = outgoing ? h + 2 : h;
            if (size <= 20 || data[9] != 17 || size < h + 8 || data[port] != 0 || data[port + 1] != 53)
                __builtin_trap();
        }
    }
    return 0;
}
