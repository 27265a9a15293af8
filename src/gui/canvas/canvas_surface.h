#pragma once
// Internal to the canvas code: what every canvas widget shares whatever draws its pixels.
// The drawing calls record commands here; Flip hands a changed frame to the renderer
// (GL or the CPU raster) and skips a frame that repeats the picture on screen.
// Main thread only.
#include "gui/canvas/canvas_commands.h"

#include <cstdint>
#include <vector>

class Fl_Window;

namespace hvn {

class Gadget;

class CanvasSurface {
public:
    CanvasSurface(Gadget *g, Fl_Window *window);
    virtual ~CanvasSurface();
    CanvasSurface(const CanvasSurface &) = delete;
    CanvasSurface &operator=(const CanvasSurface &) = delete;

    Gadget *gadget() const { return gadget_; }
    CanvasDrawState &state() { return state_; }
    void Record(CanvasCommand command) { pending_.push_back(std::move(command)); }
    // Shows what was recorded since the last flip; sync: wait for vertical sync.
    void Flip(int sync);
    // On screen now: the widget, every parent and the window shown.
    bool OnScreen() const;
    // What the last shown frame holds, rows top to bottom, alpha opaque; empty when no
    // copy is kept.
    virtual std::vector<uint32_t> ShownPixels() const = 0;
    // Frames drawn (test support).
    uint64_t presents() const { return presents_; }

protected:
    // Draws `commands` over the back buffer and shows it (or keeps it to show once the
    // window is mapped).
    virtual void Present(const CanvasCommands &commands, int sync) = 0;
    // The window's picture was lost: the next frame is drawn even when it repeats.
    void ForgetShownFrame() { shown_.clear(); }
    // The commands that made the picture on screen from nothing; empty when unknown.
    const CanvasCommands &shownFrame() const { return shown_; }
    void CountPresent() { ++presents_; }
    int width() const;
    int height() const;
    // Mouse events as gadget events; true when taken.
    bool HandleMouse(int flEvent);

private:
    Gadget *gadget_;
    Fl_Window *window_;
    CanvasDrawState state_;
    CanvasCommands pending_;
    CanvasCommands shown_;
    uint64_t presents_ = 0;
};

// The canvas of gadget `g`; nullptr when `g` has none.
CanvasSurface *FindCanvas(Gadget *g);
// Called by a canvas that goes away, so that it stops being the drawing target.
void ForgetCanvas(CanvasSurface *canvas);

// Which renderer new canvases get: GL where a hardware renderer draws, else the CPU
// raster (software GL costs more than the raster itself, and needs threads and memory).
enum class CanvasRenderer { Auto, Gl, Raster };
CanvasRenderer ChosenCanvasRenderer();
// Test support: canvases made from now on use `renderer` (Auto: the program's choice).
void UseCanvasRenderer(CanvasRenderer renderer);

} // namespace hvn
