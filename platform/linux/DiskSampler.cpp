#include "platform/linux/DiskSampler.h"

#include <chrono>

#include "platform/Clock.h"
#include "platform/Processes.h"

namespace platform {

DiskSampler::~DiskSampler()
{
    stop();
}

void DiskSampler::start(IoEventSink& sink)
{
    if (m_thread.joinable())
        return;
    m_stop = false;
    m_thread = std::thread([this, &sink] { run(sink); });
}

void DiskSampler::stop()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stop = true;
    }
    m_cond.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void DiskSampler::run(IoEventSink& sink)
{
    for (;;) {
        sample(sink);
        std::unique_lock<std::mutex> guard(m_mutex);
        if (m_cond.wait_for(guard, std::chrono::seconds(1), [this] { return m_stop; }))
            return;
    }
}

void DiskSampler::sample(IoEventSink& sink)
{
    const uint64_t round = m_rounds.load(std::memory_order_relaxed) + 1;
    const uint64_t now = systemTimeFiletime();
    for (const uint32_t pid : listProcessIds()) {
        ProcessIo io;
        if (!readProcessIo(pid, io))
            continue;  // gone, or not ours to read
        auto [it, inserted] = m_last.try_emplace(pid, Last{0, 0, round});
        Last& last = it->second;
        if (inserted && round == 1)
            last = {io.readBytes, io.writeBytes, round};  // baseline
        // A counter that went backwards belongs to a new process reusing the pid.
        const uint64_t read = io.readBytes >= last.read ? io.readBytes - last.read : io.readBytes;
        const uint64_t write = io.writeBytes >= last.write ? io.writeBytes - last.write : io.writeBytes;
        last = {io.readBytes, io.writeBytes, round};
        if (read == 0 && write == 0)
            continue;
        DiskEvent event;
        event.timestamp = now;
        event.pid = pid;
        event.readBytes = read;
        event.writeBytes = write;
        sink.onDiskEvent(event);
        m_delivered.fetch_add(1, std::memory_order_relaxed);
    }
    for (auto it = m_last.begin(); it != m_last.end();)
        it = it->second.round == round ? std::next(it) : m_last.erase(it);
    m_rounds.store(round, std::memory_order_relaxed);
}

} // namespace platform
