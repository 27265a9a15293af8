// The GL canvas widget. A copy of a frame is read back before the swap only when tests
// ask for it (KeepCanvasFrames): what the front buffer holds after an expose or while
// the window is covered is undefined. Shapes use GL's polygon rule (a pixel is covered
// when its centre is inside), so a rectangle between integer edges covers exactly the
// pixels between them.
#include "gui/canvas/canvas_gl_window.h"

#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <GL/glext.h>
#include <GL/glx.h>

#include <algorithm>
#include <cstring>

namespace hvn {

namespace {

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

void ApplyBlend(const CanvasCommand &c) {
    switch (c.blend) {
    case ALPHABLEND:
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case MASKBLEND: // pixels at least half opaque are drawn solid, the rest not at all
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.5f);
        break;
    default: // SOLIDBLEND
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        break;
    }
    glColor4ub(GLubyte(c.color.r), GLubyte(c.color.g), GLubyte(c.color.b), c.alpha);
}

void GlClear(const CanvasCommand &c) {
    glClearColor(float(c.color.r) / 255.0f, float(c.color.g) / 255.0f, float(c.color.b) / 255.0f,
                 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void GlRect(const CanvasCommand &c) {
    const float x0 = std::min(c.x, c.x + c.w), x1 = std::max(c.x, c.x + c.w);
    const float y0 = std::min(c.y, c.y + c.h), y1 = std::max(c.y, c.y + c.h);
    glDisable(GL_TEXTURE_2D);
    ApplyBlend(c);
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

void GlPoly(const CanvasCommand &c) {
    if (c.xy.size() < 6)
        return;
    glDisable(GL_TEXTURE_2D);
    ApplyBlend(c);
    glBegin(GL_POLYGON);
    for (size_t i = 0; i + 1 < c.xy.size(); i += 2)
        glVertex2f(c.xy[i], c.xy[i + 1]);
    glEnd();
}

void GlPixmap(const CanvasCommand &c, GLuint texture) {
    if (!texture)
        return;
    const float x1 = c.x + float(c.pixmap->width), y1 = c.y + float(c.pixmap->height);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE); // tinted by the colour
    ApplyBlend(c);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(c.x, c.y);
    glTexCoord2f(1, 0);
    glVertex2f(x1, c.y);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 1);
    glVertex2f(c.x, y1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

} // namespace

CanvasGlWindow::CanvasGlWindow(Gadget *g, int x, int y, int w, int h)
    : Fl_Gl_Window(x, y, w, h), CanvasSurface(g, this) {
    mode(FL_RGB | FL_DOUBLE | FL_ALPHA);
}

CanvasGlWindow::~CanvasGlWindow() {
    ReleaseContextResources();
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
    ForgetShownFrame();
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

void CanvasGlWindow::Play(const CanvasCommands &commands) {
    for (const CanvasCommand &c : commands) {
        switch (c.kind) {
        case CanvasCommand::Kind::Clear:
            GlClear(c);
            break;
        case CanvasCommand::Kind::Rect:
            GlRect(c);
            break;
        case CanvasCommand::Kind::Poly:
            GlPoly(c);
            break;
        case CanvasCommand::Kind::Pixmap:
            GlPixmap(c, textures_.Texture(c.pixmap, context()));
            break;
        }
    }
}

void CanvasGlWindow::ApplySwapInterval(int sync) {
    const int interval = sync ? 1 : 0;
    if (interval == swapInterval_)
        return;
    SetCurrentSwapInterval(interval);
    swapInterval_ = interval;
}

void CanvasGlWindow::KeepCopy() {
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
    CountPresent();
}

void CanvasGlWindow::Present(const CanvasCommands &commands, int sync) {
    // Without an X window yet the frame waits; one that covers the canvas replaces what
    // waited before it.
    if (!MakeTarget()) {
        if (CoversCanvas(commands, w(), h()))
            unshown_.clear();
        unshown_.insert(unshown_.end(), commands.begin(), commands.end());
        return;
    }
    if (!unshown_.empty() && !CoversCanvas(commands, w(), h()))
        Play(unshown_);
    unshown_.clear();
    Play(commands);
    ApplySwapInterval(sync);
    KeepCopy();
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
    if (HandleMouse(event))
        return 1;
    return Fl_Gl_Window::handle(event);
}

void CanvasGlWindow::draw() {
    // The toolkit redraws after a map or an expose, and swaps after this: a frame that
    // waited, or the last one when it alone makes the picture; otherwise the program is
    // asked.
    const CanvasCommands &again = unshown_.empty() ? shownFrame() : unshown_;
    if (!again.empty() && MakeTarget()) {
        const CanvasCommands frame = again;
        unshown_.clear();
        Play(frame);
        KeepCopy();
    } else {
        ForgetShownFrame();
    }
    Emit(gadget(), GadgetPaint, 0, 0, 0);
}

} // namespace hvn
