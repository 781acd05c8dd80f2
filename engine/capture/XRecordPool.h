#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "capengine/XCounterRecords.h"

// What the per-address counters keep beside each record: the interval's bytes and packets of
// the first (process, remote port class) that used the address since the last drain. Lies
// next to its record, so counting it costs no lookup of its own.
struct XLedgerCell {
    uint32_t pid = 0;
    uint16_t portClass = 0;
    bool inUse = false;  // holds counts of this interval
    uint64_t bytes[2] = {0, 0};
    uint64_t packets[2] = {0, 0};
};

// Counter records carved from blocks of 2048 that never move, so a record's address stays
// valid until releaseAll(). Each record has its ledger cell beside it (cellOf()). Not
// thread-safe: the owning counter guards it with its lock.
class XRecordPool {
public:
    static constexpr int kBlockRecords = 2048;

    XRecordPool();

    // The next free record (contents unspecified, its cell empty), or null when a new block
    // cannot be had; such failures are counted.
    _X_R_PACKETCOUNTER* take();
    // The ledger cell of a record this pool handed out.
    static XLedgerCell& cellOf(_X_R_PACKETCOUNTER* record)
    {
        return reinterpret_cast<Slot*>(record)->cell;
    }
    // Returns the record just taken (it could not be used); counted as a failure.
    void giveBackLast();
    // Forgets every record and frees every block.
    void releaseAll();

    int blockCount() const { return int(m_blocks.size()); }
    // The size of one block's allocation.
    static constexpr size_t blockBytes() { return sizeof(Slot) * kBlockRecords; }
    // Records handed out, over all blocks.
    int recordCount() const;
    // Caps the number of blocks (0 = no cap); a take() beyond the cap fails like an
    // allocation failure.
    void setMaxBlocks(int maxBlocks) { m_maxBlocks = maxBlocks; }
    // Any thread: records that could not be handed out.
    uint64_t failures() const { return m_failures.load(std::memory_order_relaxed); }

    // Visits every record handed out, block by block in allocation order, until f returns
    // false. Returns false when f stopped the walk.
    template <class F>
    bool forEach(F&& f) const
    {
        for (size_t b = 0; b < m_blocks.size(); ++b) {
            const int used = (b + 1 == m_blocks.size()) ? m_used : kBlockRecords;
            Slot* block = m_blocks[b].get();
            for (int i = 0; i < used; ++i)
                if (!f(&block[i].record))
                    return false;
        }
        return true;
    }

private:
    struct Slot {
        _X_R_PACKETCOUNTER record;  // first: a record's address is its slot's
        XLedgerCell cell;
    };
    static_assert(std::is_standard_layout_v<Slot>);

    std::vector<std::unique_ptr<Slot[]>> m_blocks;
    int m_used = 0;  // records taken from the last block
    int m_maxBlocks = 0;
    std::atomic<uint64_t> m_failures{0};
};
