#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "capengine/XCounterRecords.h"

// Counter records carved from blocks of 2048 that never move, so a record's address stays
// valid until releaseAll(). Not thread-safe: the owning counter guards it with its lock.
class XRecordPool {
public:
    static constexpr int kBlockRecords = 2048;

    XRecordPool();

    // The next free record (contents unspecified), or null when a new block cannot be had;
    // such failures are counted.
    _X_R_PACKETCOUNTER* take();
    // Returns the record just taken (it could not be used); counted as a failure.
    void giveBackLast();
    // Forgets every record and frees every block.
    void releaseAll();

    int blockCount() const { return int(m_blocks.size()); }
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
            _X_R_PACKETCOUNTER* block = m_blocks[b].get();
            for (int i = 0; i < used; ++i)
                if (!f(&block[i]))
                    return false;
        }
        return true;
    }

private:
    std::vector<std::unique_ptr<_X_R_PACKETCOUNTER[]>> m_blocks;
    int m_used = 0;  // records taken from the last block
    int m_maxBlocks = 0;
    std::atomic<uint64_t> m_failures{0};
};
