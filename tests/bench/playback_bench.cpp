// The real program playing icecast's /live.mp3 for 30 s in several states (bars, graph,
// logo only, the station list shown, stopped), each beside `mpv --no-video` started with
// it on the same stream: CPU time of each whole process over the same 30 s, and peak
// memory.
// Needs DISPLAY (Xvfb), PULSE_SERVER, HALVANE_ICECAST_PORT (tools/test-services.sh),
// xdotool and mpv, and the halvane target built.
#include "core/fs.h"
#include "core/text_file.h"
#include "core/zip.h"
#include "e2e/program_process.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace hvn::test;
using Clock = std::chrono::steady_clock;
constexpr int kSeconds = 30;

struct Figures {
    double cpuSeconds = 0; // user + system over the measured window
    double peakMb = 0;     // the process's peak resident set
};

std::string StreamUrl() {
    return "http://127.0.0.1:" + std::string(std::getenv("HALVANE_ICECAST_PORT")) + "/live.mp3";
}

// utime + stime of a running process, in seconds.
double ProcessCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            utime = std::stoul(field);
        } else if (i == 15) {
            stime = std::stoul(field);
        }
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

// Peak memory from the reaped child's resource usage.
double Reap(pid_t pid) {
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Waits up to `seconds` for the child to end (SIGCHLD is blocked in main).
bool WaitForExit(pid_t pid, int seconds) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGCHLD);
    const timespec timeout{seconds, 0};
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < deadline) {
        siginfo_t info;
        if (::waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid) {
            return true;
        }
        sigtimedwait(&set, &info, &timeout);
    }
    return false;
}

// Bar style draws a dark line down the canvas's left edge (window x 2) beside the white
// logo (x 3); the start picture, the logo alone and the graph do not look like that.
bool BarsShown(Display *display, Window window) {
    XImage *image = XGetImage(display, window, 2, 33 + 40, 2, 1, AllPlanes, ZPixmap);
    if (!image) {
        return false;
    }
    const unsigned long edge = XGetPixel(image, 0, 0);
    const unsigned long logo = XGetPixel(image, 1, 0);
    XDestroyImage(image);
    auto green = [](unsigned long p) { return (p >> 8) & 0xff; };
    return green(edge) < 120 && green(logo) > 240;
}

bool ChooseBarStyle(Display *display, Window window) {
    const std::string wid = std::to_string(window);
    for (int i = 0; i < 12; ++i) {
        if (BarsShown(display, window)) {
            return true;
        }
        // A right-button release on the spectrum canvas moves the style on by one.
        Run({"xdotool", "mousemove", "--window", wid, "100", "70", "click", "3"});
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
    }
    return BarsShown(display, window);
}

struct Scenario {
    const char *name;
    int meters;    // "Show Spectrum Analyser"
    int style;     // clicks on the canvas: 0 none, 1 bars, 2 graph
    bool listPage; // the station list shown instead of the player
    bool stopped;  // playback stopped before the measurement
};

// Right-button releases on the spectrum canvas until `style` shows (none: nothing to do).
bool ChooseStyle(Display *display, Window window, int style) {
    if (style == 0) {
        return true;
    }
    if (!ChooseBarStyle(display, window)) {
        return false;
    }
    if (style == 2) {
        Run({"xdotool", "mousemove", "--window", std::to_string(window), "100", "70", "click",
             "3"});
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        return !BarsShown(display, window);
    }
    return true;
}

void Press(Window window, int x, int y) {
    Run({"xdotool", "mousemove", "--window", std::to_string(window), std::to_string(x),
         std::to_string(y), "click", "1"});
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
}

