#pragma once
// Internal to the canvas code: the Fl_Gl_Window behind a canvas gadget and the drawing
// state it keeps. Main thread only.
#include "gui/canvas/draw2d.h"
#include "gui/canvas/gl_texture_cache.h"

#include <FL/Fl_Gl_Window.H>

#include <cstdint>
#include <vector>

namespace hvn {

struct CanvasDrawState {
    Rgb color{255, 255, 255};
    uint8_t alpha = 255;
    int blend = MASKBLEND;
    Rgb clsColor{0, 0, 0};
};

class CanvasGlWindow : public Fl_Gl_Window {
public:
    CanvasGlWindow(Gadget *g, int x, int y, int w, int h);
    ~CanvasGlWindow() override;

    Gadget *gadget() const { return gadget_; }
    CanvasDrawState &state() { return state_; }
    GlTextureCache &textures() { return textures_; }

    // Makes the GL context current and sets the pixel projection; false when the
    // window has no X window yet.
    bool MakeTarget();
    // The GL context may have been switched by the toolkit (it redraws other canvases
    // inside its event wait); makes ours current again when so.
    bool EnsureTarget();
    // Keeps a copy of the back buffer, then swaps. sync: wait for vertical sync.
    void Present(int sync);
    // The copy kept by the last Present, rows top to bottom, alpha opaque.
    std::vector<uint32_t> ShownPixels() const;

    int handle(int event) override;
    // Hiding destroys the GL context: its textures are deleted first.
    void hide() override;

protected:
    void draw() override;

private:
    void ApplySwapInterval(int sync);
    void ReleaseContextResources();

    Gadget *gadget_;
    CanvasDrawState state_;
    GlTextureCache textures_;
    std::vector<uint32_t> shown_; // bottom row first, as GL reads it
    int shownW_ = 0, shownH_ = 0;
    int swapInterval_ = -1; // not set yet
};

// The canvas window of gadget `g`; nullptr when `g` has none.
CanvasGlWindow *FindCanvasWindow(Gadget *g);
// Called by a canvas window that goes away, so that it stops being the drawing target.
void ForgetCanvasWindow(CanvasGlWindow *window);

} // namespace hvn
