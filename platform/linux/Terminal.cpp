#include "platform/Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

bool outputTerminalSize(int& columns, int& lines)
{
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return false;
    columns = size.ws_col;
    lines = size.ws_row;
    return true;
}

} // namespace platform

namespace platform {

bool prepareTerminalOutput()
{
    return true;  // a terminal here speaks UTF-8 and the control sequences already
}

} // namespace platform
