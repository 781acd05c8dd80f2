#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/PacketDecode.h"

namespace platform {

// Holds the fragments of fragmented IPv4 datagrams until their datagram is complete, as the
// stack reassembles them before any socket sees them, so that only what reached the host's
// stack is counted: a datagram some fragment of which never arrives, or whose fragments
// overlap, is given up, as the stack gives it up, and a repeated fragment counts once. Fragments are matched by source,
// destination, protocol and IP id, in whatever order they arrive. A datagram is kept for
// keepMs at most, with at most kMaxFragments fragments; at most maxDatagrams are kept at once
// (the oldest go first when it is full). Capture thread only.
class IpFragments {
public:
    static constexpr uint64_t kKeepMs = 30000;  // the kernel's own reassembly timeout
    static constexpr size_t kMaxDatagrams = 4096;
    static constexpr size_t kMaxFragments = 256;

    // One fragment as captured, with the ports of its datagram once that is complete.
    struct Held {
        DecodedPacket packet;
        uint64_t timestamp;
    };

    IpFragments(uint64_t keepMs = kKeepMs, size_t maxDatagrams = kMaxDatagrams);

    // A fragment (FragmentPart::First or Later) captured at nowMs. When it completes its
    // datagram, every fragment of the datagram is appended to complete, in offset order, each
    // with the first fragment's ports, and true is returned.
    bool add(const DecodedPacket& fragment, uint64_t timestamp, uint64_t nowMs, std::vector<Held>& complete);
    // Gives up the datagrams kept longer than keepMs.
    void expire(uint64_t nowMs);
    // Gives up every datagram still waiting (at the end of a capture).
    void clear();

    // Datagrams waiting now.
    size_t size() const { return m_datagrams.size(); }
    // Fragments given up so far: their datagram never completed, overlapped, repeated or had
    // too many of them.
    uint64_t dropped() const { return m_dropped; }

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
    struct Datagram {
        std::vector<Held> fragments;  // by offset, none overlapping
        uint64_t firstSeenMs = 0;
        uint32_t end = 0;             // the datagram's length past its IP header, once the last is seen
        bool haveLast = false;
        bool haveFirst = false;
    };
    static Key keyOf(const DecodedPacket& p);
    enum class Filed { Added, Repeated, Spoiled };
    // Files the fragment: Repeated for a copy of one already there (it goes), Spoiled when it
    // cannot be part of the datagram (overlapping, beyond its end, too many: all of it goes).
    static Filed insert(Datagram& d, const DecodedPacket& fragment, uint64_t timestamp);
    static bool complete(const Datagram& d);
    void giveUp(std::unordered_map<Key, Datagram, KeyHash>::iterator it, size_t more = 0);
    void makeRoom(uint64_t nowMs);

    uint64_t m_keepMs;
    size_t m_maxDatagrams;
    std::unordered_map<Key, Datagram, KeyHash> m_datagrams;
    uint64_t m_dropped = 0;
};

} // namespace platform
