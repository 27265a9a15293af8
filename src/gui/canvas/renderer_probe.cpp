// The child only talks to its own X connection and leaves with _exit, so nothing of the
// parent (its X connection, its atexit handlers, its threads' state) is touched there.
#include "gui/canvas/renderer_probe.h"

#include <FL/x.H>
#include <GL/glx.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <string>

namespace hvn {

namespace {

// The GL renderer's name on display `name`; "indirect" for a context that is not
// direct; "" when GL does not work there.
std::string ProbeRenderer(const char *name) {
    Display *display = XOpenDisplay(name);
    if (!display)
        return "";
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, None};
    const int screen = DefaultScreen(display);
    XVisualInfo *visual = glXChooseVisual(display, screen, attributes);
    if (!visual)
        return "";
    GLXContext context = glXCreateContext(display, visual, nullptr, True);
    if (!context)
        return "";
    if (!glXIsDirect(display, context))
        return "indirect";
    XSetWindowAttributes wa{};
    wa.colormap = XCreateColormap(display, RootWindow(display, screen), visual->visual, AllocNone);
    const Window window =
        XCreateWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, visual->depth,
                      InputOutput, visual->visual, CWColormap, &wa);
    if (!glXMakeCurrent(display, window, context))
        return "";
    const auto *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    return renderer ? renderer : "";
}

bool IsSoftware(std::string renderer) {
    for (char &c : renderer)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char *soft : {"llvmpipe", "softpipe", "swrast", "software", "indirect"})
        if (renderer.find(soft) != std::string::npos)
            return true;
    return renderer.empty();
}

// What the child wrote until it closed the pipe, within the deadline.
std::string ReadAnswer(int fd, std::chrono::steady_clock::time_point deadline) {
    std::string answer;
    char buffer[256];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
            return "";
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return answer;
        answer.append(buffer, size_t(n));
    }
}

// Mesa draws in hardware only through DRI2 or DRI3, NVIDIA's GLX through its own
// extension: a server without them (Xvfb, VNC, most remote displays) leaves GL to
// software, and nothing needs asking.
bool ServerMayRenderInHardware() {
    int opcode, event, error;
    if (!XQueryExtension(fl_display, "GLX", &opcode, &event, &error))
        return false;
    for (const char *name : {"DRI3", "DRI2", "NV-GLX"})
        if (XQueryExtension(fl_display, name, &opcode, &event, &error))
            return true;
    return false;
}

struct Probe {
    bool started = false;
    pid_t pid = -1;
    int fd = -1;
    std::chrono::steady_clock::time_point deadline;
};

Probe &TheProbe() {
    static Probe probe;
    return probe;
}

} // namespace

void StartGlRendererProbe() {
    Probe &probe = TheProbe();
    if (probe.started || !fl_display)
        return;
    probe.started = true;
    if (!ServerMayRenderInHardware())
        return;
    const std::string name = DisplayString(fl_display);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string renderer = ProbeRenderer(name.c_str());
        const ssize_t written = ::write(fds[1], renderer.data(), renderer.size());
        ::_exit(written == ssize_t(renderer.size()) ? 0 : 1);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return;
    }
    probe.pid = pid;
    probe.fd = fds[0];
    probe.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
}

bool GlRendererIsHardware() {
    StartGlRendererProbe();
    Probe &probe = TheProbe();
    static const bool hardware = [&probe] {
        if (probe.pid <= 0)
            return false;
        const std::string renderer = ReadAnswer(probe.fd, probe.deadline);
        ::close(probe.fd);
        ::kill(probe.pid, SIGKILL); // gone already unless it hung
        ::waitpid(probe.pid, nullptr, 0);
        return !IsSoftware(renderer);
    }();
    return hardware;
}

} // namespace hvn
