// 2D drawing with the fixed-function pipeline. Each canvas keeps its own colour,
// alpha, blend mode and clear colour and applies them at every draw call, so two
// canvases never see each other's settings. Shapes use GL's polygon rule (a pixel is
// covered when its centre is inside), so a rectangle between integer edges covers
// exactly the pixels between them.
#include "gui/canvas/draw2d.h"

#include "gui/canvas/canvas_gl_window.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace hvn {

namespace {

CanvasGlWindow *current = nullptr;

// The current canvas with its context current, or nullptr.
CanvasGlWindow *Target() {
    if (!current || !current->EnsureTarget())
        return nullptr;
    return current;
}

uint8_t ClampComponent(int v) {
    return uint8_t(std::clamp(v, 0, 255));
}

void ApplyBlend(const CanvasDrawState &s) {
    switch (s.blend) {
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
    glColor4ub(s.color.r, s.color.g, s.color.b, s.alpha);
}

} // namespace

void ForgetCanvasWindow(CanvasGlWindow *window) {
    if (current == window)
        current = nullptr;
}

bool SetGraphics(Gadget *canvas) {
    CanvasGlWindow *window = FindCanvasWindow(canvas);
    if (!window || !window->MakeTarget())
        return false;
    current = window;
    return true;
}

Gadget *CurrentGraphics() {
    return current ? current->gadget() : nullptr;
}

void SetColor(int r, int g, int b) {
    if (current)
        current->state().color = {ClampComponent(r), ClampComponent(g), ClampComponent(b)};
}

void SetAlpha(double alpha) {
    if (!current)
        return;
    const double a = alpha >= 0 ? std::min(alpha, 1.0) : 0.0; // NaN counts as 0
    current->state().alpha = uint8_t(int(a * 255));
}

void SetBlend(int mode) {
    if (current && (mode == MASKBLEND || mode == SOLIDBLEND || mode == ALPHABLEND))
        current->state().blend = mode;
}

void SetClsColor(int r, int g, int b) {
    if (current)
        current->state().clsColor = {ClampComponent(r), ClampComponent(g), ClampComponent(b)};
}

void Cls() {
    CanvasGlWindow *t = Target();
    if (!t)
        return;
    const Rgb &c = t->state().clsColor;
    glClearColor(float(c.r) / 255.0f, float(c.g) / 255.0f, float(c.b) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void DrawRect(float x, float y, float w, float h) {
    CanvasGlWindow *t = Target();
    if (!t)
        return;
    const float x0 = std::min(x, x + w), x1 = std::max(x, x + w);
    const float y0 = std::min(y, y + h), y1 = std::max(y, y + h);
    glDisable(GL_TEXTURE_2D);
    ApplyBlend(t->state());
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

void DrawPoly(const std::vector<float> &xy) {
    CanvasGlWindow *t = Target();
    if (!t || xy.size() < 6)
        return;
    glDisable(GL_TEXTURE_2D);
    ApplyBlend(t->state());
    glBegin(GL_POLYGON);
    for (size_t i = 0; i + 1 < xy.size(); i += 2)
        glVertex2f(xy[i], xy[i + 1]);
    glEnd();
}

void DrawPixmap(const PixmapPtr &pixmap, float x, float y) {
    CanvasGlWindow *t = Target();
    if (!t || !pixmap)
        return;
    const GLuint texture = t->textures().Texture(pixmap, t->context());
    if (!texture)
        return;
    const float x1 = x + float(pixmap->width), y1 = y + float(pixmap->height);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE); // tinted by the colour
    ApplyBlend(t->state());
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(x, y);
    glTexCoord2f(1, 0);
    glVertex2f(x1, y);
    glTexCoord2f(1, 1);
    glVertex2f(x1, y1);
    glTexCoord2f(0, 1);
    glVertex2f(x, y1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

void Flip(int sync) {
    if (CanvasGlWindow *t = Target())
        t->Present(sync);
}

namespace {
bool g_keepFrames = false;
}

void KeepCanvasFrames(bool keep) {
    g_keepFrames = keep;
}

bool KeepsCanvasFrames() {
    return g_keepFrames;
}

std::vector<uint32_t> ReadCanvasPixels(Gadget *canvas) {
    CanvasGlWindow *window = FindCanvasWindow(canvas);
    return window ? window->ShownPixels() : std::vector<uint32_t>{};
}

} // namespace hvn
