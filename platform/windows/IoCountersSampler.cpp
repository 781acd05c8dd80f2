#include "platform/windows/IoCountersSampler.h"

#include <chrono>

#include "platform/Clock.h"
#include "platform/Processes.h"

namespace platform {

IoCountersSampler::~IoCountersSampler()
{
    stop();
}

void IoCountersSampler::start(IoEventSink& sink)
{
    if (m_thread.joinable())
        return;
    m_stop = false;
    m_thread = std::thread([this, &sink] { run(sink); });
}

void IoCountersSampler::stop()
{
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stop = true;
    }
    m_cond.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void IoCountersSampler::run(IoEventSink& sink)
{
    for (;;) {
        sample(sink);
        std::unique_lock<std::mutex> guard(m_mutex);
        if (m_cond.wait_for(guard, std::chrono::seconds(1), [this] { return m_stop; }))
            break;
    }
    m_last.clear();
    m_openHandles = 0;
}

bool IoCountersSampler::read(uint32_t pid, Last& last, ProcessIo& io)
{
    if (last.handle)
        return readIoCounters(last.handle.get(), io);
    ProcessHandle process = openProcessForQuery(pid);
    if (!process || !readIoCounters(process.get(), io))
        return false;  // gone, or not ours to read
    if (m_openHandles < kMaxOpenHandles) {
        last.handle = std::move(process);
        ++m_openHandles;
    }
    return true;
}

void IoCountersSampler::sample(IoEventSink& sink)
{
    const uint64_t round = m_rounds.load(std::memory_order_relaxed) + 1;
    const uint64_t now = systemTimeFiletime();
    for (const uint32_t pid : listProcessIds()) {
        auto [it, inserted] = m_last.try_emplace(pid);
        Last& last = it->second;
        ProcessIo io;
        if (!read(pid, last, io)) {
            if (last.handle)
                --m_openHandles;
            m_last.erase(it);
            continue;
        }
        if (inserted && round == 1) {
            last.read = io.readBytes;  // baseline
            last.write = io.writeBytes;
        }
        // A counter that went backwards belongs to a new process that took the pid over.
        const uint64_t read = io.readBytes >= last.read ? io.readBytes - last.read : io.readBytes;
        const uint64_t write = io.writeBytes >= last.write ? io.writeBytes - last.write : io.writeBytes;
        last.read = io.readBytes;
        last.write = io.writeBytes;
        last.round = round;
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
    // Processes no longer listed have ended: their handles go.
    for (auto it = m_last.begin(); it != m_last.end();) {
        if (it->second.round == round) {
            ++it;
        } else {
            if (it->second.handle)
                --m_openHandles;
            it = m_last.erase(it);
        }
    }
    m_rounds.store(round, std::memory_order_relaxed);
}

} // namespace platform
