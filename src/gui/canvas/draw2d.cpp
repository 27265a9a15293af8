// 2D drawing calls: each records a command, with the canvas's own colour, alpha and
// blend mode at that moment, on the current canvas; Flip hands the frame to the canvas.
#include "gui/canvas/draw2d.h"

#include "gui/canvas/canvas_surface.h"

#include <algorithm>

namespace hvn {

namespace {

CanvasSurface *current = nullptr;
bool g_keepFrames = false;

uint8_t ClampComponent(int v) {
    return uint8_t(std::clamp(v, 0, 255));
}

CanvasCommand Shape(CanvasCommand::Kind kind) {
    const CanvasDrawState &s = current->state();
    CanvasCommand c;
    c.kind = kind;
    c.blend = s.blend;
    c.color = s.color;
    c.alpha = s.blend == SOLIDBLEND ? 255 : s.alpha; // solid ignores it: same picture
    return c;
}

} // namespace

void ForgetCanvas(CanvasSurface *canvas) {
    if (current == canvas)
        current = nullptr;
}

bool SetGraphics(Gadget *canvas) {
    CanvasSurface *found = FindCanvas(canvas);
    if (!found)
        return false;
    current = found;
    return true;
}

Gadget *CurrentGraphics() {
    return current ? current->gadget() : nullptr;
}

bool CanvasOnScreen(Gadget *canvas) {
    const CanvasSurface *found = FindCanvas(canvas);
    return found && found->OnScreen();
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
    if (!current)
        return;
    CanvasCommand c;
    c.kind = CanvasCommand::Kind::Clear;
    c.color = current->state().clsColor;
    current->Record(std::move(c));
}

void DrawRect(float x, float y, float w, float h) {
    if (!current)
        return;
    CanvasCommand c = Shape(CanvasCommand::Kind::Rect);
    c.x = x, c.y = y, c.w = w, c.h = h;
    current->Record(std::move(c));
}

void DrawPoly(const std::vector<float> &xy) {
    if (!current || xy.size() < 6)
        return;
    CanvasCommand c = Shape(CanvasCommand::Kind::Poly);
    c.xy.assign(xy.begin(), xy.end() - long(xy.size() % 2));
    current->Record(std::move(c));
}

void DrawPixmap(const PixmapPtr &pixmap, float x, float y) {
    if (!current || !pixmap)
        return;
    CanvasCommand c = Shape(CanvasCommand::Kind::Pixmap);
    c.x = x, c.y = y;
    c.pixmap = pixmap;
    c.generation = pixmap->generation;
    current->Record(std::move(c));
}

void Flip(int sync) {
    if (current)
        current->Flip(sync);
}

void KeepCanvasFrames(bool keep) {
    g_keepFrames = keep;
}

bool KeepsCanvasFrames() {
    return g_keepFrames;
}

std::vector<uint32_t> ReadCanvasPixels(Gadget *canvas) {
    const CanvasSurface *found = FindCanvas(canvas);
    return found ? found->ShownPixels() : std::vector<uint32_t>{};
}

uint64_t CanvasFramesDrawn(Gadget *canvas) {
    const CanvasSurface *found = FindCanvas(canvas);
    return found ? found->presents() : 0;
}

} // namespace hvn
