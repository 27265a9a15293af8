#pragma once
// Small images made by the pixmap and canvas tests themselves: PNG and JPEG through the
// real encoders, BMP written byte by byte.
#include "gui/pixmap.h"

#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace hvn::testimg {

inline uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) {
    return r | g << 8 | b << 16 | a << 24;
}
inline int R(uint32_t px) {
    return int(px & 255);
}
inline int G(uint32_t px) {
    return int(px >> 8 & 255);
}
inline int B(uint32_t px) {
    return int(px >> 16 & 255);
}
inline int A(uint32_t px) {
    return int(px >> 24);
}

// `format` is a libpng simplified format; `data` holds rows of that format.
inline std::string EncodePng(int w, int h, uint32_t format, const std::vector<uint8_t> &data,
                             const void *colormap = nullptr, int colormapEntries = 0) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(w);
    image.height = uint32_t(h);
    image.format = format;
    image.colormap_entries = uint32_t(colormapEntries);
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, data.data(), 0, colormap))
        throw std::runtime_error("png size");
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, data.data(), 0, colormap))
        throw std::runtime_error("png write");
    out.resize(size);
    return out;
}

inline std::string EncodePngRgba(int w, int h, const std::vector<uint32_t> &pixels) {
    std::vector<uint8_t> data;
    for (uint32_t px : pixels)
        for (int c = 0; c < 4; ++c)
            data.push_back(uint8_t(px >> (8 * c)));
    return EncodePng(w, h, PNG_FORMAT_RGBA, data);
}

// components 3 (RGB from pixels) or 1 (grey from the red component).
inline std::string EncodeJpeg(int w, int h, const std::vector<uint32_t> &pixels,
                              int components = 3) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1; // no chroma blur
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(w) * components);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < components; ++c)
                row[size_t(x) * components + c] = uint8_t(pixels[size_t(y) * w + x] >> (8 * c));
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::string out(reinterpret_cast<const char *>(buffer), size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

inline void PutLe(std::string &s, size_t at, uint32_t v, int bytes) {
    if (s.size() < at + bytes)
        s.resize(at + bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        s[at + i] = char(v >> (8 * i) & 255);
}

// BMP with a 40-byte info header; `rows` is the pixel data as stored (already padded),
// `extra` goes between the header and the pixel data (masks, palette).
inline std::string MakeBmp(int32_t w, int32_t h, int bpp, uint32_t compression,
                           const std::string &extra, const std::string &rows) {
    std::string s;
    const uint32_t offset = 14 + 40 + uint32_t(extra.size());
    s += "BM";
    PutLe(s, 2, offset + uint32_t(rows.size()), 4);
    PutLe(s, 10, offset, 4);
    PutLe(s, 14, 40, 4);
    PutLe(s, 18, uint32_t(w), 4);
    PutLe(s, 22, uint32_t(h), 4);
    PutLe(s, 26, 1, 2);
    PutLe(s, 28, uint32_t(bpp), 2);
    PutLe(s, 30, compression, 4);
    PutLe(s, 34, uint32_t(rows.size()), 4);
    PutLe(s, 46, 0, 4);
    PutLe(s, 50, 0, 4);
    return s + extra + rows;
}

// 24-bit bottom-up BMP of the pixels (top row first in `pixels`).
inline std::string EncodeBmp24(int w, int h, const std::vector<uint32_t> &pixels) {
    const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
    std::string rows;
    for (int y = h - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        for (int x = 0; x < w; ++x) {
            const uint32_t px = pixels[size_t(y) * w + x];
            row[3 * x] = char(B(px));
            row[3 * x + 1] = char(G(px));
            row[3 * x + 2] = char(R(px));
        }
        rows += row;
    }
    return MakeBmp(w, h, 24, 0, "", rows);
}

} // namespace hvn::testimg
