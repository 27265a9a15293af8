#pragma once
// Timers: each owns a thread that only sleeps until its next tick and hands the tick to
// the main thread through a mutex-protected queue and a wake-up pipe. The main thread
// turns it into a TimerTick event (source: the timer, data: the tick count).
#include <memory>

namespace hvn {

class Timer {
public:
    // Starts ticking at once: every floor(1000 / hz) ms, scheduled from the start time
    // (never less than 1 ms; a rate of 0 or below never ticks). Main thread.
    static std::shared_ptr<Timer> Create(double hz);
    ~Timer();
    // Ends the thread; no tick is delivered afterwards. Safe to call twice.
    void Stop();
    // A paused timer's thread sleeps without waking the main thread; on resuming, the
    // schedule goes on from the start time and the ticks due meanwhile are skipped.
    // Setting the state it already has costs nothing. Main thread.
    void SetPaused(bool paused);
    double Rate() const;
    int Ticks() const; // ticks delivered to the event queue so far
    int IntervalMs() const;

    struct Impl;

private:
    explicit Timer(double hz);
    std::unique_ptr<Impl> impl_;
};

using TimerPtr = std::shared_ptr<Timer>;

// The read end of the wake-up pipe shared by all timers (the gui layer watches it).
int TimerWakeFd();
// Drains the pipe and emits one TimerTick per pending tick. Main thread.
void DeliverTimerTicks();
// Wakes the main thread's wait with a byte on the wake-up pipe. Async-signal-safe.
void WakeMainThread();

} // namespace hvn
