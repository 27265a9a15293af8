// The spectrum and level-meter drawers on real GL canvases under X, read back pixel by
// pixel.
#include "playback/spectrum.h"

#include "app/gadgets.h"
#include "config/settings.h"
#include "events/queue.h"
#include "gui/canvas/draw2d.h"
#include "playback/current_station.h"
#include "playback/services.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace hvn {
namespace {

struct Color {
    int r, g, b;
};

Color PixelAt(const std::vector<uint32_t> &pixels, int width, int x, int y) {
    const uint32_t p = pixels.at(static_cast<size_t>(y) * width + x);
    return {static_cast<int>(p & 0xff), static_cast<int>((p >> 8) & 0xff),
            static_cast<int>((p >> 16) & 0xff)};
}

// 8-bit blending rounds either way; one step of slack on each component.
::testing::AssertionResult Near(Color got, Color want) {
    if (std::abs(got.r - want.r) <= 2 && std::abs(got.g - want.g) <= 2 &&
        std::abs(got.b - want.b) <= 2) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "got (" << got.r << ", " << got.g << ", " << got.b << "), want (" << want.r << ", "
           << want.g << ", " << want.b << ")";
}

// dst white, src at alpha/255.
Color OverWhite(Color c, int alpha) {
    auto mix = [alpha](int s) { return (s * alpha + 255 * (255 - alpha)) / 255; };
    return {mix(c.r), mix(c.g), mix(c.b)};
}

const Color kWhite{255, 255, 255};

class SpectrumDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!test::HaveEnv("DISPLAY") || !InitGui()) {
            return;
        }
        KeepCanvasFrames(true);
        window_ = CreateWindow("spectrum test", 0, 0, 300, 130, nullptr,
                               WINDOW_TITLEBAR | WINDOW_CLIENTCOORDS);
        SpectrumCanvas = CreateCanvas(2, 33, 274, 87, window_, 0);
        LeftLevelCanvas = CreateCanvas(211, 2, 10, 15, window_, 0);
        RightLevelCanvas = CreateCanvas(222, 2, 10, 15, window_, 0);
        ShowGadget(window_);
        for (Gadget *canvas : {SpectrumCanvas, LeftLevelCanvas, RightLevelCanvas}) {
            ShowGadget(canvas); // added to a window already shown
        }
        // The GL windows can be drawn on once X has mapped them.
        for (int i = 0; i < 100 && !SetGraphics(RightLevelCanvas); ++i) {
            PumpEvents(0.05);
        }
    }

    void SetUp() override {
        HVN_REQUIRE_SERVICE("DISPLAY");
        ASSERT_NE(window_, nullptr) << "no window";
        std::copy(std::begin(kColors), std::end(kColors), SpectrumColors);
        values_.assign(64, 0.0f);
    }

    // White canvas, then the drawer under the frame's blend state, then read back.
    std::vector<uint32_t> Draw(void (*drawer)(const std::vector<float> &), double alpha) {
        EXPECT_TRUE(SetGraphics(SpectrumCanvas));
        SetBlend(SOLIDBLEND);
        SetClsColor(255, 255, 255);
        Cls();
        SetBlend(ALPHABLEND);
        SetAlpha(alpha);
        drawer(values_);
        Flip(0);
        std::vector<uint32_t> pixels = ReadCanvasPixels(SpectrumCanvas);
        EXPECT_EQ(pixels.size(), 274u * 87u);
        return pixels;
    }

    static constexpr int kColors[6] = {255, 0, 0, 0, 0, 255};
    static inline Gadget *window_ = nullptr;
    std::vector<float> values_;
};

void BarsLeft(const std::vector<float> &v) {
    DrawSpectrumBarsLeft(v);
}
void BarsRight(const std::vector<float> &v) {
    DrawSpectrumBarsRight(v);
}
void GraphLeft(const std::vector<float> &v) {
    DrawSpectrumGraphLeft(v);
}
void GraphRight(const std::vector<float> &v) {
    DrawSpectrumGraphRight(v);
}

