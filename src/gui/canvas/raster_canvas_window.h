#pragma once
// Internal to the canvas code: a canvas drawn by the CPU raster and shown with
// XPutImage. It keeps the shown frame, so an expose or a map puts it back without the
// program drawing again. Main thread only.
#include "gui/canvas/canvas_surface.h"
#include "gui/canvas/raster.h"

#include <FL/Fl_Window.H>

#include <X11/Xlib.h>

namespace hvn {

class RasterCanvasWindow : public Fl_Window, public CanvasSurface {
public:
    RasterCanvasWindow(Gadget *g, int x, int y, int w, int h);
    ~RasterCanvasWindow() override;

    std::vector<uint32_t> ShownPixels() const override;
    int handle(int event) override;
    void hide() override;

protected:
    void draw() override;
    void Present(const CanvasCommands &commands, int sync) override;

private:
    void FitFrame();
    bool MakeImage(Window xid);
    // whole: the window lost its picture; otherwise only what changed is sent.
    void PutOnScreen(bool whole);
    void ReleaseX();

    RasterImage frame_;
    std::vector<uint32_t> xPixels_; // what was last put, in the visual's pixel layout
    XImage *image_ = nullptr;
    GC gc_ = nullptr;
    bool unshown_ = false; // a frame waits for the window to be mapped
};

} // namespace hvn
