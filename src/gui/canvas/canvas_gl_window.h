#pragma once
// Internal to the canvas code: a canvas drawn with GL. The recorded commands are played
// at the flip, so a frame makes its context current once. Main thread only.
#include "gui/canvas/canvas_surface.h"
#include "gui/canvas/gl_texture_cache.h"

#include <FL/Fl_Gl_Window.H>

#include <cstdint>
#include <vector>

namespace hvn {

class CanvasGlWindow : public Fl_Gl_Window, public CanvasSurface {
public:
    CanvasGlWindow(Gadget *g, int x, int y, int w, int h);
    ~CanvasGlWindow() override;

    std::vector<uint32_t> ShownPixels() const override;
    int handle(int event) override;
    // Hiding destroys the GL context: its textures are deleted first.
    void hide() override;

protected:
    void draw() override;
    void Present(const CanvasCommands &commands, int sync) override;

private:
    // Makes the GL context current with the pixel projection; false without an X window.
    bool MakeTarget();
    void Play(const CanvasCommands &commands);
    // Counts the frame and, for tests, keeps a copy of the back buffer.
    void KeepCopy();
    void ApplySwapInterval(int sync);
    void ReleaseContextResources();

    GlTextureCache textures_;
    CanvasCommands unshown_;      // drawn before the window could show them
    std::vector<uint32_t> shown_; // bottom row first, as GL reads it
    int shownW_ = 0, shownH_ = 0;
    int swapInterval_ = -1; // not set yet
};

} // namespace hvn
