// Toolkit set-up, the event pump, fonts, toolkit colours and the desktop's size.
#include "gui/gadget_view.h"
#include "gui/gui_internal.h"

#include "events/queue.h"
#include "events/signals.h"
#include "events/timer.h"
#include "gui/canvas/renderer_probe.h"

#include <FL/Fl.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Tooltip.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/extensions/xf86vmode.h>

#include <algorithm>

namespace hvn {

namespace {

void OnTimerWake(int, void *) {
    DeliverTimerTicks();
    // The program ends in its own loop, which an open popup menu or dialog would hold up.
    if (DeliverTerminationSignal())
        EndModalLoops();
}

bool g_guiReady = false;

// FLTK's own "forever": longer than any run.
constexpr double kWaitForever = 1e20;

// fl_open_display exits the process when no display answers, so the connection is made
// here. A server busy with a client that just left may drop a new connection during
// its set-up: a refusal is retried before giving up. Windows already made on FLTK's
// connection must keep it, so an open one is used as it is.
bool OpenDisplay() {
    if (fl_display)
        return true;
    Display *display = nullptr;
    for (int attempt = 0; attempt < 3 && !display; ++attempt)
        display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    fl_open_display(display);
    StartGlRendererProbe(); // its answer is wanted when the first canvas is made
    return true;
}

// Without the video-mode extension (Xvfb and many servers lack it) FLTK knows the
// monitors from Xinerama, else the X screen's size.
int TallestScreenHeight() {
    int tallest = 0;
    for (int i = 0; i < Fl::screen_count(); ++i) {
        int x, y, w, h;
        Fl::screen_xywh(x, y, w, h, i);
        tallest = std::max(tallest, h);
    }
    return tallest;
}

} // namespace

bool InitGui() {
    if (g_guiReady)
        return true;
    if (!OpenDisplay())
        return false;
    Fl::visual(FL_DOUBLE | FL_INDEX);
    FL_NORMAL_SIZE = 12;
    Fl_Tooltip::size(11);
    // The GTK file chooser would drop every close of the program's windows while it is
    // open; FLTK's own honours them (InstallWindowEventDispatch).
    Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
    InstallWindowEventDispatch();
    const int wakeFd = TimerWakeFd();
    if (wakeFd >= 0)
        Fl::add_fd(wakeFd, FL_READ, OnTimerWake);
    // Fl::wait() without a time returns at once while no window is shown; with one it
    // blocks on the X connection, the wake-up pipe and FLTK's timeouts in every case.
    SetEventPump([](double timeout) { Fl::wait(timeout < 0 ? kWaitForever : timeout); });
    g_guiReady = true;
    return true;
}

void SetApplicationIdentity(const std::string &xclass, const std::vector<PixmapPtr> &icons) {
    Fl_Window::default_xclass(xclass.c_str());
    std::vector<ImageCache> caches(icons.size());
    std::vector<const Fl_RGB_Image *> images;
    for (size_t i = 0; i < icons.size(); ++i)
        if (const Fl_RGB_Image *image = caches[i].Get(icons[i], 0, 0))
            images.push_back(image);
    // FLTK keeps copies of its own.
    Fl_Window::default_icons(images.data(), static_cast<int>(images.size()));
}

void PollSystem() {
    Fl::check();
}

void SetDefaultGadgetFont(const GuiFont &font) {
    DefaultGadgetFont() = font;
}

GuiFont SystemGuiFont(bool bold) {
    GuiFont font;
    font.name = "clean";
    font.size = FL_NORMAL_SIZE;
    font.bold = bold;
    return font;
}

Rgb LookupGuiColor(int index) {
    Fl_Color c = FL_BACKGROUND_COLOR;
    if (index == 1)
        c = FL_BACKGROUND2_COLOR;
    else if (index == 2)
        c = FL_FOREGROUND_COLOR;
    uchar r = 0, g = 0, b = 0;
    Fl::get_color(c, r, g, b);
    return Rgb{r, g, b};
}

int DesktopWidth() {
    int x, y, w, h;
    Fl::screen_work_area(x, y, w, h);
    return std::min(w, Fl::w());
}

int DesktopHeight() {
    int x, y, w, h;
    Fl::screen_work_area(x, y, w, h);
    return std::min(h, Fl::h());
}

int VideoModeHeight() {
    constexpr int kNoMode = 480;
    fl_open_display();
    if (!fl_display)
        return kNoMode;
    int eventBase = 0, errorBase = 0, dotClock = 0;
    XF86VidModeModeLine line{};
    if (XF86VidModeQueryExtension(fl_display, &eventBase, &errorBase) &&
        XF86VidModeGetModeLine(fl_display, fl_screen, &dotClock, &line)) {
        if (line.privsize > 0 && line.c_private)
            XFree(line.c_private);
        if (line.vdisplay > 0)
            return line.vdisplay;
    }
    const int screen = TallestScreenHeight();
    return screen > 0 ? screen : kNoMode;
}

} // namespace hvn
