#pragma once
// The real halvane binary as a process of its own, for end-to-end tests and benchmarks:
// its program directory (settings, a station with a logo), starting it, finding its
// window, closing it as a window manager would.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

extern char **environ;

namespace hvn::test {

// Starts `args` with standard output and error discarded; -1 when it cannot.
inline pid_t Spawn(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
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

// Runs `args` to its end; true when it exits with 0.
inline bool Run(const std::vector<std::string> &args) {
    const pid_t pid = Spawn(args);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Ignores X errors: the window asked about may be gone by the time a request reaches the
// server (the default handler would end the process).
inline void IgnoreXErrors() {
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
}

// The top-level window named " Halvane" once it is mapped and stays mapped for half a
// second (start-up may show a window and make it again); 0 on time-out. `display` must
// have selected SubstructureNotifyMask on the root before the program started.
inline Window WaitForMap(Display *display, std::chrono::steady_clock::time_point deadline) {
    Window found = 0;
    auto since = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < deadline) {
        if (!XPending(display)) {
            if (found && std::chrono::steady_clock::now() - since > std::chrono::milliseconds(500))
                return found;
            ::usleep(10000);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if ((event.type == UnmapNotify && event.xunmap.window == found) ||
            (event.type == DestroyNotify && event.xdestroywindow.window == found)) {
            found = 0;
            continue;
        }
        if (event.type != MapNotify)
            continue;
        char *name = nullptr;
        if (XFetchName(display, event.xmap.window, &name) && name) {
            if (std::strcmp(name, " Halvane") == 0) {
                found = event.xmap.window;
                since = std::chrono::steady_clock::now();
            }
            XFree(name);
        }
    }
    return 0;
}

// A WM_DELETE_WINDOW client message, as a window manager sends it.
inline void CloseWindow(Display *display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, window, False, 0, &event);
    XFlush(display);
}

// hvn.ini that plays "Last Station" at start, with the level meters on or off and a
// grey (192) meter background.
inline std::string PlayingSettings(const std::string &station, bool meters) {
    const std::string lines[] = {"Halvane",
                                 "Release\t\t\t  =50",
                                 "Build\t\t\t  =060813 (Linux TEST BUILD)",
                                 "Stationlist =0",
                                 "Language =4",
                                 "Skin =",
                                 "Buffersize =0",
                                 "Volume =100",
                                 "Save Station =1",
                                 "Last Station =" + station,
                                 "Save Window Position =0",
                                 "Window PositionX =0",
                                 "Window PositionY =0",
                                 "Start Minimized =0",
                                 "Force OpenGL Driver =1",
                                 "Show Errors =1",
                                 meters ? "Show Spectrum Analyser =1" : "Show Spectrum Analyser =0",
                                 "Window Height =154",
                                 "Update Server =",
                                 "Update Homepage =",
                                 "Auto Update =0",
                                 "Last Update =",
                                 "Custom Window Color =0",
                                 "Background Color =192;192;192;",
                                 "Label Color =-1;-1;-1;"};
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r\n";
    return text;
}

// A 24-bit BMP of w x h whose pixel (x, y) is `rgb(x, y)` = r | g << 8 | b << 16.
inline std::string Bmp(int w, int h, const std::function<uint32_t(int, int)> &rgb) {
    const int row = (w * 3 + 3) & ~3;
    std::string bmp = "BM";
    auto put = [&bmp](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp += static_cast<char>((v >> (8 * i)) & 0xff);
    };
    for (uint32_t v : {uint32_t(54 + row * h), 0u, 54u, 40u, uint32_t(w), uint32_t(h)})
        put(v, 4);
    put(1, 2);
    put(24, 2);
    for (uint32_t v : {0u, uint32_t(row * h), 2835u, 2835u, 0u, 0u})
        put(v, 4);
    for (int y = h - 1; y >= 0; --y) { // bottom row first
        for (int x = 0; x < w; ++x) {
            const uint32_t p = rgb(x, y);
            bmp += static_cast<char>((p >> 16) & 0xff);
            bmp += static_cast<char>((p >> 8) & 0xff);
            bmp += static_cast<char>(p & 0xff);
        }
        bmp.append(size_t(row - w * 3), '\0');
    }
    return bmp;
}

} // namespace hvn::test
