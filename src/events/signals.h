#pragma once
// Termination signals as events: SIGTERM (a desktop logout), SIGINT (Ctrl+C) and SIGHUP
// (the terminal went away) become one AppTerminate event on the main thread.
namespace hvn {

// Installs the handlers. The handler only notes the signal and wakes the main thread's
// wait through the timers' wake-up pipe. Main thread, after the first timer exists.
void CatchTerminationSignals();

// Emits AppTerminate (no source) when a termination signal arrived since the last call;
// returns whether it did. Main thread; the event pumps call it on every wake-up.
bool DeliverTerminationSignal();

} // namespace hvn
