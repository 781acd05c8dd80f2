// No terminal sizes without a backend: output is never fitted to a screen.
#include "platform/Terminal.h"

namespace platform {

bool outputTerminalSize(int&, int&)
{
    return false;
}

bool prepareTerminalOutput()
{
    return true;
}

} // namespace platform
