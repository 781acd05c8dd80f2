// The console: its size, UTF-8 output and terminal control sequences.
#include "platform/Terminal.h"

#include <windows.h>

namespace platform {

bool outputTerminalSize(int& columns, int& lines)
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info))
        return false;
    // The visible window, not the scroll-back buffer behind it.
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    const int height = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (width <= 0 || height <= 0)
        return false;
    columns = width;
    lines = height;
    return true;
}

bool prepareTerminalOutput()
{
    // The program writes UTF-8; the console shows it as such from now on.
    ::SetConsoleOutputCP(CP_UTF8);
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (!::GetConsoleMode(out, &mode))
        return true;  // a pipe or a file: the bytes go on as they are
    constexpr DWORD kVirtualTerminal = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING, Windows 10
    return (mode & kVirtualTerminal) != 0 || ::SetConsoleMode(out, mode | kVirtualTerminal) != 0;
}

} // namespace platform
