// The DNS name decoder over arbitrary messages, start positions and output sizes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/XDnsName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3 || size > 4096)
        return 0;
    const int outSize = data[0] % 130;
    const int pos = data[1] % (int(size) - 1) - 1;  // -1 .. message length - 1
    const std::vector<char> msg(data + 2, data + size);
    std::vector<char> out(size_t(outSize) + 1);
    const int n = decodeDnsName(out.data(), outSize, msg.data(), pos, int(msg.size()));
    if (n < kNotAHostName || n > outSize)
        __builtin_trap();
    return 0;
}
