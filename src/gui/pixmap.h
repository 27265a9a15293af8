#pragma once
// Pixmaps and icon strips: decoded images in memory (PNG, JPEG, BMP). Main thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hvn {

// RGBA, 8 bits per component, rows top to bottom; pixel = r | g << 8 | b << 16 | a << 24.
struct Pixmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint64_t generation = 0; // changes whenever pixels change (texture caches use it)
};
using PixmapPtr = std::shared_ptr<Pixmap>;

// An image cut into square icons as high as the image, numbered from the left.
struct IconStrip {
    PixmapPtr pixmap;
    int count = 0;
    int size = 0;
};
using IconStripPtr = std::shared_ptr<IconStrip>;

// From a file path or an embedded name "Incbin::./data/NAME"; nullptr when the data is
// missing or does not decode.
PixmapPtr LoadPixmap(const std::string &url);
PixmapPtr LoadPixmapFromMemory(const std::string &bytes);
IconStripPtr LoadIconStrip(const std::string &url);
IconStripPtr LoadIconStripFromMemory(const std::string &bytes);
// Icon `index` of the strip as a pixmap of its own; nullptr when out of range.
PixmapPtr IconStripIcon(const IconStripPtr &strip, int index);
// A new pixmap scaled to w x h (bilinear); nullptr for a null source or a size below 1.
PixmapPtr ResizePixmap(const PixmapPtr &src, int w, int h);

// A new transparent black w x h pixmap; nullptr for a size below 1 or beyond the limits.
PixmapPtr CreatePixmap(int w, int h);
// Gives the pixmap a new generation; call after changing its pixels so that cached
// textures are made again. Every new pixmap starts with a generation of its own.
void MarkPixmapChanged(Pixmap &pixmap);

} // namespace hvn
