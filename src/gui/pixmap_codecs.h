#pragma once
// Internal to the gui layer: the image decoders behind LoadPixmapFromMemory. Each takes
// the whole file's bytes and returns nullptr for anything it cannot decode completely.
#include "gui/pixmap.h"

#include <cstdint>
#include <string>

namespace hvn {

// Upper bounds that keep a hostile header from making us allocate gigabytes.
constexpr int64_t kMaxPixmapSide = 16384;
constexpr int64_t kMaxPixmapPixels = int64_t(1) << 24;

bool PixmapSizeAcceptable(int64_t w, int64_t h);

inline uint32_t PackRgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return r | g << 8 | b << 16 | a << 24;
}

PixmapPtr DecodePng(const std::string &bytes);
PixmapPtr DecodeJpeg(const std::string &bytes);
PixmapPtr DecodeBmp(const std::string &bytes);

} // namespace hvn
