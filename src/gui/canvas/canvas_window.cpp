// The GL canvas widget. It reports mouse input and paint requests as events and draws
// nothing itself: the program draws on it only through draw2d.h. A copy of each frame
// is read back before the swap, because what the front buffer holds after an expose or
// while the window is covered is undefined.
#include "gui/canvas/canvas_window.h"

#include "events/queue.h"
#include "gui/canvas/canvas_gl_window.h"
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/x.H>
#include <GL/glext.h>
#include <GL/glx.h>

#include <cstring>
#include <unordered_map>

namespace hvn {

namespace {

std::unordered_map<Gadget *, CanvasGlWindow *> &Registry() {
    static std::unordered_map<Gadget *, CanvasGlWindow *> canvases;
    return canvases;
}

bool HasGlxExtension(const char *name) {
    const char *all = glXQueryExtensionsString(fl_display, DefaultScreen(fl_display));
    if (!all)
        return false;
    const size_t n = std::strlen(name);
    for (const char *p = std::strstr(all, name); p; p = std::strstr(p + n, name))
        if ((p == all || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0'))
            return true;
    return false;
}

// Sets the swap interval of the current context's drawable where GLX lets us; without
// either extension the driver's default stays.
void SetCurrentSwapInterval(int interval) {
    using ExtFn = void (*)(Display *, GLXDrawable, int);
    using MesaFn = int (*)(unsigned);
    static const auto ext = HasGlxExtension("GLX_EXT_swap_control")
                                ? reinterpret_cast<ExtFn>(glXGetProcAddressARB(
                                      reinterpret_cast<const GLubyte *>("glXSwapIntervalEXT")))
                                : nullptr;
    static const auto mesa = HasGlxExtension("GLX_MESA_swap_control")
                                 ? reinterpret_cast<MesaFn>(glXGetProcAddressARB(
                                       reinterpret_cast<const GLubyte *>("glXSwapIntervalMESA")))
                                 : nullptr;
    if (ext)
        ext(fl_display, glXGetCurrentDrawable(), interval);
    else if (mesa)
        mesa(unsigned(interval));
}

} // namespace

CanvasGlWindow::CanvasGlWindow(Gadget *g, int x, int y, int w, int h)
    : Fl_Gl_Window(x, y, w, h), gadget_(g) {
    mode(FL_RGB | FL_DOUBLE | FL_ALPHA);
    Registry()[g] = this;
}

CanvasGlWindow::~CanvasGlWindow() {
    auto &registry = Registry();
    auto it = registry.find(gadget_);
    if (it != registry.end() && it->second == this)
        registry.erase(it);
    ReleaseContextResources();
    ForgetCanvasWindow(this);
}

void CanvasGlWindow::ReleaseContextResources() {
    if (context() && shown()) {
        make_current();
        textures_.Clear();
    }
    swapInterval_ = -1; // a new X window starts with the driver's default
}

void CanvasGlWindow::hide() {
    ReleaseContextResources();
    Fl_Gl_Window::hide();
}

bool CanvasGlWindow::MakeTarget() {
    if (!shown() || !fl_xid(this))
        return false;
    make_current();
    glViewport(0, 0, w(), h());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w(), h(), 0, -1, 1); // pixels, origin top-left, y down
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glDisable(GL_SCISSOR_TEST);
    return true;
}

bool CanvasGlWindow::EnsureTarget() {
    if (context() && glXGetCurrentContext() == static_cast<GLXContext>(context()))
        return true;
    return MakeTarget();
}

void CanvasGlWindow::ApplySwapInterval(int sync) {
    const int interval = sync ? 1 : 0;
    if (interval == swapInterval_)
        return;
    SetCurrentSwapInterval(interval);
    swapInterval_ = interval;
}

void CanvasGlWindow::Present(int sync) {
    ApplySwapInterval(sync);
    shownW_ = w();
    shownH_ = h();
    if (KeepsCanvasFrames()) {
        shown_.resize(size_t(shownW_) * size_t(shownH_));
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glReadPixels(0, 0, shownW_, shownH_, GL_RGBA, GL_UNSIGNED_INT_8_8_8_8_REV, shown_.data());
    } else {
        shown_.clear();
    }
    swap_buffers();
}

std::vector<uint32_t> CanvasGlWindow::ShownPixels() const {
    if (shown_.size() != size_t(shownW_) * size_t(shownH_))
        return {};
    std::vector<uint32_t> out(shown_.size());
    for (int y = 0; y < shownH_; ++y) {
        const uint32_t *src = shown_.data() + size_t(shownH_ - 1 - y) * shownW_;
        uint32_t *dst = out.data() + size_t(y) * shownW_;
        for (int x = 0; x < shownW_; ++x)
            dst[x] = src[x] | 0xff000000u; // the screen shows no transparency
    }
    return out;
}

int CanvasGlWindow::handle(int event) {
    // A canvas is an X window of its own: FLTK's coordinates are already relative to it.
    if (EmitMouse(gadget_, event, Fl::event_x(), Fl::event_y()))
        return 1;
    return Fl_Gl_Window::handle(event);
}

void CanvasGlWindow::draw() {
    Emit(gadget_, GadgetPaint, 0, 0, 0);
}

CanvasGlWindow *FindCanvasWindow(Gadget *g) {
    auto &registry = Registry();
    auto it = registry.find(g);
    return it == registry.end() ? nullptr : it->second;
}

Fl_Widget *CreateCanvasWidget(Gadget *g, int x, int y, int w, int h) {
    auto *window = new CanvasGlWindow(g, x, y, w, h);
    window->end(); // a window is a group: keep later widgets out of it
    return window;
}

} // namespace hvn