TEST_F(SpectrumDrawing, BarsLeft_RowsColoursAndLengthsFollowValues) {
    values_[0] = 0.1f;   // 50 px, row 81..86
    values_[1] = 0.004f; // v exactly 2: no bar
    values_[8] = 0.04f;  // 20 px, row 41..46
    values_[17] = 1.0f;  // beyond the 17 rows: unused
    auto px = Draw(BarsLeft, 0.8);
    EXPECT_TRUE(Near(PixelAt(px, 274, 150, 83), OverWhite({0, 0, 128}, 204)));
    EXPECT_TRUE(Near(PixelAt(px, 274, 185, 83), OverWhite({0, 0, 128}, 204)));
    EXPECT_TRUE(Near(PixelAt(px, 274, 190, 83), kWhite)); // past 137 + 50
    EXPECT_TRUE(Near(PixelAt(px, 274, 130, 83), kWhite)); // left of the middle
    EXPECT_TRUE(Near(PixelAt(px, 274, 150, 78), kWhite)); // row 1 has no bar
    EXPECT_TRUE(Near(PixelAt(px, 274, 145, 43), OverWhite({255, 128, 144}, 204)));
    EXPECT_TRUE(Near(PixelAt(px, 274, 160, 43), kWhite));
    // The black outline over the bar, and the dark edge line at x 0.
    const Color bar = OverWhite({0, 0, 128}, 204);
    const Color outline{bar.r * 51 / 255, bar.g * 51 / 255, bar.b * 51 / 255};
    EXPECT_TRUE(Near(PixelAt(px, 274, 150, 81), outline));
    EXPECT_TRUE(Near(PixelAt(px, 274, 150, 85), outline));
    EXPECT_TRUE(Near(PixelAt(px, 274, 0, 40), OverWhite({0, 0, 0}, 204)));
    EXPECT_TRUE(Near(PixelAt(px, 274, 273, 40), kWhite));
    EXPECT_TRUE(Near(PixelAt(px, 274, 150, 20), kWhite)); // rows 2.. without values
}

TEST_F(SpectrumDrawing, BarsRight_EndAtMiddleAndGrowLeft) {
    values_[0] = 0.1f;   // 138 - 50 = 88 .. 138
    values_[16] = 0.02f; // 10 px at the top row, y 1..6
    auto px = Draw(BarsRight, 0.8);
    EXPECT_TRUE(Near(PixelAt(px, 274, 100, 83), OverWhite({0, 0, 128}, 204)));
    EXPECT_TRUE(Near(PixelAt(px, 274, 85, 83), kWhite));
    EXPECT_TRUE(Near(PixelAt(px, 274, 140, 83), kWhite));
    EXPECT_TRUE(Near(PixelAt(px, 274, 133, 3), OverWhite({255, 255, 160}, 204)));
    EXPECT_TRUE(Near(PixelAt(px, 274, 273, 40), OverWhite({0, 0, 0}, 204)));
    EXPECT_TRUE(Near(PixelAt(px, 274, 0, 40), kWhite));
}

TEST_F(SpectrumDrawing, BarsWithoutValues_DrawNothing) {
    values_.clear();
    auto px = Draw(BarsLeft, 0.8);
    EXPECT_TRUE(Near(PixelAt(px, 274, 0, 40), kWhite));
}

TEST_F(SpectrumDrawing, GraphFullDepth_FillsLeftHalfFromRow1To86) {
    values_.assign(64, 0.2f); // 100 px, cut to the full depth of 85
    auto px = Draw(GraphLeft, 0.6);
    const Color red = OverWhite({255, 0, 0}, 153);
    EXPECT_TRUE(Near(PixelAt(px, 274, 50, 40), red));
    EXPECT_TRUE(Near(PixelAt(px, 274, 5, 85), red));
    EXPECT_TRUE(Near(PixelAt(px, 274, 130, 2), red));
    EXPECT_TRUE(Near(PixelAt(px, 274, 50, 0), kWhite));   // the top row stays free
    EXPECT_TRUE(Near(PixelAt(px, 274, 0, 40), kWhite));   // starts at x 1
    EXPECT_TRUE(Near(PixelAt(px, 274, 200, 40), kWhite)); // right half untouched
}

