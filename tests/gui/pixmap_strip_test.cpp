#include "gui/pixmap.h"

#include "pixmap_test_images.h"

#include <gtest/gtest.h>

namespace hvn {
namespace {

using namespace testimg;

PixmapPtr Filled(int w, int h, uint32_t px) {
    auto p = CreatePixmap(w, h);
    std::fill(p->pixels.begin(), p->pixels.end(), px);
    return p;
}

// A strip of `count` icons of `size`, icon i filled with colour (i * 40, 255 - i, 7).
std::string StripBytes(int count, int size) {
    std::vector<uint32_t> px(size_t(count) * size * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < count * size; ++x)
            px[size_t(y) * count * size + x] = Rgba((x / size) * 40, 255 - x / size, 7);
    return EncodePngRgba(count * size, size, px);
}

TEST(IconStrip, SquareIconsAsHighAsImage_NumberedFromLeft) {
    const struct {
        int width, height, count;
    } cases[] = {{60, 30, 2}, {225, 15, 15}, {16, 16, 1}, {70, 30, 2}, {20, 30, 0}};
    for (const auto &c : cases) {
        std::vector<uint32_t> px(size_t(c.width) * c.height, Rgba(1, 1, 1));
        auto strip = LoadIconStripFromMemory(EncodePngRgba(c.width, c.height, px));
        ASSERT_TRUE(strip) << c.width;
        EXPECT_EQ(strip->size, c.height) << c.width;
        EXPECT_EQ(strip->count, c.count) << c.width;
    }

    auto strip = LoadIconStripFromMemory(StripBytes(3, 30));
    ASSERT_TRUE(strip);
    for (int i = 0; i < 3; ++i) {
        auto icon = IconStripIcon(strip, i);
        ASSERT_TRUE(icon) << i;
        EXPECT_EQ(icon->width, 30);
        EXPECT_EQ(icon->height, 30);
        for (uint32_t px : icon->pixels)
            ASSERT_EQ(px, Rgba(i * 40, 255 - i, 7)) << "icon " << i;
    }
    EXPECT_FALSE(IconStripIcon(strip, -1));
    EXPECT_FALSE(IconStripIcon(strip, 3));
    EXPECT_FALSE(IconStripIcon(nullptr, 0));
    EXPECT_FALSE(LoadIconStrip("/nonexistent/hvn_mute.png"));
}

TEST(ResizePixmap, Bilinear_InterpolatesBetweenPixelCentres) {
    auto src = CreatePixmap(2, 1);
    src->pixels = {Rgba(0, 0, 0), Rgba(255, 255, 255)};
    auto wide = ResizePixmap(src, 4, 1);
    ASSERT_TRUE(wide);
    const int want[4] = {0, 64, 191, 255}; // samples at -0.25 (edge), 0.25, 0.75, 1.25 (edge)
    for (int x = 0; x < 4; ++x) {
        EXPECT_NEAR(R(wide->pixels[x]), want[x], 1) << x;
        EXPECT_EQ(A(wide->pixels[x]), 255);
    }

    // The same size gives the same pixels; a flat picture stays flat at any size.
    auto sample = CreatePixmap(3, 2);
    sample->pixels = {Rgba(1, 2, 3),    Rgba(4, 5, 6),    Rgba(7, 8, 9, 100),
                      Rgba(10, 11, 12), Rgba(13, 14, 15), Rgba(16, 17, 18, 0)};
    auto same = ResizePixmap(sample, 3, 2);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->pixels, sample->pixels);
    auto logo = ResizePixmap(Filled(100, 50, Rgba(30, 60, 90)), 274, 87);
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->width, 274);
    EXPECT_EQ(logo->height, 87);
    for (uint32_t px : logo->pixels)
        ASSERT_EQ(px, Rgba(30, 60, 90));
    EXPECT_NE(logo->generation, 0u);
}

TEST(ResizePixmap, TransparentNeighbour_LendsNoColour) {
    auto src = CreatePixmap(2, 1);
    src->pixels = {Rgba(255, 0, 0, 255), Rgba(0, 255, 0, 0)};
    auto out = ResizePixmap(src, 3, 1);
    ASSERT_TRUE(out);
    const uint32_t mid = out->pixels[1];
    EXPECT_EQ(R(mid), 255);
    EXPECT_EQ(G(mid), 0);
    EXPECT_NEAR(A(mid), 128, 1);
}

TEST(ResizePixmap, BadArguments_ReturnNull) {
    auto src = Filled(4, 4, Rgba(1, 1, 1));
    EXPECT_FALSE(ResizePixmap(nullptr, 4, 4));
    EXPECT_FALSE(ResizePixmap(src, 0, 4));
    EXPECT_FALSE(ResizePixmap(src, 4, -1));
    EXPECT_FALSE(ResizePixmap(src, 1 << 20, 1 << 20));
    auto broken = std::make_shared<Pixmap>();
    broken->width = 4;
    broken->height = 4; // no pixels behind the size
    EXPECT_FALSE(ResizePixmap(broken, 2, 2));
    EXPECT_FALSE(CreatePixmap(0, 1));
}

} // namespace
} // namespace hvn
