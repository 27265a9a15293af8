#pragma once
// Internal to the canvas code: the canvas commands rasterised on the CPU, with the rules
// the GL path follows: a pixel is covered when its centre is inside the shape (centres
// on a left or bottom edge count, on a right or top edge not), vertices snapped to 1/256
// of a pixel, 8-bit blending, nearest texels, texels tinted by the colour.
#include "gui/canvas/canvas_commands.h"

#include <cstdint>
#include <vector>

namespace hvn {

struct RasterImage {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // as in Pixmap: r | g << 8 | b << 16 | a << 24, top row first
};

void Rasterise(RasterImage &image, const CanvasCommands &commands);

} // namespace hvn
