#include "gui/gadget_view.h"

#include <gtest/gtest.h>

#include <FL/Fl_Image.H>

namespace hvn {
namespace {

PixmapPtr Solid(int w, int h, uint32_t pixel) {
    auto p = std::make_shared<Pixmap>();
    p->width = w;
    p->height = h;
    p->pixels.assign(static_cast<size_t>(w) * h, pixel);
    return p;
}

const unsigned char *Bytes(Fl_RGB_Image *img) {
    return reinterpret_cast<const unsigned char *>(img->data()[0]);
}

TEST(ImageCache, Pixels_AreHandedOverAsRgbaBytes) {
    ImageCache cache;
    PixmapPtr p = Solid(1, 1, 0x80332211u); // r 0x11, g 0x22, b 0x33, a 0x80
    Fl_RGB_Image *img = cache.Get(p, 0, 0);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->d(), 4);
    const unsigned char *b = Bytes(img);
    EXPECT_EQ(b[0], 0x11);
    EXPECT_EQ(b[1], 0x22);
    EXPECT_EQ(b[2], 0x33);
    EXPECT_EQ(b[3], 0x80);
}

TEST(ImageCache, ScaledCopy_RepeatsTheNearestPixel) {
    ImageCache cache;
    auto p = Solid(2, 1, 0xff0000ffu);
    p->pixels[1] = 0xff00ff00u;
    Fl_RGB_Image *img = cache.Get(p, 4, 2);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->w(), 4);
    EXPECT_EQ(img->h(), 2);
    const unsigned char *b = Bytes(img);
    for (int x : {0, 1})
        EXPECT_EQ(b[(4 + x) * 4], 0xff) << x; // left half red
    for (int x : {2, 3})
        EXPECT_EQ(b[(4 + x) * 4 + 1], 0xff) << x; // right half green
}

TEST(ImageCache, ChangedOrReplacedPixmaps_AreConvertedAgain) {
    ImageCache cache;
    PixmapPtr p = Solid(2, 2, 0xff0000ffu);
    Fl_RGB_Image *first = cache.Get(p, 0, 0);
    EXPECT_EQ(cache.Get(p, 0, 0), first); // unchanged: kept

    p->pixels.assign(4, 0xff00ff00u);
    ++p->generation;
    EXPECT_EQ(Bytes(cache.Get(p, 0, 0))[1], 0xff);

    p.reset(); // the same address may be handed out again with generation 0
    PixmapPtr q = Solid(2, 2, 0xffff0000u);
    q->generation = 1;
    EXPECT_EQ(Bytes(cache.Get(q, 0, 0))[2], 0xff);
    EXPECT_EQ(cache.Get(nullptr, 0, 0), nullptr);
    EXPECT_EQ(cache.Get(Solid(0, 0, 0), 0, 0), nullptr);
}

} // namespace
} // namespace hvn
