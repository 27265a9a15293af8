#include "gui/pixmap.h"

#include "core/embedded.h"
#include "pixmap_test_images.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <zlib.h>

namespace hvn {
namespace {

using namespace testimg;

// A 3 x 2 picture with every channel distinct.
const std::vector<uint32_t> kSample = {
    Rgba(255, 0, 0),  Rgba(0, 255, 0),    Rgba(0, 0, 255),
    Rgba(10, 20, 30), Rgba(200, 100, 50), Rgba(255, 255, 255),
};

void ExpectPixels(const PixmapPtr &p, int w, int h, const std::vector<uint32_t> &want,
                  int tolerance = 0) {
    ASSERT_TRUE(p);
    ASSERT_EQ(p->width, w);
    ASSERT_EQ(p->height, h);
    ASSERT_EQ(p->pixels.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const uint32_t got = p->pixels[i];
        EXPECT_NEAR(R(got), R(want[i]), tolerance) << "pixel " << i;
        EXPECT_NEAR(G(got), G(want[i]), tolerance) << "pixel " << i;
        EXPECT_NEAR(B(got), B(want[i]), tolerance) << "pixel " << i;
        EXPECT_EQ(A(got), A(want[i])) << "pixel " << i;
    }
}

TEST(PixmapPng, ColourTypes_DecodeToRgba) {
    // RGBA with varying alpha.
    const std::vector<uint32_t> rgba = {Rgba(255, 0, 0, 255), Rgba(0, 255, 0, 128),
                                        Rgba(0, 0, 255, 0), Rgba(1, 2, 3, 4)};
    ExpectPixels(LoadPixmapFromMemory(EncodePngRgba(2, 2, rgba)), 2, 2, rgba);

    // RGB, no alpha: opaque.
    std::vector<uint8_t> rgb;
    for (uint32_t px : kSample)
        rgb.insert(rgb.end(), {uint8_t(R(px)), uint8_t(G(px)), uint8_t(B(px))});
    ExpectPixels(LoadPixmapFromMemory(EncodePng(3, 2, PNG_FORMAT_RGB, rgb)), 3, 2, kSample);

    // Grey and grey with alpha.
    ExpectPixels(LoadPixmapFromMemory(EncodePng(2, 1, PNG_FORMAT_GRAY, {0, 200})), 2, 1,
                 {Rgba(0, 0, 0), Rgba(200, 200, 200)});
    ExpectPixels(LoadPixmapFromMemory(EncodePng(2, 1, PNG_FORMAT_GA, {90, 255, 30, 0})), 2, 1,
                 {Rgba(90, 90, 90), Rgba(30, 30, 30, 0)});

    // Palette.
    const uint8_t palette[] = {255, 0, 0, 0, 0, 255, 9, 9, 9};
    ExpectPixels(
        LoadPixmapFromMemory(EncodePng(3, 1, PNG_FORMAT_RGB_COLORMAP, {2, 0, 1}, palette, 3)), 3, 1,
        {Rgba(9, 9, 9), Rgba(255, 0, 0), Rgba(0, 0, 255)});
}

TEST(PixmapJpeg, ColourAndGrey_DecodeCloseToSource) {
    // 16 x 16 in four flat 8 x 8 blocks, so quality 100 comes back within a few levels.
    std::vector<uint32_t> px(256);
    const uint32_t quads[4] = {Rgba(250, 10, 10), Rgba(10, 250, 10), Rgba(10, 10, 250),
                               Rgba(128, 128, 128)};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            px[y * 16 + x] = quads[(y / 8) * 2 + x / 8];
    ExpectPixels(LoadPixmapFromMemory(EncodeJpeg(16, 16, px)), 16, 16, px, 6);

    std::vector<uint32_t> grey(64, Rgba(77, 77, 77));
    ExpectPixels(LoadPixmapFromMemory(EncodeJpeg(8, 8, grey, 1)), 8, 8, grey, 2);
}

TEST(PixmapBmp, Layouts_DecodeToRgba) {
    // 24-bit bottom-up with row padding (3 * 3 = 9 bytes -> 12).
    ExpectPixels(LoadPixmapFromMemory(EncodeBmp24(3, 2, kSample)), 3, 2, kSample);

    // 32-bit top-down (negative height) with a real alpha byte.
    std::string rows;
    PutLe(rows, 0, 0x80112233u, 4); // a 0x80, r 0x11, g 0x22, b 0x33
    PutLe(rows, 4, 0xff0000ffu, 4);
    ExpectPixels(LoadPixmapFromMemory(MakeBmp(1, -2, 32, 0, "", rows)), 1, 2,
                 {Rgba(0x11, 0x22, 0x33, 0x80), Rgba(0, 0, 255)});

    // 32-bit with the fourth byte all zero: "unused", so opaque.
    rows.clear();
    PutLe(rows, 0, 0x00112233u, 4);
    PutLe(rows, 4, 0x00445566u, 4);
    ExpectPixels(LoadPixmapFromMemory(MakeBmp(2, 1, 32, 0, "", rows)), 2, 1,
                 {Rgba(0x11, 0x22, 0x33), Rgba(0x44, 0x55, 0x66)});

    // 8-bit palette, two rows bottom-up, each row padded to 4 bytes.
    std::string palette;
    PutLe(palette, 0, 0x00ff0000u, 4); // index 0: red (stored b, g, r, 0)
    PutLe(palette, 4, 0x0000ff00u, 4); // index 1: green
    rows = std::string("\x01\x00\x00\x00\x00\x01\x00\x00", 8);
    ExpectPixels(LoadPixmapFromMemory(MakeBmp(2, 2, 8, 0, palette, rows)), 2, 2,
                 {Rgba(255, 0, 0), Rgba(0, 255, 0), Rgba(0, 255, 0), Rgba(255, 0, 0)});

    // 1-bit palette: bits from the top of the byte.
    rows = std::string("\xa0\x00\x00\x00", 4); // 1 0 1 0
    ExpectPixels(LoadPixmapFromMemory(MakeBmp(4, 1, 1, 0, palette, rows)), 4, 1,
                 {Rgba(0, 255, 0), Rgba(255, 0, 0), Rgba(0, 255, 0), Rgba(255, 0, 0)});

    // 16-bit 5-5-5 and 5-6-5 bit fields.
    rows.clear();
    PutLe(rows, 0, 0x7c00u | 0x001fu, 2); // red + blue
    PutLe(rows, 2, 0, 2);
    ExpectPixels(LoadPixmapFromMemory(MakeBmp(1, 1, 16, 0, "", rows)), 1, 1, {Rgba(255, 0, 255)});
    std::string masks;
    PutLe(masks, 0, 0xf800u, 4);
    PutLe(masks, 4, 0x07e0u, 4);
    PutLe(masks, 8, 0x001fu, 4);
    rows.clear();
    PutLe(rows, 0, 0x07e0u, 2); // green only
    PutLe(rows, 2, 0, 2);
    ExpectPixels(LoadPixmapFromMemory(MakeBmp(1, 1, 16, 3, masks, rows)), 1, 1, {Rgba(0, 255, 0)});
}

TEST(PixmapLoad, FormatByContent_NotByName) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("hvn_pixmap_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = (dir / "looks_like.png").string();
    std::ofstream(path, std::ios::binary) << EncodeBmp24(3, 2, kSample);
    ExpectPixels(LoadPixmap(path), 3, 2, kSample);
    EXPECT_FALSE(LoadPixmap((dir / "missing.png").string()));
    std::filesystem::remove_all(dir);

    static const std::string embedded = EncodeJpeg(8, 8, std::vector<uint32_t>(64, Rgba(0, 0, 0)));
    RegisterEmbeddedFile("./data/canvas_test_logo.png", embedded.data(), embedded.size());
    auto p = LoadPixmap("Incbin::./data/canvas_test_logo.png");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 8);
}

TEST(PixmapLoad, NewPixmaps_GetDistinctGenerations) {
    const std::string png = EncodePngRgba(2, 2, std::vector<uint32_t>(4, Rgba(1, 2, 3)));
    auto a = LoadPixmapFromMemory(png);
    auto b = LoadPixmapFromMemory(png);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->generation, b->generation);
    const uint64_t before = a->generation;
    MarkPixmapChanged(*a);
    EXPECT_NE(a->generation, before);
}

