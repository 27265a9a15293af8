#pragma once
// The real window for the creator's tests: built once per process on the X display, with
// English texts, the built-in skin and a silent audio system. Each test runs in a fresh
// program directory of its own (stations/, db/, creator/) as the working directory.
#include "app/app_env.h"
#include "app/gadgets.h"
#include "app/startup.h"
#include "config/skins.h"
#include "events/queue.h"
#include "events/timer.h"

namespace hvn::test {

// Ticks of the 4 Hz timer posted whenever a loop would block, so that a connecting loop
// on a dead URL runs its 55 ticks at once instead of in 14 seconds.
inline int &PostedTicks() {
    static int ticks = 0;
    return ticks;
}

inline void TickingPump(double timeout) {
    PollSystem();
    if (timeout >= 0 || QueuedEventCount() > 0)
        return;
    Event tick;
    tick.id = TimerTick;
    tick.source = OpenWaitTimer.get();
    tick.data = ++PostedTicks();
    QueueEvent(tick);
}

inline bool BuildCreatorWindow() {
    // Slow timers: the pump posts the ticks.
    HousekeepingTimer = Timer::Create(0.001);
    OpenWaitTimer = Timer::Create(0.001);
    SpectrumTimer = Timer::Create(0.001);
    if (!BuildTestWindow())
        return false;
    SetEventPump(TickingPump);
    FillSkinList();
    ApplySelectedSkin();
    return true;
}

// The directory the window was built in; removed when the process exits.
struct WindowDir {
    std::string path;
    ~WindowDir() {
        if (!path.empty())
            DeleteDir(path, true);
    }
};

// The window, built once in a directory of its own that lives until exit.
inline bool EnsureCreatorWindow() {
    static WindowDir dir;
    static bool built = [] {
        char pattern[] = "/tmp/hvn-creator-window-XXXXXX";
        const char *made = ::mkdtemp(pattern);
        dir.path = made ? made : "";
        return made && ChangeDir(made) && BuildCreatorWindow();
    }();
    return built;
}

} // namespace hvn::test
