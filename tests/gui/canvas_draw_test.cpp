#include "gui/canvas/canvas_surface.h"
#include "gui/canvas/draw2d.h"

#include "pixmap_test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "canvas_test_support.h" // last: it pulls in Xlib

namespace hvn {
namespace {

using namespace canvastest;
using testimg::B;
using testimg::G;
using testimg::R;
using testimg::Rgba;

// The last frame of a canvas; it must be what the screen shows too.
class Frame {
public:
    Frame(Gadget *canvas, int w) : px_(ReadCanvasPixels(canvas)), w_(w) {
        EXPECT_EQ(ScreenPixels(dynamic_cast<Fl_Window *>(FindCanvas(canvas))), px_)
            << "the screen differs from the frame";
    }
    uint32_t at(int x, int y) const { return px_.at(size_t(y) * w_ + x); }
    size_t size() const { return px_.size(); }

private:
    std::vector<uint32_t> px_;
    int w_;
};

void ExpectNear(uint32_t got, int r, int g, int b, int tolerance, const std::string &where) {
    EXPECT_NEAR(R(got), r, tolerance) << where;
    EXPECT_NEAR(G(got), g, tolerance) << where;
    EXPECT_NEAR(B(got), b, tolerance) << where;
}

// Every pixel of a w x h frame: `inside(x, y)` ones in colour `in`, the rest `out`.
void ExpectRegion(const Frame &f, int w, int h, const std::function<bool(int, int)> &inside,
                  uint32_t in, uint32_t out, const std::string &what) {
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (f.at(x, y) != (inside(x, y) ? in : out) && ++wrong <= 5)
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex
                              << f.at(x, y);
    EXPECT_EQ(wrong, 0) << what;
}

// Every case on both renderers: GL (hardware displays) and the CPU raster (software GL).
class CanvasDraw : public ::testing::TestWithParam<CanvasRenderer> {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        UseCanvasRenderer(GetParam());
    }
    void TearDown() override { UseCanvasRenderer(CanvasRenderer::Auto); }
};

TEST_P(CanvasDraw, LevelColumn_FillsExactlyLevelRows) {
    CanvasHost host({{0, 0, 10, 15}});
    ASSERT_TRUE(host.exposed());
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    EXPECT_EQ(CurrentGraphics(), host.canvas(0));
    SetBlend(SOLIDBLEND);
    for (int level : {0, 1, 7, 14, 15, 20}) {
        SetClsColor(20, 30, 40);
        Cls();
        SetColor(70, 70, 70);
        DrawRect(0, float(15 - level), 10, float(level));
        Flip(0);
        const Frame f(host.canvas(0), 10);
        ASSERT_EQ(f.size(), 150u);
        ExpectRegion(
            f, 10, 15, [&](int, int y) { return y >= 15 - level; }, Rgba(70, 70, 70),
            Rgba(20, 30, 40), "level " + std::to_string(level));
    }
}

TEST_P(CanvasDraw, Rectangles_CoverTheirSpanWhateverTheSign) {
    CanvasHost host({{0, 0, 40, 30}});
    ASSERT_TRUE(host.exposed());
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    SetBlend(SOLIDBLEND);
    const struct {
        float x, y, w, h;
        int x0, y0, x1, y1; // covered pixels: x0 <= x < x1, y0 <= y < y1
    } cases[] = {
        {5, 6, 10, 4, 5, 6, 15, 10},  {20, 30, -8, -10, 12, 20, 20, 30},
        {30, 2, -5, 6, 25, 2, 30, 8}, {3, 20, 4, -9, 3, 11, 7, 20},
        {-5, -5, 10, 10, 0, 0, 5, 5}, {35, 25, 20, 20, 35, 25, 40, 30},
        {10, 10, 0, 5, 0, 0, 0, 0},   {2.25f, 3.75f, 2.5f, 1, 2, 4, 5, 5},
    };
    for (const auto &c : cases) {
        SetClsColor(0, 0, 0);
        Cls();
        SetColor(255, 128, 1);
        DrawRect(c.x, c.y, c.w, c.h);
        Flip(0);
        ExpectRegion(
            Frame(host.canvas(0), 40), 40, 30,
            [&](int x, int y) { return x >= c.x0 && x < c.x1 && y >= c.y0 && y < c.y1; },
            Rgba(255, 128, 1), Rgba(0, 0, 0),
            "rect " + std::to_string(c.x) + "," + std::to_string(c.y) + "," + std::to_string(c.w) +
                "," + std::to_string(c.h));
    }
}

TEST_P(CanvasDraw, Colours_ClampedToByteRange) {
    CanvasHost host({{0, 0, 8, 8}});
    ASSERT_TRUE(host.exposed());
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    SetBlend(SOLIDBLEND);
    SetClsColor(-40, 999, 12);
    Cls();
    SetColor(300, -5, 128);
    DrawRect(0, 0, 4, 8);
    Flip(0);
    const Frame f(host.canvas(0), 8);
    EXPECT_EQ(f.at(1, 1), Rgba(255, 0, 128));
    EXPECT_EQ(f.at(6, 6), Rgba(0, 255, 12));
}

TEST_P(CanvasDraw, AlphaBlend_MixesWithTruncatedAlpha) {
    CanvasHost host({{0, 0, 16, 16}});
    ASSERT_TRUE(host.exposed());
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    const struct {
        double alpha;
        int a8; // alpha as drawn
        Rgb src, dst;
    } cases[] = {
        {0.8, 204, {255, 128, 0}, {0, 0, 255}},
        {0.6, 153, {70, 70, 70}, {200, 100, 50}},
        {0.6, 153, {0, 255, 160}, {255, 255, 255}},
        {1.7, 255, {10, 20, 30}, {90, 90, 90}},
        {-0.5, 0, {10, 20, 30}, {90, 90, 90}},
        // White over black shows the alpha itself: truncated, not rounded (254.7).
        {0.999, 254, {255, 255, 255}, {0, 0, 0}},
        {0.8, 204, {255, 255, 255}, {0, 0, 0}},
    };
    for (const auto &c : cases) {
        SetBlend(SOLIDBLEND);
        SetClsColor(c.dst.r, c.dst.g, c.dst.b);
        Cls();
        SetBlend(ALPHABLEND);
        SetAlpha(c.alpha);
        SetColor(c.src.r, c.src.g, c.src.b);
        DrawRect(0, 0, 8, 16);
        Flip(0);
        const Frame f(host.canvas(0), 16);
        const auto mix = [&](int s, int d) { return (s * c.a8 + d * (255 - c.a8)) / 255.0; };
        const std::string where = "alpha " + std::to_string(c.alpha);
        const bool exact = c.src == Rgb{255, 255, 255} && c.dst == Rgb{0, 0, 0};
        ExpectNear(f.at(3, 5), int(std::lround(mix(c.src.r, c.dst.r))),
                   int(std::lround(mix(c.src.g, c.dst.g))), int(std::lround(mix(c.src.b, c.dst.b))),
                   exact ? 0 : 1, where);
        ExpectNear(f.at(12, 5), c.dst.r, c.dst.g, c.dst.b, 0, where + " outside");
    }

    // Solid ignores the alpha.
    SetBlend(SOLIDBLEND);
    SetAlpha(0.3);
    SetColor(1, 2, 3);
    DrawRect(0, 0, 16, 16);
    Flip(0);
    EXPECT_EQ(Frame(host.canvas(0), 16).at(8, 8), Rgba(1, 2, 3));
}

TEST_P(CanvasDraw, Triangle_FilledOnItsSideOfTheDiagonal) {
    CanvasHost host({{0, 0, 20, 20}});
    ASSERT_TRUE(host.exposed());
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    SetBlend(SOLIDBLEND);
    SetClsColor(0, 0, 0);
    Cls();
    SetColor(0, 200, 0);
    DrawPoly({2, 2, 18, 2, 18, 18}); // the upper right half of a 16 x 16 square
    Flip(0);
    const Frame f(host.canvas(0), 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 2 && x < 18 && y >= 2 && y < 18 && x > y;
            const bool outside = x < 2 || x >= 18 || y < 2 || y >= 18 || x < y;
            if (inside) {
                EXPECT_EQ(f.at(x, y), Rgba(0, 200, 0)) << x << "," << y;
            } else if (outside) {
                EXPECT_EQ(f.at(x, y), Rgba(0, 0, 0)) << x << "," << y;
            }
        }
}

PixmapPtr Pattern(int w, int h) {
    auto p = CreatePixmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p->pixels[size_t(y) * w + x] = Rgba(x % 256, y * 2 % 256, (x * 7 + y * 3) % 256);
    return p;
}

TEST_P(CanvasDraw, Pixmap_DrawnPixelExact) {
    CanvasHost host({{0, 0, 274, 87}});
    ASSERT_TRUE(host.exposed());
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    SetBlend(SOLIDBLEND);
    SetColor(255, 255, 255);
    auto logo = Pattern(274, 87);
    DrawPixmap(logo, 0, 0);
    Flip(0);
    const auto shown = ReadCanvasPixels(host.canvas(0));
    ASSERT_EQ(shown.size(), logo->pixels.size());
    EXPECT_EQ(shown, logo->pixels);

    // At an offset, over a cleared background; the texture is reused until the pixels
    // change and the generation with them.
    SetClsColor(9, 9, 9);
    Cls();
    auto small = Pattern(5, 4);
    DrawPixmap(small, 10, 20);
    Flip(0);
    Frame f(host.canvas(0), 274);
    EXPECT_EQ(f.at(10, 20), small->pixels[0]);
    EXPECT_EQ(f.at(14, 23), small->pixels[19]);
    EXPECT_EQ(f.at(9, 20), Rgba(9, 9, 9));
    EXPECT_EQ(f.at(15, 23), Rgba(9, 9, 9));
    std::fill(small->pixels.begin(), small->pixels.end(), Rgba(1, 2, 3));
    MarkPixmapChanged(*small);
    DrawPixmap(small, 10, 20);
    Flip(0);
    EXPECT_EQ(Frame(host.canvas(0), 274).at(12, 21), Rgba(1, 2, 3));

    // A new pixmap after the old one is gone is never confused with it.
    small.reset();
    auto fresh = CreatePixmap(5, 4);
    std::fill(fresh->pixels.begin(), fresh->pixels.end(), Rgba(200, 0, 0));
    DrawPixmap(fresh, 10, 20);
    Flip(0);
    EXPECT_EQ(Frame(host.canvas(0), 274).at(12, 21), Rgba(200, 0, 0));
}

TEST_P(CanvasDraw, WindowHiddenAndShownAgain_LastFrameShownAgain) {
    CanvasHost host({{0, 0, 6, 6}});
    ASSERT_TRUE(host.exposed());
    auto p = Pattern(6, 6);
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    SetBlend(SOLIDBLEND);
    DrawPixmap(p, 0, 0);
    Flip(0);
    // Hiding the window destroys a GL context and with it every texture; a frame drawn
    // meanwhile is what the canvas shows once the window is back.
    host.window()->hide();
    EXPECT_FALSE(CanvasOnScreen(host.canvas(0)));
    auto q = Pattern(6, 6);
    std::reverse(q->pixels.begin(), q->pixels.end());
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    DrawPixmap(q, 0, 0);
    Flip(0);
    host.recorder().events.clear();
    host.window()->show();
    ASSERT_TRUE(PumpUntil([&] { return host.recorder().Saw(GadgetPaint, host.canvas(0)); }));
    EXPECT_TRUE(CanvasOnScreen(host.canvas(0)));
    EXPECT_EQ(ReadCanvasPixels(host.canvas(0)), q->pixels);
    EXPECT_EQ(ScreenPixels(host.widget(0)), q->pixels) << "on the screen";
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    DrawPixmap(p, 0, 0);
    Flip(0);
    EXPECT_EQ(ReadCanvasPixels(host.canvas(0)), p->pixels);
}

TEST_P(CanvasDraw, Pixmap_TintAndBlendModes) {
    CanvasHost host({{0, 0, 4, 1}});
    ASSERT_TRUE(host.exposed());
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    auto p = CreatePixmap(4, 1);
    p->pixels = {Rgba(200, 100, 50, 255), Rgba(200, 100, 50, 0), Rgba(200, 100, 50, 128),
                 Rgba(200, 100, 50, 127)};
    const struct {
        int blend;
        Rgb tint;
        Rgb want[4];
    } cases[] = {
        // Solid: alpha ignored, transparent pixels show their colour.
        {SOLIDBLEND,
         {255, 255, 255},
         {{200, 100, 50}, {200, 100, 50}, {200, 100, 50}, {200, 100, 50}}},
        // Mask: at least half opaque is drawn, the rest leaves the background.
        {MASKBLEND, {255, 255, 255}, {{200, 100, 50}, {0, 0, 100}, {200, 100, 50}, {0, 0, 100}}},
        // Alpha: by each pixel's alpha.
        {ALPHABLEND, {255, 255, 255}, {{200, 100, 50}, {0, 0, 100}, {100, 50, 75}, {100, 50, 75}}},
        // Tint multiplies.
        {SOLIDBLEND, {0, 255, 128}, {{0, 100, 25}, {0, 100, 25}, {0, 100, 25}, {0, 100, 25}}},
    };
    for (const auto &c : cases) {
        SetBlend(SOLIDBLEND);
        SetAlpha(1.0);
        SetClsColor(0, 0, 100);
        Cls();
        SetBlend(c.blend);
        SetColor(c.tint.r, c.tint.g, c.tint.b);
        DrawPixmap(p, 0, 0);
        Flip(0);
        const Frame f(host.canvas(0), 4);
        for (int x = 0; x < 4; ++x)
            ExpectNear(f.at(x, 0), c.want[x].r, c.want[x].g, c.want[x].b, 1,
                       "blend " + std::to_string(c.blend) + " pixel " + std::to_string(x));
    }
}

TEST_P(CanvasDraw, TwoCanvases_KeepTheirOwnState) {
    CanvasHost host({{0, 0, 10, 15}, {20, 0, 10, 15}});
    ASSERT_TRUE(host.exposed());
    Gadget *left = host.canvas(0), *right = host.canvas(1);

    ASSERT_TRUE(SetGraphics(left));
    SetClsColor(0, 0, 255);
    SetColor(255, 0, 0);
    SetBlend(ALPHABLEND);
    SetAlpha(0.6);
    ASSERT_TRUE(SetGraphics(right));
    SetClsColor(255, 255, 0);
    SetColor(0, 255, 0);
    SetBlend(SOLIDBLEND);
    SetAlpha(0.1);

    for (Gadget *g : {left, right, left}) { // back to the first: nothing leaked over
        ASSERT_TRUE(SetGraphics(g));
        Cls();
        DrawRect(0, 5, 10, 10);
        Flip(0);
    }
    const Frame l(left, 10), r(right, 10);
    ExpectNear(l.at(5, 1), 0, 0, 255, 0, "left background");
    ExpectNear(l.at(5, 10), 153, 0, 102, 1, "left rect, red over blue at 0.6");
    ExpectNear(r.at(5, 1), 255, 255, 0, 0, "right background");
    ExpectNear(r.at(5, 10), 0, 255, 0, 0, "right rect, solid green");
}

TEST_P(CanvasDraw, NoCanvas_DrawingIsRefused) {
    Gadget plain;
    EXPECT_FALSE(SetGraphics(&plain));
    EXPECT_FALSE(SetGraphics(nullptr));
    EXPECT_FALSE(CanvasOnScreen(&plain));
    EXPECT_TRUE(ReadCanvasPixels(&plain).empty());
}

// A frame drawn before the window is first shown (a start picture, a hidden start) is
// what the canvas shows when it appears.
TEST_P(CanvasDraw, DrawnBeforeTheWindowShows_ShownOnceMapped) {
    EventRecorder recorder;
    Fl_Window window(0, 0, 50, 50);
    Gadget g;
    Fl_Widget *widget = CreateCanvasWidget(&g, 0, 0, 10, 10);
    window.end();
    EXPECT_FALSE(CanvasOnScreen(&g));
    ASSERT_TRUE(SetGraphics(&g));
    SetBlend(SOLIDBLEND);
    SetClsColor(10, 200, 30);
    Cls();
    Flip(0);
    window.show();
    ASSERT_TRUE(PumpUntil([&] { return recorder.Saw(GadgetPaint, &g); }));
    EXPECT_TRUE(CanvasOnScreen(&g));
    const std::vector<uint32_t> want(100, Rgba(10, 200, 30));
    EXPECT_EQ(ReadCanvasPixels(&g), want);
    EXPECT_EQ(ScreenPixels(widget), want);
    window.hide();
    Fl::wait(0);
}

// Frames that repeat the picture on screen, or in which nothing was drawn, are not drawn.
TEST_P(CanvasDraw, RepeatedOrEmptyFrame_NotDrawnAgain) {
    CanvasHost host({{0, 0, 20, 10}});
    ASSERT_TRUE(host.exposed());
    Gadget *canvas = host.canvas(0);
    auto logo = Pattern(20, 10);
    auto frame = [&](int barWidth) {
        ASSERT_TRUE(SetGraphics(canvas));
        SetBlend(SOLIDBLEND);
        SetColor(255, 255, 255);
        DrawPixmap(logo, 0, 0);
        if (barWidth > 0) {
            SetBlend(ALPHABLEND);
            SetAlpha(0.8);
            SetColor(0, 0, 128);
            DrawRect(2, 2, float(barWidth), 5);
        }
        Flip(0);
    };
    frame(5);
    const uint64_t drawn = CanvasFramesDrawn(canvas);
    frame(5);
    frame(5);
    ASSERT_TRUE(SetGraphics(canvas));
    Flip(0);
    EXPECT_EQ(CanvasFramesDrawn(canvas), drawn) << "the same picture, or nothing drawn";
    frame(6);
    EXPECT_EQ(CanvasFramesDrawn(canvas), drawn + 1);
    frame(0);
    frame(0);
    EXPECT_EQ(CanvasFramesDrawn(canvas), drawn + 2);
    EXPECT_EQ(ReadCanvasPixels(canvas), logo->pixels);
    EXPECT_EQ(ScreenPixels(host.widget(0)), logo->pixels);

    // A pixmap whose pixels changed is a new picture, and so is a frame that builds on
    // what the canvas holds.
    std::fill(logo->pixels.begin(), logo->pixels.end(), Rgba(1, 2, 3));
    MarkPixmapChanged(*logo);
    frame(0);
    EXPECT_EQ(CanvasFramesDrawn(canvas), drawn + 3);
    ASSERT_TRUE(SetGraphics(canvas));
    SetBlend(SOLIDBLEND);
    SetColor(9, 9, 9);
    DrawRect(0, 0, 1, 1);
    Flip(0);
    DrawRect(0, 0, 1, 1);
    Flip(0);
    EXPECT_EQ(CanvasFramesDrawn(canvas), drawn + 5);
}

INSTANTIATE_TEST_SUITE_P(Renderers, CanvasDraw,
                         ::testing::Values(CanvasRenderer::Raster, CanvasRenderer::Gl),
                         [](const ::testing::TestParamInfo<CanvasRenderer> &info) {
                             return info.param == CanvasRenderer::Gl ? "Gl" : "Raster";
                         });

} // namespace
} // namespace hvn

