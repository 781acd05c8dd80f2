#pragma once

namespace platform {

// Turns SIGTERM and SIGINT into a readable descriptor, so that an event loop can end the
// program in its normal way (the session's logout, Ctrl-C). Installs the handlers once and
// returns the read end of a non-blocking pipe that gets one byte per signal; -1 on failure
// (the signals then keep their default action).
int terminationSignalDescriptor();

// Reads the pending bytes after the descriptor became readable. Returns how many signals
// arrived.
int drainTerminationSignals(int descriptor);

} // namespace platform
