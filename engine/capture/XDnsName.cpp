#include "capture/XDnsName.h"

#include <cstring>

int decodeDnsName(char* out, int outSize, const char* msg, int pos, int len)
{
    if (!out || !msg || outSize <= 0 || pos < 0 || pos >= len || msg[pos] == 0)
        return 0;
    const auto* m = reinterpret_cast<const unsigned char*>(msg);
    int n = 0;
    int pointers = 0;
    do {
        const int b = m[pos];
        if ((b & 0xC0) == 0xC0) {
            if (pos + 1 >= len || ++pointers > kMaxDnsPointers)
                break;
            pos = ((b << 8) | m[pos + 1]) & 0x3FFF;
        } else {
            if (n + b > outSize || pos + 1 + b > len)
                break;
            std::memcpy(out + n, m + pos + 1, size_t(b));
            if (n + b < outSize)
                out[n + b] = '.';
            n += b + 1;
            pos += b + 1;
        }
    } while (pos < len && m[pos] != 0);
    return n > 0 ? n - 1 : 0;
}
