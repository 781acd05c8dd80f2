// The ClientHello parser over arbitrary first payloads, with and without the record layer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/XServerNameCheck.h"
#include "capture/XTlsClientHello.h"

namespace {

void check(const XClientHelloName& hello)
{
    const bool found = hello.status == XServerNameStatus::Found;
    if (found == hello.serverName.empty() || (found && !isAcceptableServerName(hello.serverName)))
        __builtin_trap();
}

// A cut of an input whose whole names a server is Truncated or names the same server.
void checkPrefix(const XClientHelloName& whole, const XClientHelloName& prefix)
{
    if (whole.status == XServerNameStatus::Found && prefix.status != XServerNameStatus::Truncated &&
        prefix.serverName != whole.serverName)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 32768)
        return 0;
    // Copies of exactly the input's length, so any read past it is caught.
    const std::vector<uint8_t> input(data, data + size);
    const std::vector<uint8_t> cut(data, data + (size > 0 ? size * data[size - 1] / 256 : 0));
    const XClientHelloName record = parseTlsClientHello(input.data(), input.size());
    const XClientHelloName message = parseClientHelloMessage(input.data(), input.size());
    check(record);
    check(message);
    checkPrefix(record, parseTlsClientHello(cut.data(), cut.size()));
    checkPrefix(message, parseClientHelloMessage(cut.data(), cut.size()));
    return 0;
}
