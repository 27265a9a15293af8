#include "events/signals.h"

#include "events/queue.h"
#include "events/timer.h"

#include <csignal>

namespace hvn {

namespace {

volatile std::sig_atomic_t g_terminationSignal = 0;

// Only async-signal-safe work: a flag and a write(2).
void OnTerminationSignal(int signal) {
    g_terminationSignal = signal;
    WakeMainThread();
}

} // namespace

void CatchTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Calls the signal interrupts are restarted; the wait itself wakes on the pipe.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool DeliverTerminationSignal() {
    if (g_terminationSignal == 0)
        return false;
    g_terminationSignal = 0;
    Event event;
    event.id = AppTerminate;
    EmitEvent(std::move(event));
    return true;
}

} // namespace hvn
