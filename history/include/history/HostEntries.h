#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace history {

// What one program exchanged with one host (one entry of the hosts dictionary: an address
// with the DNS name and location it had then) over one protocol and remote port class, in
// one bucket. Host 0 stands for "other hosts": everything folded together beyond the
// per-program bound, its bytes kept.
struct HostEntry {
    uint32_t host = 0;
    uint32_t service = 0;  // serviceCode(): remote port class and protocol
    uint64_t received = 0;
    uint64_t sent = 0;
    uint64_t packetsReceived = 0;
    uint64_t packetsSent = 0;

    uint64_t bytes() const { return received + sent; }
};

constexpr uint32_t kOtherHosts = 0;

// Protocol codes kept in a service code: 1 TCP, 2 UDP, 3 any other, 0 none (other hosts).
uint32_t serviceCode(uint8_t ipProtocol, uint16_t portClass);
uint8_t serviceProtocol(uint32_t service);   // IP protocol number, 0 when none or other
uint16_t servicePort(uint32_t service);

// The entries of a bucket row are kept as one blob, ordered by host and then service, each
// as unsigned LEB128 numbers:
//   (host - previous entry's host) * 2 + 1 when the service differs from the previous
//     entry's (which starts as 0), + 0 when it is the same;
//   when it differs, the zigzag-coded difference of the services;
//   received, sent, packets received, packets sent.
// About ten bytes per entry, where a row per entry costs thirty and more.
std::string encodeEntries(const std::vector<HostEntry>& entries);
// False when blob is not such a sequence (cut short, a number longer than 64 bits, entries
// out of order or repeated); out then holds nothing. Never reads outside blob.
bool decodeEntries(std::string_view blob, std::vector<HostEntry>& out);

// Adds add into into; both ordered as encodeEntries() keeps them. Sums are held at kMaxCount.
void mergeEntries(std::vector<HostEntry>& into, const std::vector<HostEntry>& add);

// Keeps the maxHosts hosts with the most bytes (ties: lower host) and folds every entry of the
// others, and what was folded before, into one "other hosts" entry. Returns the number of
// hosts folded. maxHosts <= 0 folds nothing.
int foldHosts(std::vector<HostEntry>& entries, int maxHosts);

// Sums of the entries.
HostEntry totalOf(const std::vector<HostEntry>& entries);

// The largest count kept: SQLite integers are signed 64-bit.
constexpr uint64_t kMaxCount = uint64_t(INT64_MAX);

// a + b, held at kMaxCount rather than wrapping.
inline uint64_t addCount(uint64_t a, uint64_t b)
{
    if (a > kMaxCount)
        a = kMaxCount;
    return b >= kMaxCount - a ? kMaxCount : a + b;
}

} // namespace history