// PNG chunk with a correct CRC, for headers that lie convincingly.
std::string PngChunk(const std::string &type, const std::string &data) {
    const uint32_t n = uint32_t(data.size());
    const std::string out = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    const std::string body = type + data;
    const uint32_t crc =
        uint32_t(crc32(0, reinterpret_cast<const Bytef *>(body.data()), uInt(body.size())));
    return out + body + std::string{char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)};
}

std::string PngWithHeader(uint32_t w, uint32_t h) {
    std::string ihdr = {char(w >> 24),
                        char(w >> 16),
                        char(w >> 8),
                        char(w),
                        char(h >> 24),
                        char(h >> 16),
                        char(h >> 8),
                        char(h),
                        8,
                        6,
                        0,
                        0,
                        0};
    // One tiny valid zlib stream as IDAT: far too little data for the claimed size.
    const std::string idat("\x78\x9c\x63\x00\x00\x00\x01\x00\x01", 9);
    return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) + PngChunk("IDAT", idat) +
           PngChunk("IEND", "");
}

std::string JpegWithSize(std::string jpeg, uint16_t w, uint16_t h) {
    // The SOF0 marker: FF C0, length (2), precision (1), height (2), width (2).
    const size_t sof = jpeg.find("\xff\xc0");
    jpeg[sof + 5] = char(h >> 8), jpeg[sof + 6] = char(h);
    jpeg[sof + 7] = char(w >> 8), jpeg[sof + 8] = char(w);
    return jpeg;
}

