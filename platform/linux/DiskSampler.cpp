#include "platform/linux/DiskSampler.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Clock.h"
#include "platform/Processes.h"
#include "platform/linux/ProcTables.h"

namespace platform {

DiskSampler::~DiskSampler()
{
    stop();
    for (auto& [pid, last] : m_last)
        forget(last);
    if (m_loadavgFd >= 0)
        ::close(m_loadavgFd);
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
    pthread_setname_np(pthread_self(), "lvx-disk");
    for (;;) {
        sample(sink);
        std::unique_lock<std::mutex> guard(m_mutex);
        if (m_cond.wait_for(guard, std::chrono::seconds(1), [this] { return m_stop; }))
            return;
    }
}

void DiskSampler::forget(Last& last)
{
    if (last.fd >= 0) {
        ::close(last.fd);
        --m_openFiles;
    }
    last.fd = -1;
}

bool DiskSampler::read(uint32_t pid, Last& last, ProcessIo& io)
{
    if (last.fd < 0) {
        char path[32];
        std::snprintf(path, sizeof path, "/proc/%u/io", pid);
        last.fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (last.fd < 0)
            return false;  // not ours to read
        ++m_openFiles;
    }
    char text[1024];
    const ssize_t n = ::pread(last.fd, text, sizeof text, 0);
    const bool ok = n > 0 && parseProcessIo(std::string_view(text, size_t(n)), io);
    // A file of a process that ended reads nothing; one past the limit is not kept.
    if (!ok || m_openFiles > kMaxOpenFiles) {
        forget(last);
        m_unopened = m_unopened || ok;
    }
    return ok;
}

uint64_t DiskSampler::lastCreatedPid()
{
    if (m_loadavgFd < 0)
        m_loadavgFd = ::open("/proc/loadavg", O_RDONLY | O_CLOEXEC);
    char text[128];
    const ssize_t n = m_loadavgFd < 0 ? -1 : ::pread(m_loadavgFd, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    // "0.00 0.01 0.05 1/123 4567": the last field is the pid most recently handed out.
    text[n] = '\0';
    const char* last = std::strrchr(text, ' ');
    return last ? std::strtoull(last + 1, nullptr, 10) : 0;
}

void DiskSampler::sample(IoEventSink& sink)
{
    const uint64_t round = m_rounds.load(std::memory_order_relaxed) + 1;
    const uint64_t now = systemTimeFiletime();
    // Listing /proc costs more than reading the open files: it is done only when a process
    // (or thread) was created since the last round, or some process has no open file.
    const uint64_t lastPid = lastCreatedPid();
    m_pids.clear();
    if (lastPid == 0 || lastPid != m_lastPid || m_unopened) {
        m_pids = listProcessIds();
    } else {
        for (const auto& [pid, last] : m_last)
            m_pids.push_back(pid);
    }
    m_lastPid = lastPid;
    m_unopened = false;
    for (const uint32_t pid : m_pids) {
        auto [it, inserted] = m_last.try_emplace(pid);
        Last& last = it->second;
        ProcessIo io;
        if (!read(pid, last, io)) {
            // Gone, or not ours to read. A process that took the pid over meanwhile is found
            // through a fresh open next round.
            m_last.erase(it);
            continue;
        }
        if (inserted && round == 1) {
            last.read = io.readBytes;  // baseline
            last.write = io.writeBytes;
        }
        // A counter that went backwards belongs to a new process reusing the pid.
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
    for (auto it = m_last.begin(); it != m_last.end();) {
        if (it->second.round == round) {
            ++it;
        } else {
            forget(it->second);
            it = m_last.erase(it);
        }
    }
    m_rounds.store(round, std::memory_order_relaxed);
}

} // namespace platform
