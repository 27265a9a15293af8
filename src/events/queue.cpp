#include "events/queue.h"

#include "events/signals.h"
#include "events/timer.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>
#include <poll.h>
#include <vector>

namespace hvn {

namespace {

struct HookEntry {
    int priority;
    int handle;
    EmitHook hook;
};

using HookList = std::vector<HookEntry>;

struct QueueState {
    // Highest priority first, equal ones in the order added. Replaced, never changed in
    // place, so an emit in progress keeps walking the list it started with.
    std::shared_ptr<const HookList> hooks;
    int nextHandle = 1;
    std::deque<Event> events;
    Event current;
    EventPump pump;
};

QueueState &State();

bool QueueHook(Event &event) {
    QueueEvent(event);
    // Hooks below the queue's own still see the event.
    return true;
}

QueueState &State() {
    static QueueState state = [] {
        QueueState s;
        s.hooks = std::make_shared<const HookList>(HookList{{kQueueHookPriority, 0, QueueHook}});
        return s;
    }();
    return state;
}

bool Mergeable(int id) {
    return id == TimerTick || id == GadgetAction || id == WindowMove || id == WindowSize;
}

void DefaultPump(double timeoutSeconds) {
    pollfd fd{TimerWakeFd(), POLLIN, 0};
    int timeoutMs = timeoutSeconds < 0 ? -1 : int(std::ceil(timeoutSeconds * 1000.0));
    // Waking early (a signal) is harmless: callers wait again when nothing arrived.
    ::poll(&fd, 1, timeoutMs);
    DeliverTimerTicks();
    DeliverTerminationSignal();
}

// Moves the oldest queued event into the current one.
const Event &TakeFirst(QueueState &state) {
    state.current = std::move(state.events.front());
    state.events.pop_front();
    return state.current;
}

} // namespace

int AddEmitHook(int priority, EmitHook hook) {
    QueueState &state = State();
    int handle = state.nextHandle++;
    auto hooks = std::make_shared<HookList>(*state.hooks);
    auto at = std::find_if(hooks->begin(), hooks->end(),
                           [&](const HookEntry &e) { return e.priority < priority; });
    hooks->insert(at, HookEntry{priority, handle, std::move(hook)});
    state.hooks = std::move(hooks);
    return handle;
}

void RemoveEmitHook(int handle) {
    if (handle == 0) {
        return; // the queue's own hook stays
    }
    QueueState &state = State();
    auto hooks = std::make_shared<HookList>(*state.hooks);
    std::erase_if(*hooks, [&](const HookEntry &e) { return e.handle == handle; });
    state.hooks = std::move(hooks);
}

void EmitEvent(Event event) {
    std::shared_ptr<const HookList> hooks = State().hooks;
    for (const HookEntry &entry : *hooks) {
        if (!entry.hook(event)) {
            return;
        }
    }
}

bool QueueEvent(const Event &event) {
    std::deque<Event> &events = State().events;
    if (Mergeable(event.id)) {
        auto same = std::find_if(events.begin(), events.end(), [&](const Event &queued) {
            return queued.id == event.id && queued.source == event.source;
        });
        if (same != events.end()) {
            same->data = event.data;
            same->x = event.x;
            same->y = event.y;
            same->mods = event.mods;
            same->extra = event.extra;
            return true;
        }
    }
    if (events.size() >= size_t(kEventQueueSize)) {
        return false;
    }
    events.push_back(event);
    return true;
}

const Event &WaitEvent() {
    QueueState &state = State();
    while (state.events.empty()) {
        PumpEvents(-1);
    }
    return TakeFirst(state);
}

const Event *PollEvent() {
    QueueState &state = State();
    PumpEvents(0);
    if (state.events.empty()) {
        return nullptr;
    }
    return &TakeFirst(state);
}

const Event &CurrentEvent() {
    return State().current;
}

int QueuedEventCount() {
    return int(State().events.size());
}

void FlushEvents() {
    State().events.clear();
}

void SetEventPump(EventPump pump) {
    State().pump = std::move(pump);
}

void PumpEvents(double timeoutSeconds) {
    QueueState &state = State();
    if (state.pump) {
        // A copy: the pump may install another pump while it runs.
        EventPump pump = state.pump;
        pump(timeoutSeconds);
    } else {
        DefaultPump(timeoutSeconds);
    }
}

} // namespace hvn
