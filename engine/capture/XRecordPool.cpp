#include "capture/XRecordPool.h"

#include <new>

XRecordPool::XRecordPool()
{
    m_blocks.reserve(100);
}

_X_R_PACKETCOUNTER* XRecordPool::take()
{
    if (m_blocks.empty() || m_used >= kBlockRecords) {
        if (m_maxBlocks > 0 && int(m_blocks.size()) >= m_maxBlocks) {
            m_failures.fetch_add(1, std::memory_order_relaxed);
            return nullptr;
        }
        try {
            // The block is owned before the list grows, so a list that cannot grow frees it.
            std::unique_ptr<Slot[]> block(new Slot[kBlockRecords]);
            m_blocks.push_back(std::move(block));
        } catch (const std::bad_alloc&) {
            m_failures.fetch_add(1, std::memory_order_relaxed);
            return nullptr;
        }
        m_used = 0;
    }
    Slot& slot = m_blocks.back()[m_used++];
    slot.cell = XLedgerCell{};
    return &slot.record;
}

void XRecordPool::giveBackLast()
{
    if (m_used > 0)
        --m_used;
    m_failures.fetch_add(1, std::memory_order_relaxed);
}

void XRecordPool::releaseAll()
{
    m_blocks.clear();
    m_used = 0;
}

int XRecordPool::recordCount() const
{
    if (m_blocks.empty())
        return 0;
    return int(m_blocks.size() - 1) * kBlockRecords + m_used;
}
