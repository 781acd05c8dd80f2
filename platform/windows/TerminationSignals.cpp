// Ctrl-C, Ctrl-Break and the closing of the console window, through a console control handler
// that writes one byte per event into a pipe the event loop reads and wakes the sleep.
#include "platform/TerminationSignals.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace platform {

namespace {

int g_pipe[2] = {-1, -1};
// The event sleepUntilSignalWake() waits on (auto-reset), set by signalWake() and by the
// console's control events.
std::atomic<HANDLE> g_wake{nullptr};

// How long a closing console waits for the program to end in its normal way; the system
// ends the process itself some five seconds after the window was closed.
constexpr DWORD kCloseGraceMs = 4500;

BOOL WINAPI onConsoleControl(DWORD event)
{
    const char byte = 1;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: {
        [[maybe_unused]] const int written = ::_write(g_pipe[1], &byte, 1);
        signalWake();
        return TRUE;
    }
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: {
        [[maybe_unused]] const int sent = ::_write(g_pipe[1], &byte, 1);
        signalWake();
        // Returning ends the process at once: give the program its time to shut down. It
        // ends this thread with the rest when it exits.
        ::Sleep(kCloseGraceMs);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

} // namespace

int terminationSignalDescriptor()
{
    static std::once_flag once;
    std::call_once(once, [] {
        int fds[2];
        if (::_pipe(fds, 4096, _O_BINARY | _O_NOINHERIT) != 0)
            return;
        g_pipe[0] = fds[0];
        g_pipe[1] = fds[1];
        if (!::SetConsoleCtrlHandler(onConsoleControl, TRUE)) {
            ::_close(fds[0]);
            ::_close(fds[1]);
            g_pipe[0] = g_pipe[1] = -1;
        }
    });
    return g_pipe[0];
}

int drainTerminationSignals(int descriptor)
{
    // A CRT pipe cannot be made non-blocking: read only what is there.
    const HANDLE pipe = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
    if (pipe == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    DWORD available = 0;
    char buffer[64];
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        const int n = ::_read(descriptor, buffer, unsigned(std::min<DWORD>(available, sizeof buffer)));
        if (n <= 0)
            break;
        count += n;
    }
    return count;
}

// An event: the handlers of the C library's signals (which Windows runs on a thread of their
// own) and the console's control events set it, and the sleep waits on it.
bool prepareSignalWake()
{
    if (g_wake.load() == nullptr)
        g_wake.store(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return g_wake.load() != nullptr;
}

void signalWake()
{
    if (const HANDLE wake = g_wake.load())
        ::SetEvent(wake);
}

bool sleepUntilSignalWake(int timeoutMs)
{
    const DWORD timeout = DWORD(timeoutMs > 0 ? timeoutMs : 0);
    const HANDLE wake = g_wake.load();
    if (wake == nullptr) {
        ::Sleep(timeout);
        return false;
    }
    return ::WaitForSingleObject(wake, timeout) == WAIT_OBJECT_0;
}

} // namespace platform