// The player in `scenario` and mpv on the same stream, measured over the same window.
bool BenchScenario(const std::string &binary, const Scenario &scenario, Figures &program,
                   Figures &mpv) {
    if (!hvn::CopyFile(binary, "halvane")) {
        std::printf("playback_bench: %s is missing (build the halvane target)\n", binary.c_str());
        return false;
    }
    ::chmod("halvane", 0755);
    hvn::CreateDir("stations");
    hvn::CreateDir("db");
    hvn::WriteZip(
        "stations/bench.hvn",
        {{"station_id.txt", "Bench Station\r\nhttp://bench.example/\r\n12\r\n1\r\n" + StreamUrl()},
         {"station_ico.png", Bmp(274, 87, [](int, int) { return 0xffffffu; })}});
    hvn::SaveBytes("hvn.ini", PlayingSettings("Bench Station", scenario.meters != 0));
    Display *display = XOpenDisplay(nullptr);
    IgnoreXErrors();
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    const pid_t pid = Spawn({"./halvane"});
    const pid_t mpvPid = Spawn({"mpv", "--no-video", "--no-terminal", "--ao=pulse", StreamUrl()});
    if (pid <= 0 || mpvPid <= 0) {
        std::printf("playback_bench: the program or mpv did not start\n");
        return false;
    }
    const Window window = WaitForMap(display, Clock::now() + std::chrono::seconds(30));
    std::this_thread::sleep_for(std::chrono::seconds(2)); // connected and playing
    bool ready = window && ChooseStyle(display, window, scenario.style);
    if (ready && scenario.listPage) {
        Press(window, 246 + 15, 123 + 15); // the player's back button
    }
    if (ready && scenario.stopped) {
        Press(window, 106 + 15, 123 + 15); // the stop button
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double before = ProcessCpu(pid), mpvBefore = ProcessCpu(mpvPid);
    std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
    program.cpuSeconds = ProcessCpu(pid) - before;
    mpv.cpuSeconds = ProcessCpu(mpvPid) - mpvBefore;
    if (ready && scenario.style == 1 && !scenario.listPage && !scenario.stopped) {
        ready = BarsShown(display, window);
    }
    if (window) {
        CloseWindow(display, window);
    }
    // The close runs the shutdown; a program that does not end is stopped.
    if (!WaitForExit(pid, 5)) {
        std::printf("program: did not end on window close; stopped\n");
        ::kill(pid, SIGTERM);
    }
    program.peakMb = Reap(pid);
    ::kill(mpvPid, SIGTERM);
    mpv.peakMb = Reap(mpvPid);
    XCloseDisplay(display);
    if (!ready) {
        std::printf("  %s: the program did not reach this state; figures not comparable\n",
                    scenario.name);
    }
    return ready;
}

} // namespace

// Usage: playback_bench [PATH_TO_HALVANE]   (default: the halvane of this build)
int main(int argc, char **argv) {
    for (const char *var : {"DISPLAY", "PULSE_SERVER", "HALVANE_ICECAST_PORT"}) {
        if (!std::getenv(var)) {
            std::printf("playback_bench: %s is not set (source tools/test-services.sh)\n", var);
            return 1;
        }
    }
    const std::string binary = argc > 1 ? argv[1] : HALVANE_BINARY_DIR "/halvane";
    sigset_t chld;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    sigprocmask(SIG_BLOCK, &chld, nullptr);
    const Scenario scenarios[] = {
        {"bars, meters", 1, 1, false, false},
        {"graph, meters", 1, 2, false, false},
        {"logo only", 0, 0, false, false},
        {"list page shown", 1, 1, true, false},
        {"stopped (mpv playing)", 1, 1, false, true},
    };
    std::printf("%s beside mpv --no-video, %d s each, %s\n", binary.c_str(), kSeconds,
                StreamUrl().c_str());
    std::printf("  %-24s %9s %9s %7s %10s %10s %7s\n", "", "CPU s", "mpv CPU s", "ratio", "peak MB",
                "mpv MB", "ratio");
    bool ok = true;
    for (const Scenario &scenario : scenarios) {
        char pattern[] = "/tmp/hvn-playback-bench-XXXXXX";
        const std::string dir = ::mkdtemp(pattern);
        hvn::ChangeDir(dir);
        Figures program, mpv;
        ok = BenchScenario(binary, scenario, program, mpv) && ok;
        hvn::ChangeDir("/");
        hvn::DeleteDir(dir, true);
        std::printf("  %-24s %9.2f %9.2f %7.2f %10.1f %10.1f %7.2f\n", scenario.name,
                    program.cpuSeconds, mpv.cpuSeconds,
                    mpv.cpuSeconds > 0 ? program.cpuSeconds / mpv.cpuSeconds : 0.0, program.peakMb,
                    mpv.peakMb, mpv.peakMb > 0 ? program.peakMb / mpv.peakMb : 0.0);
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}
