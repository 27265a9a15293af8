// Coordinates become 24.8 fixed point, so that every edge test is exact integer
// arithmetic and a pixel centre lies at 128 + 256 k.
#include "gui/canvas/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hvn {

namespace {

constexpr int64_t kOne = 256;
constexpr int64_t kHalf = 128;
// Far outside any canvas, small enough that edge products stay well inside 64 bits.
constexpr double kLimit = 1 << 20;

int64_t Fixed(float v) {
    const double d = std::clamp(double(v), -kLimit, kLimit);
    return int64_t(std::llround(d * double(kOne)));
}

// The first pixel whose centre is at or right of `edge` (fixed point).
int FirstCentreAtOrAfter(int64_t edge) {
    const int64_t n = edge - kHalf;
    return int(n >= 0 ? (n + kOne - 1) / kOne : -((-n) / kOne));
}

uint8_t Channel(uint32_t p, int shift) {
    return uint8_t(p >> shift);
}

uint32_t Pack(int r, int g, int b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16 | 0xff000000u;
}

// a * b / 255 rounded, as GL multiplies 8-bit values.
int Mul(int a, int b) {
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// Each term rounded on its own, as GL blends 8-bit colour.
int Mix(int src, int dst, int alpha) {
    return std::min(255, Mul(src, alpha) + Mul(dst, 255 - alpha));
}

// One source colour with its alpha onto a pixel under the blend mode.
void Put(uint32_t &dst, int r, int g, int b, int a, int blend) {
    switch (blend) {
    case ALPHABLEND:
        dst = Pack(Mix(r, Channel(dst, 0), a), Mix(g, Channel(dst, 8), a),
                   Mix(b, Channel(dst, 16), a));
        break;
    case MASKBLEND: // drawn when at least half opaque
        if (a * 2 >= 255)
            dst = Pack(r, g, b);
        break;
    default:
        dst = Pack(r, g, b);
        break;
    }
}

struct Span {
    int x0, x1, y0, y1; // pixels x0 <= x < x1, y0 <= y < y1, inside the image
};

// The pixels whose centres are inside [x0, x1) x (y0, y1] (fixed point): GL's tie rule
// (left and top edges in its own y-up coordinates) seen with y down.
Span CoveredPixels(const RasterImage &image, int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
    Span s{FirstCentreAtOrAfter(x0), FirstCentreAtOrAfter(x1), FirstCentreAtOrAfter(y0 + 1),
           FirstCentreAtOrAfter(y1 + 1)};
    s.x0 = std::max(s.x0, 0), s.x1 = std::min(s.x1, image.width);
    s.y0 = std::max(s.y0, 0), s.y1 = std::min(s.y1, image.height);
    return s;
}

void FillRect(RasterImage &image, const CanvasCommand &c) {
    const int64_t ax = Fixed(c.x), bx = Fixed(c.x + c.w);
    const int64_t ay = Fixed(c.y), by = Fixed(c.y + c.h);
    const Span s = CoveredPixels(image, std::min(ax, bx), std::max(ax, bx), std::min(ay, by),
                                 std::max(ay, by));
    for (int y = s.y0; y < s.y1; ++y) {
        uint32_t *row = image.pixels.data() + size_t(y) * image.width;
        for (int x = s.x0; x < s.x1; ++x)
            Put(row[x], c.color.r, c.color.g, c.color.b, c.alpha, c.blend);
    }
}

struct Edge {
    int64_t nx, ny, c; // inside: nx * px + ny * py + c > 0, or == 0 on a left or bottom edge
    bool includesTies;
    bool Inside(int64_t px, int64_t py) const {
        const int64_t e = nx * px + ny * py + c;
        return e > 0 || (e == 0 && includesTies);
    }
};

// The edge a -> b of a triangle whose interior lies on the side of `other`.
Edge MakeEdge(int64_t ax, int64_t ay, int64_t bx, int64_t by, bool clockwise) {
    int64_t nx = ay - by, ny = bx - ax;
    if (!clockwise)
        nx = -nx, ny = -ny;
    return {nx, ny, -(nx * ax + ny * ay), nx > 0 || (nx == 0 && ny < 0)};
}

void FillTriangle(RasterImage &image, const CanvasCommand &c, const int64_t *v) {
    const int64_t area = (v[2] - v[0]) * (v[5] - v[1]) - (v[3] - v[1]) * (v[4] - v[0]);
    if (area == 0)
        return;
    const bool cw = area > 0; // clockwise on screen (y down)
    const Edge edges[3] = {MakeEdge(v[0], v[1], v[2], v[3], cw),
                           MakeEdge(v[2], v[3], v[4], v[5], cw),
                           MakeEdge(v[4], v[5], v[0], v[1], cw)};
    const Span s =
        CoveredPixels(image, std::min({v[0], v[2], v[4]}), std::max({v[0], v[2], v[4]}) + 1,
                      std::min({v[1], v[3], v[5]}) - 1, std::max({v[1], v[3], v[5]}));
    for (int y = s.y0; y < s.y1; ++y) {
        const int64_t py = int64_t(y) * kOne + kHalf;
        uint32_t *row = image.pixels.data() + size_t(y) * image.width;
        for (int x = s.x0; x < s.x1; ++x) {
            const int64_t px = int64_t(x) * kOne + kHalf;
            if (edges[0].Inside(px, py) && edges[1].Inside(px, py) && edges[2].Inside(px, py))
                Put(row[x], c.color.r, c.color.g, c.color.b, c.alpha, c.blend);
        }
    }
}

// A convex polygon as a fan of triangles; the shared edges follow the tie rule, so no
// pixel is painted twice.
void FillPoly(RasterImage &image, const CanvasCommand &c) {
    const size_t n = c.xy.size() / 2;
    for (float v : c.xy)
        if (!std::isfinite(v))
            return;
    for (size_t i = 1; i + 1 < n; ++i) {
        const int64_t v[6] = {Fixed(c.xy[0]),         Fixed(c.xy[1]),
                              Fixed(c.xy[2 * i]),     Fixed(c.xy[2 * i + 1]),
                              Fixed(c.xy[2 * i + 2]), Fixed(c.xy[2 * i + 3])};
        FillTriangle(image, c, v);
    }
}

bool Untinted(const CanvasCommand &c) {
    return c.color == Rgb{255, 255, 255} && c.alpha == 255;
}

void DrawPixmap(RasterImage &image, const CanvasCommand &c) {
    const Pixmap &p = *c.pixmap;
    if (p.width < 1 || p.height < 1 || p.pixels.size() != size_t(p.width) * size_t(p.height))
        return;
    const int64_t x0 = Fixed(c.x), y0 = Fixed(c.y);
    const Span s =
        CoveredPixels(image, x0, x0 + int64_t(p.width) * kOne, y0, y0 + int64_t(p.height) * kOne);
    // Nearest texel: the one under the pixel's centre.
    auto texel = [](int pixel, int64_t origin, int size) {
        const int64_t t = (int64_t(pixel) * kOne + kHalf - origin) / kOne;
        return int(std::clamp<int64_t>(t, 0, size - 1));
    };
    const bool copy = c.blend == SOLIDBLEND && Untinted(c);
    for (int y = s.y0; y < s.y1; ++y) {
        const uint32_t *src = p.pixels.data() + size_t(texel(y, y0, p.height)) * p.width;
        uint32_t *row = image.pixels.data() + size_t(y) * image.width;
        const int tx0 = texel(s.x0, x0, p.width);
        if (copy && (x0 & (kOne - 1)) == 0) { // the logo: whole rows as they are
            std::memcpy(row + s.x0, src + tx0, size_t(s.x1 - s.x0) * sizeof(uint32_t));
            continue;
        }
        for (int x = s.x0; x < s.x1; ++x) {
            const uint32_t t = src[texel(x, x0, p.width)];
            Put(row[x], Mul(Channel(t, 0), c.color.r), Mul(Channel(t, 8), c.color.g),
                Mul(Channel(t, 16), c.color.b), Mul(Channel(t, 24), c.alpha), c.blend);
        }
    }
}

} // namespace

bool CoversCanvas(const CanvasCommands &commands, int w, int h) {
    if (commands.empty())
        return false;
    const CanvasCommand &c = commands.front();
    if (c.kind == CanvasCommand::Kind::Clear)
        return true;
    if (c.blend != SOLIDBLEND)
        return false;
    if (c.kind == CanvasCommand::Kind::Pixmap)
        return c.pixmap && c.x <= 0 && c.y <= 0 && c.x + float(c.pixmap->width) >= float(w) &&
               c.y + float(c.pixmap->height) >= float(h) &&
               c.pixmap->pixels.size() == size_t(c.pixmap->width) * size_t(c.pixmap->height);
    if (c.kind == CanvasCommand::Kind::Rect)
        return std::min(c.x, c.x + c.w) <= 0 && std::max(c.x, c.x + c.w) >= float(w) &&
               std::min(c.y, c.y + c.h) <= 0 && std::max(c.y, c.y + c.h) >= float(h);
    return false;
}

void Rasterise(RasterImage &image, const CanvasCommands &commands) {
    for (const CanvasCommand &c : commands) {
        switch (c.kind) {
        case CanvasCommand::Kind::Clear:
            std::fill(image.pixels.begin(), image.pixels.end(),
                      Pack(c.color.r, c.color.g, c.color.b));
            break;
        case CanvasCommand::Kind::Rect:
            if (std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.w) &&
                std::isfinite(c.h))
                FillRect(image, c);
            break;
        case CanvasCommand::Kind::Poly:
            FillPoly(image, c);
            break;
        case CanvasCommand::Kind::Pixmap:
            if (c.pixmap && std::isfinite(c.x) && std::isfinite(c.y))
                DrawPixmap(image, c);
            break;
        }
    }
}

} // namespace hvn
