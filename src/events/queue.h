#pragma once
// The event queue: emit hooks, a 256-slot queue with merging, wait and poll.
// Main thread only, unless a function says otherwise.
#include "events/event.h"

#include <functional>

namespace hvn {

constexpr int kEventQueueSize = 256;
constexpr int kQueueHookPriority = -10000;

// An emit hook sees every emitted event before it is queued; it may change it and
// returns false to drop it. Hooks run from the highest priority down; the queue's own
// hook runs at kQueueHookPriority. Returns a handle for RemoveEmitHook.
using EmitHook = std::function<bool(Event &)>;
int AddEmitHook(int priority, EmitHook hook);
void RemoveEmitHook(int handle);

// Runs the hooks and, unless one drops it, queues the event (QueueEvent).
void EmitEvent(Event event);

// The queue's own hook. TimerTick, GadgetAction, WindowMove and WindowSize events with
// the same id and source as one already queued replace that one's data, x, y, mods and
// extra instead of taking a slot. A new event is dropped when all 256 slots are taken.
// Returns false when the event was dropped.
bool QueueEvent(const Event &event);

// Blocks until an event is queued (pumping the toolkit and the timers meanwhile),
// removes it and makes it the current event. The reference is to the current event: the
// next WaitEvent/PollEvent (a nested loop's too) overwrites it.
const Event &WaitEvent();
// Pumps once without blocking; returns the next event as WaitEvent does, or nullptr.
const Event *PollEvent();
// The event WaitEvent/PollEvent returned last (an empty record before the first).
const Event &CurrentEvent();

int QueuedEventCount();
void FlushEvents();

// How WaitEvent/PollEvent wait. The pump waits up to `timeoutSeconds` for activity
// (< 0: until something happens), delivering what arrived (timer ticks, toolkit
// events) through EmitEvent. The default pump waits on the timers' wake-up pipe; the
// gui layer installs one that runs FLTK's wait with that pipe added.
using EventPump = std::function<void(double timeoutSeconds)>;
void SetEventPump(EventPump pump);
void PumpEvents(double timeoutSeconds);

} // namespace hvn
