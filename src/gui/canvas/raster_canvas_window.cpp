#include "gui/canvas/raster_canvas_window.h"

#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <X11/Xutil.h>

#include <algorithm>

namespace hvn {

namespace {

// Where one 8-bit component goes in a pixel of the visual.
struct ChannelLayout {
    int shift = 0;
    int bits = 8;
    explicit ChannelLayout(unsigned long mask) {
        if (!mask)
            return;
        while (!(mask & 1))
            mask >>= 1, ++shift;
        bits = 0;
        while (mask & 1)
            mask >>= 1, ++bits;
    }
    unsigned long Place(uint32_t component) const {
        const unsigned long v =
            bits == 8 ? component : (component * ((1ul << bits) - 1) + 127) / 255;
        return v << shift;
    }
};

bool HostIsLittleEndian() {
    const uint16_t one = 1;
    return *reinterpret_cast<const uint8_t *>(&one) == 1;
}

} // namespace

RasterCanvasWindow::RasterCanvasWindow(Gadget *g, int x, int y, int w, int h)
    : Fl_Window(x, y, w, h), CanvasSurface(g, this) {
    FitFrame();
}

RasterCanvasWindow::~RasterCanvasWindow() {
    ReleaseX();
}

void RasterCanvasWindow::ReleaseX() {
    if (image_) {
        image_->data = nullptr; // ours, not Xlib's
        XDestroyImage(image_);
        image_ = nullptr;
    }
    if (gc_ && fl_display)
        XFreeGC(fl_display, gc_);
    gc_ = nullptr;
}

void RasterCanvasWindow::hide() {
    ReleaseX();
    Fl_Window::hide();
}

std::vector<uint32_t> RasterCanvasWindow::ShownPixels() const {
    std::vector<uint32_t> out(frame_.pixels);
    for (uint32_t &p : out)
        p |= 0xff000000u; // the screen shows no transparency
    return out;
}

void RasterCanvasWindow::FitFrame() {
    if (frame_.width == w() && frame_.height == h())
        return;
    ReleaseX(); // the image has the old size
    frame_.width = w();
    frame_.height = h();
    frame_.pixels.assign(size_t(w()) * size_t(h()), 0xff000000u);
}

void RasterCanvasWindow::Present(const CanvasCommands &commands, int) {
    FitFrame();
    Rasterise(frame_, commands);
    CountPresent();
    if (visible_r() && shown())
        PutOnScreen(false);
    // Otherwise the map's expose puts it there (draw()).
}

bool RasterCanvasWindow::MakeImage(Window xid) {
    if (image_)
        return true;
    image_ = XCreateImage(fl_display, fl_visual->visual, unsigned(fl_visual->depth), ZPixmap, 0,
                          nullptr, unsigned(frame_.width), unsigned(frame_.height), 32, 0);
    if (!image_)
        return false;
    image_->byte_order = HostIsLittleEndian() ? LSBFirst : MSBFirst; // Xlib swaps for us
    xPixels_.assign((size_t(image_->bytes_per_line) * size_t(frame_.height) + 3) / 4, 0);
    image_->data = reinterpret_cast<char *>(xPixels_.data());
    gc_ = XCreateGC(fl_display, xid, 0, nullptr);
    return true;
}

void RasterCanvasWindow::PutOnScreen(bool whole) {
    const Window xid = fl_xid(this);
    if (!xid || frame_.width < 1 || frame_.height < 1)
        return;
    if (!image_) {
        if (!MakeImage(xid))
            return;
        whole = true;
    }
    const Visual *visual = fl_visual->visual;
    const ChannelLayout red(visual->red_mask), green(visual->green_mask), blue(visual->blue_mask);
    const bool packed = image_->bits_per_pixel == 32;
    const int stride = image_->bytes_per_line / 4;
    // Only the band of rows and columns that changed since the last put goes to the
    // server: between frames of bars most of the canvas stays the logo.
    int x0 = frame_.width, x1 = 0, y0 = frame_.height, y1 = 0;
    for (int y = 0; y < frame_.height; ++y) {
        const uint32_t *src = frame_.pixels.data() + size_t(y) * frame_.width;
        uint32_t *dst = xPixels_.data() + size_t(y) * stride;
        for (int x = 0; x < frame_.width; ++x) {
            const uint32_t p = src[x];
            const unsigned long v =
                red.Place(p & 0xff) | green.Place((p >> 8) & 0xff) | blue.Place((p >> 16) & 0xff);
            if (packed) {
                if (dst[x] == uint32_t(v) && !whole)
                    continue;
                dst[x] = uint32_t(v);
            } else { // an unusual visual: pixel by pixel
                XPutPixel(image_, x, y, v);
            }
            x0 = std::min(x0, x), x1 = std::max(x1, x + 1);
            y0 = std::min(y0, y), y1 = std::max(y1, y + 1);
        }
    }
    if (whole || !packed)
        x0 = 0, y0 = 0, x1 = frame_.width, y1 = frame_.height;
    if (x0 < x1 && y0 < y1)
        XPutImage(fl_display, xid, gc_, image_, x0, y0, x0, y0, unsigned(x1 - x0),
                  unsigned(y1 - y0));
}

int RasterCanvasWindow::handle(int event) {
    if (HandleMouse(event))
        return 1;
    return Fl_Window::handle(event);
}

void RasterCanvasWindow::draw() {
    // An expose or a map: the kept frame goes back without the program drawing again.
    FitFrame();
    PutOnScreen(true);
    Emit(gadget(), GadgetPaint, 0, 0, 0);
}

} // namespace hvn
