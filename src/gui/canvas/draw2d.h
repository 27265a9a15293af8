#pragma once
// 2D drawing on GL canvases. Each canvas keeps its own drawing state (colour, alpha,
// blend mode, clear colour). Drawing goes to the back buffer; Flip shows it.
// Coordinates: pixels, origin top-left, y down. Main thread only.
#include "gui/gui.h"

#include <cstdint>
#include <vector>

namespace hvn {

enum : int { MASKBLEND = 1, SOLIDBLEND = 2, ALPHABLEND = 3 };

// Makes the canvas the drawing target; false when `canvas` is not a canvas. A canvas not
// on screen may be drawn on: its last frame shows once it is.
bool SetGraphics(Gadget *canvas);
Gadget *CurrentGraphics();
// True while the canvas is on screen (its page and window shown). Frames drawn while it is
// not are never seen except the last, so callers skip work that only feeds the picture.
bool CanvasOnScreen(Gadget *canvas);
// Components clamped to 0..255.
void SetColor(int r, int g, int b);
// Clamped to 0..1, applied as the 8-bit value truncated from alpha * 255.
void SetAlpha(double alpha);
// SOLIDBLEND: source replaces destination (alpha ignored);
// ALPHABLEND: dst = src * alpha + dst * (1 - alpha).
void SetBlend(int mode);
void SetClsColor(int r, int g, int b);
void Cls();
// Negative w or h extend the rectangle left of x or above y.
void DrawRect(float x, float y, float w, float h);
// xy: x0, y0, x1, y1, ... (a filled convex polygon; here always a triangle).
void DrawPoly(const std::vector<float> &xy);
// The pixmap at its own size with its top-left at (x, y), tinted by the colour.
void DrawPixmap(const PixmapPtr &pixmap, float x, float y);
// Shows the back buffer; sync 0 = without waiting for vertical sync. A frame in which
// nothing was drawn, or that repeats the picture on screen, costs nothing.
void Flip(int sync = 0);

// Test support: with KeepCanvasFrames(true) every Flip keeps a copy of the frame it shows
// (off by default: on GL the copy would cost every frame of the running program).
void KeepCanvasFrames(bool keep);
bool KeepsCanvasFrames();
// What the last Flip showed, RGBA as in Pixmap, rows top to bottom; empty when no copy
// was kept.
std::vector<uint32_t> ReadCanvasPixels(Gadget *canvas);
// How many frames the canvas has drawn (a skipped frame is not drawn).
uint64_t CanvasFramesDrawn(Gadget *canvas);

} // namespace hvn
