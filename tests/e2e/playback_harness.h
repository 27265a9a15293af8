#pragma once
// The program's window, audio engine and catalogue started in this process the way
// start-up does, plus the real services around it: the null sink's monitor, icecast's
// admin interface, and a scripted event pump that feeds the connecting loop its 4 Hz
// ticks quickly.
#include "events/event.h"
#include "gui/gui.h"
#include "gui/gui_simulate.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// In SetUp: fails when the services are required and the program did not start, skips
// otherwise.
#define HVN_E2E_REQUIRE(started)                                                                   \
    do {                                                                                           \
        if (!(started)) {                                                                          \
            if (::hvn::test::ServicesRequired()) {                                                 \
                FAIL() << "the program could not be started with the test services";               \
            }                                                                                      \
            GTEST_SKIP() << "DISPLAY, PULSE_SERVER or HALVANE_ICECAST_PORT is not set";            \
        }                                                                                          \
    } while (0)

namespace hvn::test {

bool ServicesRequired();
bool HaveEnv(const char *name);
int IcecastPort();
std::string IcecastUrl(const std::string &mount);
// A port on 127.0.0.1 that nobody listens on (connections are refused).
int DeadPort();

// Interleaved stereo s16 samples recorded from the null sink's monitor.
struct Recording {
    std::vector<int16_t> samples;
    double Rms(int channel) const;
    // Zero crossings per second / 2 on one channel: a rough frequency.
    double Frequency(int channel) const;
};
// Records `seconds` of the monitor (blocking, at most 10 s longer; a sink that delivers
// nothing gives a short recording); the first `settle` seconds are dropped so
// that what was queued in the sink before drains.
Recording RecordMonitor(double seconds, double settle = 0.4);

// GET on icecast's admin interface; true on HTTP 200.
bool SetIcecastSong(const std::string &mount, const std::string &song);

// What the scripted pump does before it posts the next OpenWaitTimer tick. `tick` counts
// the ticks posted so far in this run. It may return a delay (ms) to wait before the
// tick, which gives a real stream time to connect.
using TickScript = std::function<int(int tick)>;
// Installs a pump that, whenever the queue is empty, lets the toolkit run, waits the
// script's delay on the timers' wake-up pipe, then queues one OpenWaitTimer tick.
void BeginScriptedTicks(TickScript script);
// Back to a pump that only waits on the toolkit and the timers (with a bound).
void EndScriptedTicks();
// Lets the toolkit and the engine run for `ms` (waits on the timers' pipe).
void WaitMs(int ms);
// Lets them run until done() holds; false when it did not within `ms`.
bool WaitUntil(const std::function<bool()> &done, int ms = 5000);
// Records the monitor in pieces of 0.1 s until one satisfies done (what was played has
// reached the sink); false after 5 s.
bool MonitorReaches(const std::function<bool(const Recording &)> &done);

// Takes every queued event and dispatches it as the main loop would.
void DispatchQueued();
// Posts an event and dispatches the queue.
void Dispatch(const Event &event);
Event Press(Gadget *g, int button = 1);
Event Release(Gadget *g, int button = 1);
Event Tick(const void *timer);

// Starts everything once per process: embedded files, X, settings and English texts, the
// audio engine on PulseAudio, the timers (slow: tests post the ticks), the window with
// texts and skin, and the catalogue of `dir`/stations (the working directory becomes
// `dir`). False when a service is missing.
bool StartProgram(const std::string &dir);
// Reloads the catalogue and refills the list (all stations).
void ReloadStations();
int ListIndexOf(const std::string &name);

// The stations every playback test uses, in a temporary working directory:
// "Two URL Station" (a_two.hvn: a dead URL, then /live.mp3; genre 12), "Left Station"
// (b_left.hvn: /left.mp3) and "Short Station" (c_short.hvn: three description lines and
// a logo that does not decode). The first two have a white 274 x 87 logo.
struct World {
    bool started = false;
    std::string dir;
    std::string deadUrl;
};
// Made and started once per process.
const World &StartWorld();

// A station archive in stations/: the description lines joined with CR LF, and a logo.
void WriteStation(const std::string &file, const std::vector<std::string> &lines,
                  const std::string &logo);
// A 24-bit BMP of one colour.
std::string SolidBmp(int w, int h, int r, int g, int b);

} // namespace hvn::test
