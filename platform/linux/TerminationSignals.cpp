#include "platform/TerminationSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace platform {

namespace {

int g_pipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Async-signal-safe; a full pipe already says that a signal is pending.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

int terminationSignalDescriptor()
{
    if (g_pipe[0] >= 0)
        return g_pipe[0];
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return -1;
    g_pipe[0] = fds[0];
    g_pipe[1] = fds[1];
    struct sigaction action{};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return g_pipe[0];
}

int drainTerminationSignals(int descriptor)
{
    int count = 0;
    char buffer[64];
    ssize_t n;
    while ((n = ::read(descriptor, buffer, sizeof buffer)) > 0)
        count += int(n);
    return count;
}

namespace {

int g_wake[2] = {-1, -1};

} // namespace

bool prepareSignalWake()
{
    if (g_wake[0] >= 0)
        return true;
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return false;
    g_wake[0] = fds[0];
    g_wake[1] = fds[1];
    return true;
}

void signalWake()
{
    if (g_wake[1] < 0)
        return;
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wake[1], &byte, 1);
    errno = saved;
}

bool sleepUntilSignalWake(int timeoutMs)
{
    if (g_wake[0] < 0) {
        ::usleep(useconds_t(timeoutMs > 0 ? timeoutMs : 0) * 1000);
        return false;
    }
    pollfd p{g_wake[0], POLLIN, 0};
    if (::poll(&p, 1, timeoutMs > 0 ? timeoutMs : 0) <= 0)
        return false;
    return drainTerminationSignals(g_wake[0]) > 0;
}

} // namespace platform
