// Windows BMP, uncompressed: 1, 4 and 8 bits with a palette, 16 bits (5-5-5 or bit
// fields), 24 bits, 32 bits (plain or bit fields). Every read is checked against the
// size of the data, so a short or lying header gives nullptr, never a read past the end.
#include "gui/pixmap_codecs.h"

#include <array>
#include <bit>
#include <vector>

namespace hvn {

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;
constexpr size_t kFileHeaderSize = 14;

class ByteReader {
public:
    explicit ByteReader(const std::string &bytes) : bytes_(bytes) {}
    bool Has(uint64_t offset, uint64_t count) const {
        return offset <= bytes_.size() && count <= bytes_.size() - offset;
    }
    uint8_t U8(uint64_t at) const { return uint8_t(bytes_[at]); }
    uint32_t U16(uint64_t at) const { return U8(at) | U8(at + 1) << 8; }
    uint32_t U32(uint64_t at) const { return U16(at) | U16(at + 2) << 16; }
    int32_t S32(uint64_t at) const { return int32_t(U32(at)); }

private:
    const std::string &bytes_;
};

// One colour channel given by a bit mask, scaled to 0..255.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Channel(uint32_t m = 0) : mask(m) {
        if (!mask)
            return;
        shift = std::countr_zero(mask);
        max = mask >> shift;
    }
    uint32_t Get(uint32_t value, uint32_t absent) const {
        if (!mask || !max)
            return absent;
        return ((value & mask) >> shift) * 255 / max;
    }
};

struct BmpHeader {
    int64_t width = 0;
    int64_t height = 0; // rows; the file stores them bottom-up unless topDown
    bool topDown = false;
    uint32_t bpp = 0;
    uint32_t compression = 0;
    uint64_t dataOffset = 0;
    uint64_t paletteOffset = 0;
    uint32_t paletteEntrySize = 4;
    uint32_t paletteCount = 0;
    std::array<Channel, 4> masks; // r, g, b, a
    bool hasMasks = false;
};

bool ReadMasks(const ByteReader &in, uint64_t at, bool withAlpha, BmpHeader &h) {
    if (!in.Has(at, withAlpha ? 16 : 12))
        return false;
    for (int i = 0; i < (withAlpha ? 4 : 3); ++i)
        h.masks[i] = Channel(in.U32(at + 4 * i));
    h.hasMasks = true;
    return true;
}

bool ReadCoreHeader(const ByteReader &in, BmpHeader &h) {
    if (!in.Has(kFileHeaderSize, 12))
        return false;
    h.width = in.U16(18);
    h.height = in.U16(20);
    h.bpp = in.U16(24);
    h.paletteEntrySize = 3;
    h.paletteOffset = kFileHeaderSize + 12;
    return true;
}

bool ReadInfoHeader(const ByteReader &in, uint32_t size, BmpHeader &h) {
    if (size < 40 || !in.Has(kFileHeaderSize, size))
        return false;
    h.width = in.S32(18);
    const int64_t height = in.S32(22);
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    h.bpp = in.U16(28);
    h.compression = in.U32(30);
    h.paletteCount = in.U32(46);
    h.paletteOffset = kFileHeaderSize + size;
    if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
        const bool alpha = h.compression == kBiAlphaBitfields || size >= 56;
        if (size >= 52) // the masks are part of the longer headers
            return ReadMasks(in, kFileHeaderSize + 40, alpha, h);
        const uint64_t masksAt = kFileHeaderSize + size;
        h.paletteOffset += alpha ? 16 : 12;
        return ReadMasks(in, masksAt, alpha, h);
    }
    return true;
}

bool ReadHeader(const ByteReader &in, BmpHeader &h) {
    if (!in.Has(0, kFileHeaderSize + 4) || in.U8(0) != 'B' || in.U8(1) != 'M')
        return false;
    h.dataOffset = in.U32(10);
    const uint32_t size = in.U32(kFileHeaderSize);
    const bool ok = size == 12 ? ReadCoreHeader(in, h) : ReadInfoHeader(in, size, h);
    if (!ok || !PixmapSizeAcceptable(h.width, h.height))
        return false;
    switch (h.bpp) {
    case 1:
    case 4:
    case 8:
        return h.compression == kBiRgb;
    case 16:
    case 32:
        if (h.compression == kBiRgb)
            return true;
        return h.hasMasks;
    case 24:
        return h.compression == kBiRgb;
    default:
        return false;
    }
}

