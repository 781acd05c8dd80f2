// Allocation failures where the engine grows its tables. This executable replaces the global
// operator new so that a test can make allocations fail on purpose.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <new>

#include "capture/XPacketMgr.h"
#include "capture/XPacketQueueMgr.h"
#include "capture/XRecordPool.h"

namespace {

constexpr size_t kBlockBytes = XRecordPool::blockBytes();

// Allocations below this size fail while it is not 0.
std::atomic<size_t> g_failBelow{0};
// Record blocks currently allocated (operator new[] of exactly one block's size).
std::array<std::atomic<void*>, 512> g_blocks{};

void* allocate(size_t n)
{
    if (n < g_failBelow.load(std::memory_order_relaxed))
        throw std::bad_alloc();
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}

int liveBlocks()
{
    int live = 0;
    for (const auto& slot : g_blocks)
        live += slot.load() != nullptr;
    return live;
}

// Makes every allocation below the given size fail while it exists.
class FailingAllocations {
public:
    explicit FailingAllocations(size_t below = SIZE_MAX) { g_failBelow.store(below); }
    ~FailingAllocations() { g_failBelow.store(0); }
};

TEST(AllocationFailure, RecordPoolFreesTheBlockWhenItsListCannotGrow)
{
    XRecordPool pool;  // room for 100 blocks in its list
    for (int i = 0; i < 100 * XRecordPool::kBlockRecords; ++i)
        ASSERT_NE(pool.take(), nullptr);
    ASSERT_EQ(liveBlocks(), 100);
    _X_R_PACKETCOUNTER* record = nullptr;
    {
        FailingAllocations failing(kBlockBytes);  // the 101st block is had, the longer list not
        record = pool.take();
    }
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(pool.failures(), 1u);
    EXPECT_EQ(pool.blockCount(), 100);
    EXPECT_EQ(liveBlocks(), 100);  // the block that could not be listed was freed
    EXPECT_NE(pool.take(), nullptr);
    EXPECT_EQ(pool.blockCount(), 101);
    pool.releaseAll();
    EXPECT_EQ(liveBlocks(), 0);
}

TEST(AllocationFailure, ListenerScanReportsNoneInsteadOfThrowing)
{
    XPacketQueueMgr queues;
    XPacketMgr manager(&queues);
    int started = -1;
    bool threw = false;
    {
        FailingAllocations failing;
        try {
            started = manager.createListener();
        } catch (...) {
            threw = true;
        }
    }
    EXPECT_FALSE(threw);
    EXPECT_EQ(started, 0);
    EXPECT_EQ(manager.listenerCount(), 0);
}

} // namespace

void* operator new(size_t n)
{
    return allocate(n);
}

void* operator new[](size_t n)
{
    void* p = allocate(n);
    if (n == kBlockBytes) {
        for (auto& slot : g_blocks) {
            void* empty = nullptr;
            if (slot.compare_exchange_strong(empty, p))
                break;
        }
    }
    return p;
}

void* operator new(size_t n, const std::nothrow_t&) noexcept
{
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](size_t n, const std::nothrow_t&) noexcept
{
    try {
        return operator new[](n);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    for (auto& slot : g_blocks) {
        void* expected = p;
        if (p && slot.compare_exchange_strong(expected, nullptr))
            break;
    }
    std::free(p);
}

void operator delete[](void* p, size_t) noexcept
{
    operator delete[](p);
}
