#include "platform/windows/Winsock.h"

#include <winsock2.h>

namespace platform {

bool ensureWinsock()
{
    // Never cleaned up: listener threads may still be inside a socket call when static
    // objects are destroyed, and the system releases everything when the process ends.
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace platform
