// Throughput of the event ring between the capture thread and the parser thread: one producer
// (the benchmark thread) pushing, one consumer thread popping.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "hostinfo/XNetIoRing.h"

namespace {

constexpr uint32_t kPeer = 0x0264640A;  // 10.100.100.2, not loopback

// Pops until told to stop and the ring is empty; counts what it took.
class Consumer {
public:
    explicit Consumer(XNetIoRing& ring) : m_ring(ring), m_thread([this] { run(); }) {}
    ~Consumer() { finish(); }

    void finish()
    {
        m_stop.store(true, std::memory_order_release);
        m_ring.wake();
        if (m_thread.joinable())
            m_thread.join();
    }
    uint64_t popped() const { return m_popped; }
    uint64_t bytes() const { return m_bytes; }
    uint64_t emptyWaits() const { return m_emptyWaits; }

private:
    void run()
    {
        ORVANEPRO_NetIo io;
        for (;;) {
            if (m_ring.popNetIo(&io)) {
                ++m_popped;
                m_bytes += io.bytesSent + io.bytesReceived;
                continue;
            }
            ++m_emptyWaits;
            if (m_stop.load(std::memory_order_acquire) && m_ring.pending() == 0)
                return;
        }
    }

    XNetIoRing& m_ring;
    std::atomic<bool> m_stop{false};
    uint64_t m_popped = 0;
    uint64_t m_bytes = 0;
    uint64_t m_emptyWaits = 0;
    std::thread m_thread;
};

void report(benchmark::State& state, const XNetIoRing& ring, const Consumer& consumer)
{
    using C = benchmark::Counter;
    state.counters["popped/s"] = C(double(consumer.popped()), C::kIsRate);
    state.counters["dropped"] = C(double(ring.dropped()));
    state.counters["drop%"] = C(100.0 * double(ring.dropped()) / double(ring.dropped() + ring.pushed()));
    state.counters["emptyWaits"] = C(double(consumer.emptyWaits()));
}

// The producer pushes without ever waiting, as the capture thread does: a full ring drops.
void BM_RingPushPop_FreeRunning(benchmark::State& state)
{
    XNetIoRing ring;
    Consumer consumer(ring);
    uint32_t i = 0;
    for (auto _ : state) {
        ++i;
        benchmark::DoNotOptimize(ring.pushNetIo(1000 + (i & 7), 64, i & 1, 2, kPeer, 0x3500, uint16_t(i)));
    }
    consumer.finish();
    if (consumer.popped() != ring.pushed())
        state.SkipWithError("popped differs from pushed");
    state.SetItemsProcessed(int64_t(consumer.popped()));
    report(state, ring, consumer);
}
BENCHMARK(BM_RingPushPop_FreeRunning)->UseRealTime()->MinTime(2.0);

// The producer waits for room instead of dropping: the ring's lossless transfer rate.
void BM_RingPushPop_WaitForRoom(benchmark::State& state)
{
    XNetIoRing ring;
    Consumer consumer(ring);
    uint32_t i = 0;
    for (auto _ : state) {
        ++i;
        while (ring.pending() >= ring.slots())
            std::this_thread::yield();
        benchmark::DoNotOptimize(ring.pushNetIo(1000 + (i & 7), 64, i & 1, 2, kPeer, 0x3500, uint16_t(i)));
    }
    consumer.finish();
    if (consumer.popped() != ring.pushed() || ring.dropped() != 0)
        state.SkipWithError("lost events");
    state.SetItemsProcessed(int64_t(consumer.popped()));
    report(state, ring, consumer);
}
BENCHMARK(BM_RingPushPop_WaitForRoom)->UseRealTime()->MinTime(2.0);

// One push and one pop on the same thread: the cost of the operations without any sharing.
void BM_RingPushPop_SameThread(benchmark::State& state)
{
    XNetIoRing ring;
    ORVANEPRO_NetIo io;
    uint32_t i = 0;
    for (auto _ : state) {
        ++i;
        ring.pushNetIo(1000, 64, i & 1, 2, kPeer, 0x3500, uint16_t(i));
        benchmark::DoNotOptimize(ring.popNetIo(&io));
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_RingPushPop_SameThread);

// One wake-up of the reader, which a push performs when the reader sleeps and a batch waits.
void BM_RingWake_NoWaiter(benchmark::State& state)
{
    XNetIoRing ring;
    for (auto _ : state)
        ring.wake();
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_RingWake_NoWaiter);

} // namespace

BENCHMARK_MAIN();
