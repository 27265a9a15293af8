#include "gui/canvas/raster_canvas_window.h"

#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <X11/Xutil.h>

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
        PutOnScreen();
    // Otherwise the map's expose puts it there (draw()).
}

void RasterCanvasWindow::PutOnScreen() {
    const Window xid = fl_xid(this);
    if (!xid || frame_.width < 1 || frame_.height < 1)
        return;
    Visual *visual = fl_visual->visual;
    if (!image_) {
        image_ = XCreateImage(fl_display, visual, unsigned(fl_visual->depth), ZPixmap, 0, nullptr,
                              unsigned(frame_.width), unsigned(frame_.height), 32, 0);
        if (!image_)
            return;
        image_->byte_order = HostIsLittleEndian() ? LSBFirst : MSBFirst; // Xlib swaps for us
        gc_ = XCreateGC(fl_display, xid, 0, nullptr);
    }
    const ChannelLayout red(visual->red_mask), green(visual->green_mask), blue(visual->blue_mask);
    const size_t count = frame_.pixels.size();
    if (image_->bits_per_pixel == 32) {
        xPixels_.resize(size_t(image_->bytes_per_line / 4) * size_t(frame_.height));
        image_->data = reinterpret_cast<char *>(xPixels_.data());
        const int stride = image_->bytes_per_line / 4;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t p = frame_.pixels[i];
            xPixels_[(i / frame_.width) * stride + i % frame_.width] = uint32_t(
                red.Place(p & 0xff) | green.Place((p >> 8) & 0xff) | blue.Place((p >> 16) & 0xff));
        }
    } else { // an unusual visual: pixel by pixel
        xPixels_.assign((size_t(image_->bytes_per_line) * frame_.height + 3) / 4, 0);
        image_->data = reinterpret_cast<char *>(xPixels_.data());
        for (int y = 0; y < frame_.height; ++y)
            for (int x = 0; x < frame_.width; ++x) {
                const uint32_t p = frame_.pixels[size_t(y) * frame_.width + x];
                XPutPixel(image_, x, y,
                          red.Place(p & 0xff) | green.Place((p >> 8) & 0xff) |
                              blue.Place((p >> 16) & 0xff));
            }
    }
    XPutImage(fl_display, xid, gc_, image_, 0, 0, 0, 0, unsigned(frame_.width),
              unsigned(frame_.height));
}

int RasterCanvasWindow::handle(int event) {
    if (HandleMouse(event))
        return 1;
    return Fl_Window::handle(event);
}

void RasterCanvasWindow::draw() {
    // An expose or a map: the kept frame goes back without the program drawing again.
    FitFrame();
    PutOnScreen();
    Emit(gadget(), GadgetPaint, 0, 0, 0);
}

} // namespace hvn
