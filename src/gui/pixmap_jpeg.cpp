// JPEG through libjpeg. libjpeg reports fatal errors through a callback that must not
// return, so the decoder longjmps back to its own frame; all state that lives across the
// jump is kept in the JpegDecoder object, never in locals of the jumping frame.
#include "gui/pixmap_codecs.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace hvn {

namespace {

struct JpegErrors {
    jpeg_error_mgr mgr; // first member: libjpeg hands us a pointer to it
    std::jmp_buf jump;
    bool truncated = false;
};

void OnJpegFatal(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrors *>(cinfo->err)->jump, 1);
}

// libjpeg only warns about a file that ends early and makes up the missing rows;
// we count that as a failed decode rather than show a half-grey picture.
void OnJpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<JpegErrors *>(cinfo->err)->truncated = true;
}

uint32_t CmykToRgba(const uint8_t *p, bool inverted) {
    uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
    if (!inverted) { // plain CMYK: ink amounts; Adobe files store them inverted
        c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    }
    return PackRgba(c * k / 255, m * k / 255, y * k / 255, 255);
}

class JpegDecoder {
public:
    JpegDecoder() {
        cinfo_.err = jpeg_std_error(&errors_.mgr);
        errors_.mgr.error_exit = OnJpegFatal;
        errors_.mgr.emit_message = OnJpegMessage;
    }
    ~JpegDecoder() {
        if (created_)
            jpeg_destroy_decompress(&cinfo_);
    }
    JpegDecoder(const JpegDecoder &) = delete;
    JpegDecoder &operator=(const JpegDecoder &) = delete;

    PixmapPtr Run(const std::string &bytes) {
        if (setjmp(errors_.jump))
            return nullptr;
        Decode(bytes);
        if (errors_.truncated)
            return nullptr;
        return std::move(result_);
    }

private:
    void Decode(const std::string &bytes) {
        jpeg_create_decompress(&cinfo_);
        created_ = true;
        jpeg_mem_src(&cinfo_, reinterpret_cast<const unsigned char *>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&cinfo_, TRUE);
        if (!PixmapSizeAcceptable(cinfo_.image_width, cinfo_.image_height))
            return;
        const bool cmyk =
            cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
        cinfo_.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
        jpeg_start_decompress(&cinfo_);
        result_ = CreatePixmap(int(cinfo_.output_width), int(cinfo_.output_height));
        if (!result_)
            return;
        row_.resize(size_t(cinfo_.output_width) * cinfo_.output_components);
        // A file that ends early is refused: stop at once instead of decoding made-up rows
        // (a few hundred bytes can announce a picture of millions of pixels).
        while (cinfo_.output_scanline < cinfo_.output_height && !errors_.truncated) {
            const auto y = cinfo_.output_scanline;
            JSAMPROW rows[1] = {row_.data()};
            jpeg_read_scanlines(&cinfo_, rows, 1);
            StoreRow(y, cmyk);
        }
        if (!errors_.truncated)
            jpeg_finish_decompress(&cinfo_);
    }

    void StoreRow(JDIMENSION y, bool cmyk) {
        uint32_t *out = result_->pixels.data() + size_t(y) * result_->width;
        const uint8_t *p = row_.data();
        for (int x = 0; x < result_->width; ++x) {
            if (cmyk) {
                out[x] = CmykToRgba(p, cinfo_.saw_Adobe_marker);
                p += 4;
            } else {
                out[x] = PackRgba(p[0], p[1], p[2], 255);
                p += 3;
            }
        }
    }

    jpeg_decompress_struct cinfo_{};
    JpegErrors errors_{};
    bool created_ = false;
    PixmapPtr result_;
    std::vector<uint8_t> row_;
};

} // namespace

PixmapPtr DecodeJpeg(const std::string &bytes) {
    JpegDecoder decoder;
    return decoder.Run(bytes);
}

} // namespace hvn