TEST(PixmapLoad, BadInput_ReturnsNull) {
    const std::string png = EncodePngRgba(3, 2, kSample);
    const std::string jpeg = EncodeJpeg(16, 16, std::vector<uint32_t>(256, Rgba(9, 9, 9)));
    const std::string bmp = EncodeBmp24(3, 2, kSample);
    std::string pngBadCrc = png;
    pngBadCrc[pngBadCrc.size() - 20] ^= 0x55; // inside the IDAT data
    std::string bmpWide = bmp;
    PutLe(bmpWide, 18, 100000, 4);
    std::string bmpNoWidth = bmp;
    PutLe(bmpNoWidth, 18, 0, 4);
    std::string bmpBadDepth = bmp;
    PutLe(bmpBadDepth, 28, 7, 2);
    std::string bmpRle = bmp;
    PutLe(bmpRle, 30, 1, 4);
    std::string bmpOffset = bmp;
    PutLe(bmpOffset, 10, 0xfffffff0u, 4);
    std::string bmpHugeHeader = bmp;
    PutLe(bmpHugeHeader, 14, 0x7fffffffu, 4);
    std::string bmpTallNegative = bmp;
    PutLe(bmpTallNegative, 22, 0x80000000u, 4); // INT32_MIN rows

    const struct {
        const char *name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"text", "not an image at all"},
        {"png signature only", png.substr(0, 8)},
        {"png truncated", png.substr(0, png.size() / 2)},
        {"png bad crc", pngBadCrc},
        {"png zero width", PngWithHeader(0, 5)},
        {"png absurd size", PngWithHeader(100000, 100000)},
        {"png too little data", PngWithHeader(64, 64)},
        {"jpeg marker only", jpeg.substr(0, 3)},
        {"jpeg truncated", jpeg.substr(0, jpeg.size() / 2)},
        {"jpeg absurd size", JpegWithSize(jpeg, 60000, 60000)},
        {"jpeg zero size", JpegWithSize(jpeg, 0, 16)},
        {"bmp magic only", std::string("BM")},
        {"bmp header only", bmp.substr(0, 54)},
        {"bmp truncated rows", bmp.substr(0, bmp.size() - 1)},
        {"bmp absurd width", bmpWide},
        {"bmp zero width", bmpNoWidth},
        {"bmp unknown depth", bmpBadDepth},
        {"bmp compressed", bmpRle},
        {"bmp offset past end", bmpOffset},
        {"bmp header size past end", bmpHugeHeader},
        {"bmp height INT32_MIN", bmpTallNegative},
    };
    for (const auto &c : cases) {
        EXPECT_FALSE(LoadPixmapFromMemory(c.bytes)) << c.name;
        EXPECT_FALSE(LoadIconStripFromMemory(c.bytes)) << c.name;
    }
}

} // namespace
} // namespace hvn
