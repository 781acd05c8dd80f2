// The QUIC Initial decoder over arbitrary datagrams, and its frame walk and CRYPTO
// reassembly over arbitrary decrypted payloads (which a mutated packet, failing
// authentication, would never reach).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/XQuicInitial.h"
#include "capture/XServerNameCheck.h"

namespace {

void check(const XQuicInitialReassembly& r)
{
    const XClientHelloName hello = r.serverName();
    if (r.contiguousBytes() > XQuicInitialReassembly::kMaxCryptoBytes ||
        (hello.status == XServerNameStatus::Found && !isAcceptableServerName(hello.serverName)))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65535)
        return 0;
    const std::vector<uint8_t> input(data, data + size);

    XQuicInitialReassembly datagram;
    datagram.feed(input.data(), input.size());
    check(datagram);

    XQuicInitialReassembly frames;
    frames.addInitialFrames(input.data(), input.size());
    check(frames);
    return 0;
}