TEST_F(SpectrumDrawing, GraphPeak_RisesAndFallsAsTriangles) {
    values_[5] = 0.1f; // depth 50 at x 41
    auto px = Draw(GraphLeft, 0.6);
    const Color red = OverWhite({255, 0, 0}, 153);
    // Rising edge (33,1) (41,1) (41,51): filled near b, empty near a.
    EXPECT_TRUE(Near(PixelAt(px, 274, 40, 10), red));
    EXPECT_TRUE(Near(PixelAt(px, 274, 34, 45), kWhite));
    // Falling edge (41,1) (49,1) (41,51).
    EXPECT_TRUE(Near(PixelAt(px, 274, 42, 30), red));
    EXPECT_TRUE(Near(PixelAt(px, 274, 48, 30), kWhite));
    EXPECT_TRUE(Near(PixelAt(px, 274, 20, 10), kWhite));
}

TEST_F(SpectrumDrawing, GraphRight_MirrorsIntoRightHalfInRightColour) {
    values_.assign(64, 0.5f);
    auto px = Draw(GraphRight, 0.6);
    const Color blue = OverWhite({0, 0, 255}, 153);
    EXPECT_TRUE(Near(PixelAt(px, 274, 200, 40), blue));
    EXPECT_TRUE(Near(PixelAt(px, 274, 140, 85), blue));
    EXPECT_TRUE(Near(PixelAt(px, 274, 140, 86), kWhite)); // the curve ends at y 86
    EXPECT_TRUE(Near(PixelAt(px, 274, 200, 0), kWhite));
    EXPECT_TRUE(Near(PixelAt(px, 274, 50, 40), kWhite));
}

TEST_F(SpectrumDrawing, LevelMeter_FillsLevelRowsFromTheBottom) {
    BackgroundRed = 10;
    BackgroundGreen = 20;
    BackgroundBlue = 30;
    const struct {
        float average;
        int level; // rows filled from the bottom
    } cases[] = {  // binary fractions, so that the sum is exact
                 {0.0078125f, 3},
                 {0.015625f, 6},
                 {0.0390625f, 15},
                 {0.25f, 15},
                 {0.001953125f, 0}};
    for (const auto &c : cases) {
        std::vector<float> values(64, c.average);
        DrawLevelMeterLeft(values);
        DrawLevelMeterRight(values);
        for (auto [canvas, color] : {std::pair{LeftLevelCanvas, Color{255, 0, 0}},
                                     std::pair{RightLevelCanvas, Color{0, 0, 255}}}) {
            auto px = ReadCanvasPixels(canvas);
            ASSERT_EQ(px.size(), 150u);
            for (int y = 0; y < 15; ++y) {
                const Color want = y >= 15 - c.level ? color : Color{10, 20, 30};
                EXPECT_TRUE(Near(PixelAt(px, 10, 5, y), want))
                    << "average " << c.average << " row " << y;
            }
        }
    }
}

TEST_F(SpectrumDrawing, RectOutline_IsOnePixelFrame) {
    ASSERT_TRUE(SetGraphics(SpectrumCanvas));
    SetBlend(SOLIDBLEND);
    SetClsColor(255, 255, 255);
    Cls();
    SetColor(0, 0, 0);
    DrawRectOutline(10, 10, 20, 10);
    Flip(0);
    auto px = ReadCanvasPixels(SpectrumCanvas);
    for (auto [x, y] : {std::pair{10, 10}, {29, 10}, {10, 19}, {29, 19}, {20, 10}, {10, 15}}) {
        EXPECT_TRUE(Near(PixelAt(px, 274, x, y), {0, 0, 0})) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{20, 15}, {11, 11}, {30, 15}, {20, 20}, {9, 15}}) {
        EXPECT_TRUE(Near(PixelAt(px, 274, x, y), kWhite)) << x << "," << y;
    }
}

TEST_F(SpectrumDrawing, FrameWithoutStream_DrawsOnlyTheLogo) {
    auto logo = std::make_shared<Pixmap>();
    logo->width = 274;
    logo->height = 87;
    logo->pixels.assign(274 * 87, 0xff204080u); // (128, 64, 32)
    StationLogo = logo;
    CurrentSound = nullptr;
    CurrentChannel = nullptr;
    SpectrumStyle = 1;
    SpectrumFrame();
    auto px = ReadCanvasPixels(SpectrumCanvas);
    for (auto [x, y] : {std::pair{0, 0}, {137, 83}, {273, 86}, {150, 40}}) {
        EXPECT_TRUE(Near(PixelAt(px, 274, x, y), {128, 64, 32})) << x << "," << y;
    }
    SpectrumStyle = 0;
    StationLogo = nullptr;
}

} // namespace
} // namespace hvn
