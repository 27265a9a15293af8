#pragma once
// The real window for the creator's tests: built once per process on the X display, with
// English texts, the built-in skin and a silent audio system. Each test runs in a fresh
// program directory of its own (stations/, db/, creator/) as the working directory.
#include "app/gadgets.h"
#include "app/startup.h"
#include "app/window.h"
#include "audio/fmod.h"
#include "config/embedded_files.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/fs.h"
#include "events/queue.h"
#include "events/timer.h"
#include "gui/gui.h"
#include "playback/current_station.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace hvn::test {

inline bool ServicesWanted() {
    const char *v = std::getenv("HALVANE_TEST_SERVICES");
    return v && std::string(v) == "1";
}

inline bool HasDisplay() {
    const char *d = std::getenv("DISPLAY");
    return d && *d;
}

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
    if (!InitGui())
        return false;
    SetEventPump(TickingPump);
    RegisterEmbeddedFiles();
    InitTranslationsModule();
    // Slow timers: the pump posts the ticks.
    HousekeepingTimer = Timer::Create(0.001);
    OpenWaitTimer = Timer::Create(0.001);
    SpectrumTimer = Timer::Create(0.001);
    LoadSettings();
    LoadTranslations(LanguageIndex);
    FMODSystem = TFMODSystem::Create();
    if (!FMODSystem || FMODSystem->SetOutput(FmodOutput::NoSound) != 0 ||
        FMODSystem->Init(8, 0, nullptr) != 0)
        return false;
    BuildMainWindow();
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

// A fresh program directory as the working directory for one test.
class ProgramDir {
public:
    ProgramDir() {
        char pattern[] = "/tmp/hvn-creator-test-XXXXXX";
        const char *made = ::mkdtemp(pattern);
        path_ = made ? made : "";
        old_ = CurrentDir();
        ChangeDir(path_);
        CreateDir("stations");
        CreateDir("db");
        CreateDir("creator");
    }
    ~ProgramDir() {
        ChangeDir(old_);
        if (!path_.empty())
            DeleteDir(path_, true);
    }
    ProgramDir(const ProgramDir &) = delete;
    ProgramDir &operator=(const ProgramDir &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_, old_;
};

} // namespace hvn::test

// Returns from the test (skipped, or failed under the test services) without a display.
#define HVN_REQUIRE_DISPLAY()                                                                      \
    do {                                                                                           \
        if (!::hvn::test::HasDisplay()) {                                                          \
            if (::hvn::test::ServicesWanted())                                                     \
                FAIL() << "DISPLAY is not set";                                                    \
            GTEST_SKIP() << "DISPLAY is not set";                                                  \
        }                                                                                          \
    } while (0)