std::vector<uint32_t> ReadPalette(const ByteReader &in, const BmpHeader &h) {
    const uint32_t full = 1u << h.bpp;
    uint32_t count = h.paletteCount == 0 || h.paletteCount > full ? full : h.paletteCount;
    std::vector<uint32_t> palette;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = h.paletteOffset + uint64_t(i) * h.paletteEntrySize;
        if (!in.Has(at, 3))
            break; // a short palette: the missing entries read as black
        palette.push_back(PackRgba(in.U8(at + 2), in.U8(at + 1), in.U8(at), 255));
    }
    palette.resize(full, PackRgba(0, 0, 0, 255));
    return palette;
}

uint32_t MaskedPixel(const BmpHeader &h, uint32_t v) {
    return PackRgba(h.masks[0].Get(v, 0), h.masks[1].Get(v, 0), h.masks[2].Get(v, 0),
                    h.masks[3].Get(v, 255));
}

void DecodeRow(const ByteReader &in, uint64_t at, const BmpHeader &h,
               const std::vector<uint32_t> &palette, uint32_t *out) {
    for (int64_t x = 0; x < h.width; ++x) {
        switch (h.bpp) {
        case 1:
        case 4:
        case 8: {
            const uint64_t bit = uint64_t(x) * h.bpp;
            const uint32_t byte = in.U8(at + bit / 8);
            const uint32_t shift = 8 - h.bpp - bit % 8;
            out[x] = palette[(byte >> shift) & ((1u << h.bpp) - 1)];
            break;
        }
        case 16: {
            const uint32_t v = in.U16(at + 2 * x);
            out[x] = h.hasMasks ? MaskedPixel(h, v)
                                : PackRgba((v >> 10 & 31) * 255 / 31, (v >> 5 & 31) * 255 / 31,
                                           (v & 31) * 255 / 31, 255);
            break;
        }
        case 24:
            out[x] = PackRgba(in.U8(at + 3 * x + 2), in.U8(at + 3 * x + 1), in.U8(at + 3 * x), 255);
            break;
        case 32: {
            const uint32_t v = in.U32(at + 4 * x);
            // Plain 32-bit files: the fourth byte is alpha, red byte third.
            out[x] = h.hasMasks ? MaskedPixel(h, v)
                                : PackRgba(v >> 16 & 255, v >> 8 & 255, v & 255, v >> 24);
            break;
        }
        }
    }
}

// Plain 32-bit files usually leave the fourth byte 0, meaning "unused", not "invisible".
void OpaqueIfNoAlpha(const BmpHeader &h, Pixmap &pixmap) {
    if (h.bpp != 32 || h.hasMasks)
        return;
    for (uint32_t px : pixmap.pixels)
        if (px >> 24)
            return;
    for (uint32_t &px : pixmap.pixels)
        px |= 0xff000000u;
}

} // namespace

PixmapPtr DecodeBmp(const std::string &bytes) {
    const ByteReader in(bytes);
    BmpHeader h;
    if (!ReadHeader(in, h))
        return nullptr;
    const uint64_t stride = (uint64_t(h.width) * h.bpp + 31) / 32 * 4;
    if (!in.Has(h.dataOffset, stride * uint64_t(h.height)))
        return nullptr;
    const std::vector<uint32_t> palette = h.bpp <= 8 ? ReadPalette(in, h) : std::vector<uint32_t>{};
    auto pixmap = CreatePixmap(int(h.width), int(h.height));
    if (!pixmap)
        return nullptr;
    for (int64_t row = 0; row < h.height; ++row) {
        const int64_t y = h.topDown ? row : h.height - 1 - row;
        DecodeRow(in, h.dataOffset + uint64_t(row) * stride, h, palette,
                  pixmap->pixels.data() + y * h.width);
    }
    OpaqueIfNoAlpha(h, *pixmap);
    return pixmap;
}

} // namespace hvn
