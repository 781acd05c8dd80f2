// Feeds arbitrary payloads to the kernel trace's network event decoder. The first byte picks
// the record's header: bit 0 the class (TCP or UDP), bit 1 the pointer width, bits 2-3 the
// layout version, bits 4-5 the event type (send, receive, connect, IPv6 send).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/EtwNetRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const uint8_t kTypes[] = {platform::kEtwTypeSend, platform::kEtwTypeReceive, 12, 26};
    platform::EtwNetRecordView view;
    view.provider = data[0] & 1 ? platform::kEtwUdpIpClass : platform::kEtwTcpIpClass;
    view.pointer64 = (data[0] & 2) != 0;
    view.version = uint8_t((data[0] >> 2) & 3);
    view.opcode = kTypes[(data[0] >> 4) & 3];
    view.headerPid = 4;
    // A copy of exactly the payload's length, so any read past it is caught.
    const std::vector<uint8_t> payload(data + 1, data + size);
    view.data = payload.data();
    view.size = payload.size();
    platform::EtwNetEvent decoded;
    if (platform::decodeEtwNetRecord(view, decoded) == platform::EtwNetResult::Event)
        platform::orientByLocalAddresses(decoded, {decoded.localAddr ^ 1u, decoded.event.remoteAddr});
    return 0;
}
