#pragma once
// Internal to the canvas code: one frame's drawing as a list of commands. The drawing
// calls record them; a flip hands the list to the canvas's renderer. Keeping the list
// lets a flip see that a frame repeats the one on screen and skip it.
#include "gui/canvas/draw2d.h"
#include "gui/pixmap.h"

#include <cstdint>
#include <vector>

namespace hvn {

struct CanvasDrawState {
    Rgb color{255, 255, 255};
    uint8_t alpha = 255;
    int blend = MASKBLEND;
    Rgb clsColor{0, 0, 0};
};

struct CanvasCommand {
    enum class Kind : uint8_t { Clear, Rect, Poly, Pixmap };
    Kind kind = Kind::Clear;
    int blend = SOLIDBLEND;
    Rgb color{0, 0, 0}; // the clear colour for Clear
    uint8_t alpha = 255;
    float x = 0, y = 0, w = 0, h = 0; // Rect: as given; Pixmap: top-left
    std::vector<float> xy;            // Poly
    PixmapPtr pixmap;                 // Pixmap; held so that its address stays its own
    uint64_t generation = 0;

    bool operator==(const CanvasCommand &o) const {
        return kind == o.kind && blend == o.blend && color == o.color && alpha == o.alpha &&
               x == o.x && y == o.y && w == o.w && h == o.h && xy == o.xy && pixmap == o.pixmap &&
               generation == o.generation;
    }
};

using CanvasCommands = std::vector<CanvasCommand>;

// True when the first command paints every pixel of a w x h canvas whatever was there
// before: then the list alone decides the picture.
bool CoversCanvas(const CanvasCommands &commands, int w, int h);

} // namespace hvn
