#include "platform/linux/DiskSampler.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Clock.h"
#include "platform/ProcessNames.h"
#include "platform/Processes.h"
#include "platform/linux/ProcTables.h"

namespace platform {

namespace {

uint64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000ull + uint64_t(ts.tv_nsec);
}

} // namespace

DiskSampler::DiskSampler() : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

DiskSampler::~DiskSampler()
{
    stop();
    for (const auto& [pid, file] : m_files)
        ::close(file.fd);
    if (m_loadavgFd >= 0)
        ::close(m_loadavgFd);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void DiskSampler::setPerSecond(bool perSecond)
{
    if (m_perSecond.exchange(perSecond) == perSecond || !perSecond || m_wakeFd < 0)
        return;
    const uint64_t one = 1;
    if (::write(m_wakeFd, &one, sizeof one) < 0) {
        // Already signalled.
    }
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
    m_stop = true;
    const uint64_t one = 1;
    if (m_wakeFd >= 0 && ::write(m_wakeFd, &one, sizeof one) < 0) {
        // Already signalled.
    }
    if (m_thread.joinable())
        m_thread.join();
}

std::chrono::milliseconds DiskSampler::interval() const
{
    return m_feed && !m_perSecond.load(std::memory_order_relaxed) ? kTotalsInterval : kPerSecondInterval;
}

void DiskSampler::wait(std::chrono::milliseconds timeout)
{
    pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {m_feed ? m_feed->fd() : -1, POLLIN, 0}};
    ::poll(fds, m_feed ? 2 : 1, int(timeout.count()));
    uint64_t value = 0;
    if (fds[0].revents & POLLIN && ::read(m_wakeFd, &value, sizeof value) < 0) {
        // Taken by an earlier wake.
    }
}

void DiskSampler::run(IoEventSink& sink)
{
    pthread_setname_np(pthread_self(), "lvx-disk");
    for (;;) {
        sample(sink);
        // The next round: when the interval has passed, per-second figures are asked for, or
        // the exit feed is filling up.
        wait(interval());
        if (m_stop.load()) {
            sample(sink);
            return;
        }
    }
}

void DiskSampler::close(uint32_t pid)
{
    const auto it = m_files.find(pid);
    if (it == m_files.end())
        return;
    ::close(it->second.fd);
    m_files.erase(it);
}

bool DiskSampler::read(uint32_t pid, ProcessIo& io)
{
    auto it = m_files.find(pid);
    if (it == m_files.end()) {
        char path[32];
        std::snprintf(path, sizeof path, "/proc/%u/io", pid);
        const int opened = ::open(path, O_RDONLY | O_CLOEXEC);
        if (opened < 0)
            return false;  // gone, or not ours to read
        it = m_files.emplace(pid, OpenFile{opened, 0}).first;
    }
    it->second.round = m_rounds.load(std::memory_order_relaxed);
    const int fd = it->second.fd;
    char text[1024];
    const ssize_t n = ::pread(fd, text, sizeof text, 0);
    const bool ok = n > 0 && parseProcessIo(std::string_view(text, size_t(n)), io);
    // A file of a process that ended reads nothing; one past the limit is not kept.
    if (!ok || m_files.size() > kMaxOpenFiles) {
        close(pid);
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

void DiskSampler::deliver(IoEventSink& sink, const DiskTotals::Delta& delta, uint64_t timestamp)
{
    DiskEvent event;
    event.timestamp = timestamp;
    event.pid = delta.pid;
    event.readBytes = delta.readBytes;
    event.writeBytes = delta.writeBytes;
    sink.onDiskEvent(event);
    m_delivered.fetch_add(1, std::memory_order_relaxed);
}

void DiskSampler::sample(IoEventSink& sink)
{
    const uint64_t now = systemTimeFiletime();
    m_totals.beginRound(monotonicNs());
    DiskTotals::Delta delta;
    // The processes that ended first: a pid read afterwards is then a live process's.
    if (m_feed) {
        m_exits.clear();
        m_feed->take(m_exits);
        for (const ProcessExit& exit : m_exits) {
            close(exit.pid);
            if (!m_totals.exited(exit, delta))
                continue;
            // A process that never used a socket was never named, and is gone now: its
            // command name, unless a name is known that it cuts short.
            ProcessNames& names = ProcessNames::instance();
            if (!exit.name.empty() && names.nameOf(exit.pid).compare(0, exit.name.size(), exit.name) != 0)
                names.remember(exit.pid, exit.name);
            deliver(sink, delta, now);
        }
    }
    // Listing /proc costs more than reading the open files: it is done only when a process
    // (or thread) was created since the last round, or some process has no open file.
    const uint64_t lastPid = lastCreatedPid();
    m_pids.clear();
    if (lastPid == 0 || lastPid != m_lastPid || m_unopened)
        m_pids = listProcessIds();
    else
        m_totals.livePids(m_pids);
    m_lastPid = lastPid;
    m_unopened = false;
    for (const uint32_t pid : m_pids) {
        ProcessIo io;
        if (read(pid, io) && m_totals.sample(pid, io.readBytes, io.writeBytes, delta))
            deliver(sink, delta, now);
    }
    m_totals.endRound();
    // Files of processes that went: the pid may come back as another process.
    const uint64_t round = m_rounds.load(std::memory_order_relaxed);
    for (auto it = m_files.begin(); it != m_files.end();) {
        if (it->second.round == round) {
            ++it;
            continue;
        }
        ::close(it->second.fd);
        it = m_files.erase(it);
    }
    m_rounds.fetch_add(1, std::memory_order_relaxed);
}

} // namespace platform
