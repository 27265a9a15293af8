#pragma once
// Start-up and shutdown.
#include "events/timer.h"

#include <string>

namespace hvn {

extern std::string CommandLineFile;
extern TimerPtr HousekeepingTimer; // 0.5 Hz
extern TimerPtr OpenWaitTimer;     // 4 Hz
extern TimerPtr SpectrumTimer;     // 30 Hz
extern std::string GraphicsDriverName;
extern int AutoUpdateRunning;

int ProgramEntry();
int RunApplication();
[[noreturn]] void ShutdownApplication();

} // namespace hvn
