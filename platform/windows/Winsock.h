#pragma once

namespace platform {

// Starts Windows Sockets 2.2 once for the process (any thread); every call after the first
// returns the first one's answer. Sockets stay usable until the process ends.
bool ensureWinsock();

} // namespace platform
