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

// A sleep that a program's own signal handler can end at once, whichever thread the signal
// reaches: prepareSignalWake() before the handlers are installed (false when it cannot, then
// the sleep just lasts), signalWake() from the handler (async-signal-safe), and
// sleepUntilSignalWake(), which returns true at once when a wake came since its last call and
// otherwise sleeps up to timeoutMs for one. One sleeping thread.
bool prepareSignalWake();
void signalWake();
bool sleepUntilSignalWake(int timeoutMs);

} // namespace platform