namespace hvn {
namespace {

// The frames `draw` makes one after the other on a w x h canvas of one renderer.
std::vector<uint32_t> FramesOn(CanvasRenderer renderer, int w, int h, int frames,
                               const std::function<void(int)> &draw) {
    UseCanvasRenderer(renderer);
    canvastest::CanvasHost host({{0, 0, w, h}});
    UseCanvasRenderer(CanvasRenderer::Auto);
    std::vector<uint32_t> all;
    if (!host.exposed() || !SetGraphics(host.canvas(0))) {
        ADD_FAILURE() << "the canvas is not shown";
        return all;
    }
    for (int frame = 0; frame < frames; ++frame) {
        draw(frame);
        Flip(0);
        const auto px = ReadCanvasPixels(host.canvas(0));
        all.insert(all.end(), px.begin(), px.end());
    }
    return all;
}

// The raster's frames pixel for pixel as GL's, or the first differences named.
void ExpectSameOnBoth(int w, int h, int frames, const std::function<void(int)> &draw) {
    const auto raster = FramesOn(CanvasRenderer::Raster, w, h, frames, draw);
    const auto gl = FramesOn(CanvasRenderer::Gl, w, h, frames, draw);
    ASSERT_EQ(raster.size(), gl.size());
    int differ = 0, far = 0;
    for (size_t i = 0; i < raster.size(); ++i) {
        if (raster[i] != gl[i]) {
            ++differ;
            for (int c = 0; c < 24; c += 8)
                if (std::abs(int((raster[i] >> c) & 0xff) - int((gl[i] >> c) & 0xff)) > 1)
                    ++far;
            if (differ <= 10)
                ADD_FAILURE() << "pixel " << (i % (w * h)) % w << "," << (i % (w * h)) / w
                              << " frame " << i / (w * h) << std::hex << " raster " << raster[i]
                              << " gl " << gl[i];
        }
    }
    EXPECT_EQ(differ, 0) << far << " components differ by more than one";
}

// The raster draws what GL draws: the same frames of a logo, bars and triangles, with
// uneven lengths and depths, pixel for pixel.
TEST(CanvasRenderers, SameFrames_SamePixelsOnBoth) {
    HVN_REQUIRE_DISPLAY();
    const PixmapPtr logo = Pattern(274, 87);
    uint32_t seed = 0;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8 & 0xffff; };
    ExpectSameOnBoth(274, 87, 6, [&](int frame) {
        if (frame == 0)
            seed = 12345;
        SetBlend(SOLIDBLEND);
        SetColor(255, 255, 255);
        SetClsColor(200, 180, 160);
        if (frame % 2)
            Cls();
        else
            DrawPixmap(logo, 0, 0);
        SetBlend(ALPHABLEND);
        SetAlpha(0.8);
        for (int i = 0; i < 17; ++i) {
            const float v = float(next() % 20000) / 100.0f; // 0 .. 200, two decimals
            const float x = frame % 2 ? 137.0f : 138.0f - v;
            SetColor(std::min(32 * i, 255), std::min(16 * i, 255), 128 + 2 * i);
            DrawRect(x, float(81 - 5 * i), v, 5);
        }
        SetAlpha(0.6);
        for (int j = 1; j < 18; ++j) {
            const float a = float(1 + 8 * (j - 1)), b = float(1 + 8 * j);
            const float p = float(next() % 8500) / 100.0f, q = float(next() % 8500) / 100.0f;
            SetColor(70, 90, 110);
            DrawRect(a, 1 + std::min(p, q), 8, -std::min(p, q));
            if (p <= q)
                DrawPoly({a, 1 + p, b, 1 + p, b, 1 + q});
            else
                DrawPoly({a, 1 + q, b, 1 + q, a, 1 + p});
        }
    });
}

// Edges through pixel centres, horizontal, vertical and slanted, corners given either way
// round, and rectangles: a centre on a left or bottom edge is covered, on a right or top
// edge not, as GL decides. Half-opaque shapes show a pixel painted twice along a polygon's
// inner edges.
TEST(CanvasRenderers, EdgesThroughPixelCentres_SameTieRuleAsGl) {
    HVN_REQUIRE_DISPLAY();
    ExpectSameOnBoth(96, 32, 2, [](int frame) {
        SetBlend(SOLIDBLEND);
        SetClsColor(0, 0, 0);
        Cls();
        SetBlend(ALPHABLEND);
        SetAlpha(0.5);
        SetColor(255, 255, 255);
        const auto poly = [frame](std::vector<float> xy) {
            if (frame == 1) // the other way round
                for (size_t i = 0, j = xy.size() - 2; i < j; i += 2, j -= 2)
                    std::swap(xy[i], xy[j]), std::swap(xy[i + 1], xy[j + 1]);
            DrawPoly(xy);
        };
        for (int i = 0; i < 2; ++i) {
            const float x = 2.5f + 48 * i, y = 2.5f + 10 * i, top = y, bottom = y + 6;
            poly({x, bottom, x + 6, bottom, x + 3, top});                     // flat bottom
            poly({x + 8, top, x + 14, top, x + 11, bottom});                  // flat top
            poly({x + 16, top, x + 16, bottom, x + 20, y + 3});               // flat left
            poly({x + 28, top, x + 28, bottom, x + 22, y + 2});               // flat right
            poly({x + 30, top, x + 36, top, x + 36, bottom, x + 30, bottom}); // square
            poly({x + 38, top, x + 44, bottom, x + 38, bottom});              // slope 1
        }
        DrawRect(2.5f, 22.5f, 6, 6);
        DrawRect(16.5f, 28.5f, -6, -6);
    });
}

} // namespace
} // namespace hvn
