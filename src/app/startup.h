#pragma once
// Start-up and shutdown.
#include "events/timer.h"

#include <string>
#include <vector>

namespace hvn {

// The process's arguments after the program name, stored by main before ProgramEntry.
extern std::vector<std::string> ProgramArguments;
extern std::string CommandLineFile;
extern TimerPtr HousekeepingTimer; // 0.5 Hz
extern TimerPtr OpenWaitTimer;     // 4 Hz
extern TimerPtr SpectrumTimer;     // 30 Hz
extern std::string GraphicsDriverName;
extern int AutoUpdateRunning;

// Main thread. Runs RunApplication once; a second call returns 0 at once.
int ProgramEntry();
// Start-up, then the main loop; returns only through the process exit (0 on a second
// call). When the audio system cannot start it shows a message and exits with status 0;
// when no X display answers it prints a message and exits with status 1.
int RunApplication();
// Start-up steps up to (not including) the main loop; for RunApplication and tests.
// Returns false when the program must end (no display).
bool StartApplication();
// Saves the settings, releases the stream and the audio system, stops the timers and
// exits the process with status 0.
[[noreturn]] void ShutdownApplication();

} // namespace hvn
