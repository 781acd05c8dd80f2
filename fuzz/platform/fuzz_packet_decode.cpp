// Feeds arbitrary frames to the capture decoder; the first byte picks the link type.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/PacketDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int link = data[0] & 1 ? platform::kLinkLinuxSll2 : platform::kLinkLinuxSll;
    // A copy of exactly the frame's length, so any read past it is caught.
    std::vector<uint8_t> frame(data + 1, data + size);
    platform::DecodedPacket packet;
    platform::decodeCapturedPacket(link, frame.data(), frame.size(), frame.size() + (data[0] >> 1), packet);
    return 0;
}
