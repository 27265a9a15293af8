#pragma once
// Hosts GL canvases for the canvas tests: a plain FLTK window on the test X server
// (DISPLAY), shown and exposed before anything is drawn.
#include "events/queue.h"
#include "gui/canvas/canvas_window.h"
#include "gui/canvas/draw2d.h"
#include "gui/gui.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

// Last: Xlib's macros (None, Bool, Status) would break the headers above.
#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace hvn::canvastest {

// Skips (or fails, when the test services are required) without an X server.
inline bool DisplayAvailable() {
    const char *display = std::getenv("DISPLAY");
    if (!display || !*display)
        return false;
    // The connection is made once and kept: a server may drop a connection opened right
    // after another one closed, and InitGui retries that case.
    KeepCanvasFrames(true); // the tests read back what each flip showed
    return InitGui();
}

#define HVN_REQUIRE_DISPLAY()                                                                      \
    do {                                                                                           \
        if (!::hvn::canvastest::DisplayAvailable()) {                                              \
            if (std::getenv("HALVANE_TEST_SERVICES"))                                              \
                FAIL() << "DISPLAY is not set or does not answer";                                 \
            GTEST_SKIP() << "no X server (DISPLAY)";                                               \
        }                                                                                          \
    } while (0)

// What the X server shows in a canvas's window (not the copy the canvas keeps), RGBA as in
// Pixmap, rows top to bottom; empty when it cannot be read.
inline std::vector<uint32_t> ScreenPixels(Fl_Widget *canvas) {
    Fl_Window *window = canvas->as_window();
    if (!window || !fl_xid(window))
        return {};
    XSync(fl_display, False);
    XImage *image = XGetImage(fl_display, fl_xid(window), 0, 0, unsigned(window->w()),
                              unsigned(window->h()), AllPlanes, ZPixmap);
    if (!image)
        return {};
    auto component = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1))
            mask >>= 1, ++shift;
        return uint32_t((pixel >> shift) & mask) * 255 / uint32_t(mask ? mask : 1);
    };
    std::vector<uint32_t> out;
    for (int y = 0; y < window->h(); ++y)
        for (int x = 0; x < window->w(); ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            out.push_back(component(p, image->red_mask) | component(p, image->green_mask) << 8 |
                          component(p, image->blue_mask) << 16 | 0xff000000u);
        }
    XDestroyImage(image);
    return out;
}

// Runs the toolkit until `done` holds; false after `seconds` without it.
inline bool PumpUntil(const std::function<bool()> &done, double seconds = 5.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        Fl::wait(0.05);
    }
    return true;
}

// Events emitted by the canvases, taken off before they reach the queue.
class EventRecorder {
public:
    EventRecorder() {
        handle_ = AddEmitHook(100, [this](Event &e) {
            events.push_back(e);
            return false;
        });
    }
    ~EventRecorder() { RemoveEmitHook(handle_); }
    bool Saw(int id, const void *source) const {
        for (const Event &e : events)
            if (e.id == id && e.source == source)
                return true;
        return false;
    }
    std::vector<Event> events;

private:
    int handle_ = 0;
};

// A window with canvases at the given shapes, shown and exposed.
class CanvasHost {
public:
    struct Shape {
        int x, y, w, h;
    };
    explicit CanvasHost(std::vector<Shape> shapes, int w = 300, int h = 120) {
        window_ = std::make_unique<Fl_Window>(0, 0, w, h, "canvas test");
        for (const Shape &s : shapes) {
            auto g = std::make_unique<Gadget>();
            g->kind = GadgetKind::Canvas;
            g->x = s.x, g->y = s.y, g->w = s.w, g->h = s.h;
            widgets_.push_back(CreateCanvasWidget(g.get(), s.x, s.y, s.w, s.h));
            gadgets_.push_back(std::move(g));
        }
        window_->end();
        window_->show();
        for (auto &g : gadgets_)
            exposed_ = exposed_ && PumpUntil([&] { return recorder_.Saw(GadgetPaint, g.get()); });
    }
    ~CanvasHost() {
        window_->hide();
        window_.reset(); // deletes the canvas widgets before their gadgets
        Fl::wait(0);
    }
    bool exposed() const { return exposed_; }
    Gadget *canvas(size_t i) { return gadgets_.at(i).get(); }
    Fl_Widget *widget(size_t i) { return widgets_.at(i); }
    Fl_Window *window() { return window_.get(); }
    EventRecorder &recorder() { return recorder_; }

private:
    EventRecorder recorder_;
    std::unique_ptr<Fl_Window> window_;
    std::vector<std::unique_ptr<Gadget>> gadgets_;
    std::vector<Fl_Widget *> widgets_;
    bool exposed_ = true;
};

} // namespace hvn::canvastest
