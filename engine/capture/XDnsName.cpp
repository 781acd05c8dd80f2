#include "capture/XDnsName.h"

#include <cstring>

int decodeDnsName(char* out, int outSize, const char* msg, int pos, int len)
{
    if (!out || !msg || outSize <= 0 || pos < 0 || pos >= len || msg[pos] == 0)
        return 0;
    const auto* m = reinterpret_cast<const unsigned char*>(msg);
    int n = 0;         // characters written, each label with its dot
    int wire = 1;      // the name's length on the wire, counting its final zero
    int pointers = 0;
    bool full = false;  // a label did not fit: the rest is walked but not copied
    bool hostName = true;
    for (;;) {
        if (pos >= len)
            return kMalformedDnsName;
        const int b = m[pos];
        if (b == 0)
            break;
        if ((b & 0xC0) == 0xC0) {
            if (pos + 1 >= len || ++pointers > kMaxDnsPointers)
                return kMalformedDnsName;
            pos = ((b << 8) | m[pos + 1]) & 0x3FFF;
            continue;
        }
        wire += b + 1;
        if (b > kMaxDnsLabel || wire > kMaxDnsNameWire || pos + 1 + b > len)
            return kMalformedDnsName;
        for (int i = 1; i <= b; ++i)
            hostName = hostName && isHostNameByte(m[pos + i]);
        if (!full && n + b <= outSize) {
            std::memcpy(out + n, m + pos + 1, size_t(b));
            if (n + b < outSize)
                out[n + b] = '.';
            n += b + 1;
        } else {
            full = true;
        }
        pos += b + 1;
    }
    if (!hostName)
        return kNotAHostName;
    return n > 0 ? n - 1 : 0;
}

bool isHostName(std::string_view dotted)
{
    if (dotted.empty() || dotted.size() > size_t(kMaxHostNameText))
        return false;
    size_t label = 0;
    for (const char c : dotted) {
        if (c == '.') {
            if (label == 0)
                return false;
            label = 0;
        } else if (!isHostNameByte(static_cast<unsigned char>(c)) || ++label > size_t(kMaxDnsLabel)) {
            return false;
        }
    }
    return label != 0;
}
