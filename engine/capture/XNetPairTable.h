#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Network bytes and packets of one drain interval per (process, remote host, protocol,
// remote port class): what each network event counts, kept so that the per-process totals
// and the per-(program, host) ledger come from the same numbers.
//
// Bounded: at most kMaxPairs entries with a host of their own per interval. Beyond that an
// event's bytes go to its process's entry for remote address 0 ("other hosts", one per
// process and protocol); when kMaxFolds of those exist as well, to the entry of pid 0 (no
// process). Every byte stays counted; add() says which fold it took. Not locked: the owner
// guards it.
struct XNetPair {
    uint32_t pid = 0;            // 0: no process owns the traffic (or processes folded together)
    uint32_t remoteAddress = 0;  // host order; 0: hosts folded together
    uint8_t protocol = 0;        // IP protocol number: 6 TCP, 17 UDP
    uint16_t portClass = 0;      // xledgerPortClass() of the events
    uint64_t bytes[2] = {0, 0};  // 0 = received, 1 = sent
    uint64_t packets[2] = {0, 0};
};

class XNetPairTable {
public:
    static constexpr size_t kMaxPairs = 65536;
    static constexpr size_t kMaxFolds = 4096;

    enum class Fold { None, Host, Process };

    XNetPairTable();

    // direction 0 = received, 1 = sent (the caller passes nothing else).
    Fold add(uint32_t pid, uint32_t remoteAddress, uint8_t protocol, uint16_t portClass, int direction,
             uint64_t bytes, uint64_t packets);

    // Replaces out with the interval's entries, in the order they appeared, and starts a new
    // interval.
    void drain(std::vector<XNetPair>& out);
    size_t size() const { return m_used.size(); }
    size_t capacity() const { return m_slots.size(); }

private:
    // An open-addressing table (linear probing, at most 70 % full): one event costs one
    // probe of contiguous memory on the parser thread's hot path.
    struct Slot {
        uint64_t pidAddress = 0;  // pid << 32 | remote address
        uint32_t kind = 0;        // protocol << 16 | port class
        bool used = false;
        uint64_t bytes[2] = {0, 0};
        uint64_t packets[2] = {0, 0};
    };
    static constexpr size_t kMinSlots = 1024;

    Slot* find(uint64_t pidAddress, uint32_t kind, bool& found);
    Slot* insert(Slot* at, uint64_t pidAddress, uint32_t kind);
    void resize(size_t slotCount);

    std::vector<Slot> m_slots;     // a power of two
    std::vector<uint32_t> m_used;  // indices of the slots in use, in order of use
    int m_shift = 0;               // 64 - log2(slots)
    size_t m_folds = 0;            // entries of remote address 0 made by the bound
};
