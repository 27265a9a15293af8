// The canvas widget: GL where the GL renderer is hardware, the CPU raster otherwise.
#include "gui/canvas/canvas_window.h"

#include "gui/canvas/canvas_gl_window.h"
#include "gui/canvas/raster_canvas_window.h"
#include "gui/canvas/renderer_probe.h"

namespace hvn {

namespace {

CanvasRenderer g_forced = CanvasRenderer::Auto;

} // namespace

void UseCanvasRenderer(CanvasRenderer renderer) {
    g_forced = renderer;
}

CanvasRenderer ChosenCanvasRenderer() {
    if (g_forced != CanvasRenderer::Auto)
        return g_forced;
    static const CanvasRenderer probed =
        GlRendererIsHardware() ? CanvasRenderer::Gl : CanvasRenderer::Raster;
    return probed;
}

Fl_Widget *CreateCanvasWidget(Gadget *g, int x, int y, int w, int h) {
    Fl_Window *window = nullptr;
    if (ChosenCanvasRenderer() == CanvasRenderer::Gl)
        window = new CanvasGlWindow(g, x, y, w, h);
    else
        window = new RasterCanvasWindow(g, x, y, w, h);
    window->end(); // a window is a group: keep later widgets out of it
    return window;
}

} // namespace hvn
