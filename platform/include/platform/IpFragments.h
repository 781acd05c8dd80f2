#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "platform/PacketDecode.h"

namespace platform {

// Gives the later fragments of a fragmented IPv4 datagram the ports of its first fragment, so
// that every fragment is counted for the datagram's flow. Datagrams are told apart by source,
// destination, protocol and IP id; each is remembered until its last fragment is seen or for
// keepMs at most, and at most maxDatagrams at once (the oldest go first when it is full).
// Capture thread only.
class IpFragments {
public:
    static constexpr uint64_t kKeepMs = 30000;  // the kernel's own reassembly timeout
    static constexpr size_t kMaxDatagrams = 8192;

    IpFragments(uint64_t keepMs = kKeepMs, size_t maxDatagrams = kMaxDatagrams);

    // A first fragment (FragmentPart::First): remembers its ports.
    void onFirst(const DecodedPacket& first, uint64_t nowMs);
    // A later fragment (FragmentPart::Later): fills in the ports of its first fragment and
    // returns true, or leaves them 0 and returns false when that was not seen.
    bool onLater(DecodedPacket& later, uint64_t nowMs);

    size_t size() const { return m_datagrams.size(); }

private:
    struct Key {
        uint32_t localAddr;
        uint32_t remoteAddr;
        uint16_t ipId;
        uint8_t protocol;
        uint8_t direction;
        bool operator==(const Key& o) const
        {
            return localAddr == o.localAddr && remoteAddr == o.remoteAddr && ipId == o.ipId &&
                   protocol == o.protocol && direction == o.direction;
        }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    struct Ports {
        uint16_t localPort;
        uint16_t remotePort;
        uint64_t seenMs;
    };
    static Key keyOf(const DecodedPacket& p);
    void makeRoom(uint64_t nowMs);

    uint64_t m_keepMs;
    size_t m_maxDatagrams;
    std::unordered_map<Key, Ports, KeyHash> m_datagrams;
};

} // namespace platform
