// The real program playing icecast's /live.mp3 for 30 s with the spectrum in bar style,
// beside `mpv --no-video` on the same stream: CPU time over the 30 s and peak memory of
// each whole process.
// Needs DISPLAY (Xvfb), PULSE_SERVER, HALVANE_ICECAST_PORT (tools/test-services.sh),
// xdotool and mpv, and the halvane target built.
#include "core/fs.h"
#include "core/text_file.h"
#include "core/zip.h"

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

extern char **environ;

namespace {

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

pid_t Spawn(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    for (const std::string &a : args) {
        argv.push_back(const_cast<char *>(a.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

bool Run(const std::vector<std::string> &args) {
    const pid_t pid = Spawn(args);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Peak memory from the reaped child's resource usage.
double Reap(pid_t pid) {
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return usage.ru_maxrss / 1024.0;
}

// Runs the measured window: CPU from /proc before and after `kSeconds` of real time.
double MeasureWindow(pid_t pid) {
    const double before = ProcessCpu(pid);
    std::this_thread::sleep_for(std::chrono::seconds(kSeconds));
    return ProcessCpu(pid) - before;
}

void PutLe(std::string &s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        s += static_cast<char>((v >> (8 * i)) & 0xff);
    }
}

// A white 274 x 87 BMP: the station logo, against which the bars are easy to see.
std::string WhiteLogo() {
    const int w = 274, h = 87, row = (w * 3 + 3) & ~3;
    std::string bmp = "BM";
    for (uint32_t v : {uint32_t(54 + row * h), 0u, 54u, 40u, uint32_t(w), uint32_t(h)}) {
        PutLe(bmp, v, 4);
    }
    PutLe(bmp, 1, 2);
    PutLe(bmp, 24, 2);
    for (uint32_t v : {0u, uint32_t(row * h), 2835u, 2835u, 0u, 0u}) {
        PutLe(bmp, v, 4);
    }
    bmp.append(size_t(row * h), char(0xff));
    return bmp;
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

void WriteSettings() {
    const char *lines[] = {"Halvane",
                           "Release\t\t\t  =50",
                           "Build\t\t\t  =060813 (Linux TEST BUILD)",
                           "Stationlist =0",
                           "Language =4",
                           "Skin =",
                           "Buffersize =0",
                           "Volume =100",
                           "Save Station =1",
                           "Last Station =Bench Station",
                           "Save Window Position =0",
                           "Window PositionX =0",
                           "Window PositionY =0",
                           "Start Minimized =0",
                           "Force OpenGL Driver =1",
                           "Show Errors =1",
                           "Show Spectrum Analyser =1",
                           "Window Height =154",
                           "Update Server =",
                           "Update Homepage =",
                           "Auto Update =0",
                           "Last Update =",
                           "Custom Window Color =0",
                           "Background Color =192;192;192;",
                           "Label Color =-1;-1;-1;"};
    std::string text;
    for (const char *line : lines) {
        text += std::string(line) + "\r\n";
    }
    hvn::SaveBytes("hvn.ini", text);
}

// The top-level window named " Halvane" once it is mapped; 0 on time-out.
Window WaitForMap(Display *display, Clock::time_point deadline) {
    XEvent event;
    while (Clock::now() < deadline) {
        XNextEvent(display, &event);
        if (event.type != MapNotify) {
            continue;
        }
        char *name = nullptr;
        if (XFetchName(display, event.xmap.window, &name) && name) {
            const bool ours = std::strcmp(name, " Halvane") == 0;
            XFree(name);
            if (ours) {
                return event.xmap.window;
            }
        }
    }
    return 0;
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

void CloseWindow(Display *display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, 0, &event);
    XFlush(display);
}

bool BenchProgram(Figures &figures) {
    if (!hvn::CopyFile(HALVANE_BINARY_DIR "/halvane", "halvane")) {
        std::printf("playback_bench: build the halvane target first\n");
        return false;
    }
    ::chmod("halvane", 0755);
    hvn::CreateDir("stations");
    hvn::CreateDir("db");
    hvn::WriteZip(
        "stations/bench.hvn",
        {{"station_id.txt", "Bench Station\r\nhttp://bench.example/\r\n12\r\n1\r\n" + StreamUrl()},
         {"station_ico.png", WhiteLogo()}});
    WriteSettings();
    Display *display = XOpenDisplay(nullptr);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    const pid_t pid = Spawn({"./halvane"});
    if (pid <= 0) {
        std::printf("playback_bench: the program did not start\n");
        return false;
    }
    const Window window = WaitForMap(display, Clock::now() + std::chrono::seconds(30));
    const bool bars = window && ChooseBarStyle(display, window);
    std::printf("program: window %s, bar style %s\n", window ? "mapped" : "MISSING",
                bars ? "shown" : "NOT SHOWN");
    figures.cpuSeconds = MeasureWindow(pid);
    const bool stillBars = window && BarsShown(display, window);
    if (window) {
        CloseWindow(display, window);
    }
    // The close runs the shutdown; a program that does not end is stopped.
    if (!WaitForExit(pid, 5)) {
        std::printf("program: did not end on window close; stopped\n");
        ::kill(pid, SIGTERM);
    }
    figures.peakMb = Reap(pid);
    XCloseDisplay(display);
    std::printf("program: bars still shown after %d s: %s\n", kSeconds, stillBars ? "yes" : "no");
    return bars;
}

bool BenchMpv(Figures &figures) {
    const pid_t pid = Spawn({"mpv", "--no-video", "--no-terminal", "--ao=pulse", StreamUrl()});
    if (pid <= 0) {
        std::printf("playback_bench: mpv did not start\n");
        return false;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3)); // connected and playing
    figures.cpuSeconds = MeasureWindow(pid);
    ::kill(pid, SIGTERM);
    figures.peakMb = Reap(pid);
    return true;
}

} // namespace

int main() {
    for (const char *var : {"DISPLAY", "PULSE_SERVER", "HALVANE_ICECAST_PORT"}) {
        if (!std::getenv(var)) {
            std::printf("playback_bench: %s is not set (source tools/test-services.sh)\n", var);
            return 1;
        }
    }
    sigset_t chld;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    sigprocmask(SIG_BLOCK, &chld, nullptr);
    char pattern[] = "/tmp/hvn-playback-bench-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    hvn::ChangeDir(dir);
    Figures program, mpv;
    const bool programOk = BenchProgram(program);
    const bool mpvOk = BenchMpv(mpv);
    hvn::ChangeDir("/");
    hvn::DeleteDir(dir, true);
    std::printf("%d s of %s\n", kSeconds, StreamUrl().c_str());
    std::printf("  %-28s %10s %8s %10s\n", "", "CPU s", "% core", "peak MB");
    std::printf("  %-28s %10.2f %8.1f %10.1f\n", "halvane (bars, meters)", program.cpuSeconds,
                100.0 * program.cpuSeconds / kSeconds, program.peakMb);
    std::printf("  %-28s %10.2f %8.1f %10.1f\n", "mpv --no-video", mpv.cpuSeconds,
                100.0 * mpv.cpuSeconds / kSeconds, mpv.peakMb);
    if (mpv.cpuSeconds > 0 && mpv.peakMb > 0) {
        std::printf("  ratio halvane / mpv: CPU %.2f, peak memory %.2f\n",
                    program.cpuSeconds / mpv.cpuSeconds, program.peakMb / mpv.peakMb);
    }
    return programOk && mpvOk ? 0 : 1;
}
