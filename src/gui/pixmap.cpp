// Loading, cutting and scaling pixmaps. The format is told by the first bytes of the
// data, never by the name: skins and station files carry JPEG or BMP data under ".png".
#include "gui/pixmap.h"

#include "core/embedded.h"
#include "gui/pixmap_codecs.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>

namespace hvn {

namespace {

std::atomic<uint64_t> nextGeneration{1};

// Component c of a packed pixel as a float.
float Component(uint32_t px, int c) {
    return float(px >> (8 * c) & 255);
}

uint32_t ToByte(float v) {
    return uint32_t(std::clamp(std::lround(v), 0L, 255L));
}

// Colour is mixed weighted by alpha, so a transparent neighbour lends no colour to an
// edge. Where every sample is transparent the plain mix keeps the colour, which still
// shows when the picture is drawn solid.
uint32_t MixBilinear(const std::array<uint32_t, 4> &px, float fx, float fy) {
    const std::array<float, 4> weight = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy,
                                         fx * fy};
    float plain[3] = {0, 0, 0}, weighted[3] = {0, 0, 0}, alpha = 0;
    for (int i = 0; i < 4; ++i) {
        const float a = Component(px[i], 3) * weight[i];
        for (int c = 0; c < 3; ++c) {
            plain[c] += Component(px[i], c) * weight[i];
            weighted[c] += Component(px[i], c) * a;
        }
        alpha += a;
    }
    uint32_t out[3];
    for (int c = 0; c < 3; ++c)
        out[c] = ToByte(alpha > 0 ? weighted[c] / alpha : plain[c]);
    return PackRgba(out[0], out[1], out[2], ToByte(alpha));
}

// Source coordinate of destination pixel centre `d`, split into a cell and a fraction.
void SourcePosition(int d, int dstSize, int srcSize, int &i0, int &i1, float &f) {
    const float s = std::clamp((float(d) + 0.5f) * float(srcSize) / float(dstSize) - 0.5f, 0.0f,
                               float(srcSize - 1));
    i0 = int(s);
    i1 = std::min(i0 + 1, srcSize - 1);
    f = s - float(i0);
}

} // namespace

bool PixmapSizeAcceptable(int64_t w, int64_t h) {
    return w >= 1 && h >= 1 && w <= kMaxPixmapSide && h <= kMaxPixmapSide &&
           w * h <= kMaxPixmapPixels;
}

PixmapPtr CreatePixmap(int w, int h) {
    if (!PixmapSizeAcceptable(w, h))
        return nullptr;
    auto pixmap = std::make_shared<Pixmap>();
    pixmap->width = w;
    pixmap->height = h;
    pixmap->pixels.assign(size_t(w) * size_t(h), 0);
    MarkPixmapChanged(*pixmap);
    return pixmap;
}

void MarkPixmapChanged(Pixmap &pixmap) {
    pixmap.generation = nextGeneration++;
}

PixmapPtr LoadPixmapFromMemory(const std::string &bytes) {
    if (bytes.starts_with("\x89PNG\r\n\x1a\n"))
        return DecodePng(bytes);
    if (bytes.starts_with("\xff\xd8\xff"))
        return DecodeJpeg(bytes);
    if (bytes.starts_with("BM"))
        return DecodeBmp(bytes);
    return nullptr;
}

PixmapPtr LoadPixmap(const std::string &url) {
    const auto bytes = ReadStream(url);
    return bytes ? LoadPixmapFromMemory(*bytes) : nullptr;
}

IconStripPtr LoadIconStripFromMemory(const std::string &bytes) {
    auto pixmap = LoadPixmapFromMemory(bytes);
    if (!pixmap)
        return nullptr;
    auto strip = std::make_shared<IconStrip>();
    strip->size = pixmap->height;
    strip->count = pixmap->width / pixmap->height;
    strip->pixmap = std::move(pixmap);
    return strip;
}

IconStripPtr LoadIconStrip(const std::string &url) {
    const auto bytes = ReadStream(url);
    return bytes ? LoadIconStripFromMemory(*bytes) : nullptr;
}

PixmapPtr IconStripIcon(const IconStripPtr &strip, int index) {
    if (!strip || !strip->pixmap || index < 0 || index >= strip->count)
        return nullptr;
    const Pixmap &src = *strip->pixmap;
    const int size = strip->size;
    if (int64_t(index + 1) * size > src.width || size > src.height ||
        src.pixels.size() != size_t(src.width) * size_t(src.height))
        return nullptr;
    auto icon = CreatePixmap(size, size);
    if (!icon)
        return nullptr;
    for (int y = 0; y < size; ++y) {
        const uint32_t *row = src.pixels.data() + size_t(y) * src.width + size_t(index) * size;
        std::copy(row, row + size, icon->pixels.data() + size_t(y) * size);
    }
    return icon;
}

PixmapPtr ResizePixmap(const PixmapPtr &src, int w, int h) {
    if (!src || src->width < 1 || src->height < 1 ||
        src->pixels.size() != size_t(src->width) * size_t(src->height))
        return nullptr;
    auto out = CreatePixmap(w, h);
    if (!out)
        return nullptr;
    const auto at = [&](int x, int y) { return src->pixels[size_t(y) * src->width + x]; };
    for (int y = 0; y < h; ++y) {
        int y0, y1;
        float fy;
        SourcePosition(y, h, src->height, y0, y1, fy);
        for (int x = 0; x < w; ++x) {
            int x0, x1;
            float fx;
            SourcePosition(x, w, src->width, x0, x1, fx);
            out->pixels[size_t(y) * w + x] =
                MixBilinear({at(x0, y0), at(x1, y0), at(x0, y1), at(x1, y1)}, fx, fy);
        }
    }
    return out;
}

} // namespace hvn
