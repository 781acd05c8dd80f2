#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace platform {

// The ends of one flow as a captured packet shows them (network byte order).
struct FlowKey {
    uint8_t protocol = 0;   // kProtoTcp or kProtoUdp
    uint32_t localAddr = 0;
    uint16_t localPort = 0;
    uint32_t remoteAddr = 0;
    uint16_t remotePort = 0;

    bool operator==(const FlowKey& o) const
    {
        return protocol == o.protocol && localAddr == o.localAddr && localPort == o.localPort &&
               remoteAddr == o.remoteAddr && remotePort == o.remotePort;
    }
};

struct FlowKeyHash {
    size_t operator()(const FlowKey& k) const
    {
        uint64_t a = (uint64_t(k.remoteAddr) << 32) | k.localAddr;
        uint64_t b = (uint64_t(k.protocol) << 32) | (uint64_t(k.localPort) << 16) | k.remotePort;
        a ^= b * 0x9E3779B97F4A7C15ull;
        a ^= a >> 29;
        return size_t(a * 0xBF58476D1CE4E5B9ull);
    }
};

struct FlowOwnerAnswer {
    FlowKey key;
    uint32_t pid = 0;   // 0: no local socket owns the flow
};

// Tells which process owns a flow. Requests are answered asynchronously, off the capture
// thread: request() must not block, answers come back through takeAnswers(). The sock_diag
// resolver is the Linux implementation; a kernel-tracepoint source could fill the same role.
class FlowOwnerSource {
public:
    virtual ~FlowOwnerSource() = default;
    virtual bool start() = 0;
    virtual void stop() = 0;
    // Queues a lookup; false when the request queue is full (the caller counts it).
    virtual bool request(const FlowKey& key) = 0;
    // The same for a connection being opened: what can only be found while the connection is
    // young is found now, on the calling thread. A fast TCP exchange reaches TIME_WAIT within
    // a millisecond, and from then on its socket is in no kernel table, although the program
    // may hold it open for much longer.
    virtual bool requestUrgent(const FlowKey& key) { return request(key); }
    // Appends every answer that arrived since the last call.
    virtual void takeAnswers(std::vector<FlowOwnerAnswer>& out) = 0;
};

} // namespace platform
