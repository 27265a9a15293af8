// PNG through libpng's simplified API, which turns every colour type and bit depth into
// 8-bit RGBA and reports corrupt or truncated data as a failed read.
#include "gui/pixmap_codecs.h"

#include <png.h>

#include <vector>

namespace hvn {

namespace {

// Frees libpng's decoder state on every exit path (freeing twice is harmless).
struct PngImage {
    png_image image{};
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
    PngImage(const PngImage &) = delete;
    PngImage &operator=(const PngImage &) = delete;
};

} // namespace

PixmapPtr DecodePng(const std::string &bytes) {
    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, bytes.data(), bytes.size()))
        return nullptr;
    if (!PixmapSizeAcceptable(png.image.width, png.image.height))
        return nullptr;
    png.image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(png.image));
    if (!png_image_finish_read(&png.image, nullptr, rgba.data(), 0, nullptr))
        return nullptr;

    auto pixmap = CreatePixmap(int(png.image.width), int(png.image.height));
    if (!pixmap)
        return nullptr;
    const uint8_t *p = rgba.data();
    for (auto &px : pixmap->pixels) {
        px = PackRgba(p[0], p[1], p[2], p[3]);
        p += 4;
    }
    return pixmap;
}

} // namespace hvn
