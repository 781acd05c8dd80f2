// /proc/pid/fd link texts into the "socket:[N]" reader.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/linux/InodeOwners.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the link's length, as readlink leaves it (no terminator).
    const std::vector<char> link(data, data + size);
    const uint64_t inode = platform::socketInodeOfLink(link.data(), link.size());
    if (inode != 0) {
        if (size < 10 || std::memcmp(link.data(), "socket:[", 8) != 0 || link.back() != ']')
            __builtin_trap();
        for (size_t i = 8; i + 1 < size; ++i)
            if (!std::isdigit(static_cast<unsigned char>(link[i])))
                __builtin_trap();
    }
    return 0;
}
