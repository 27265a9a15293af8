#include "audio/timed_id3.h"

#include <cstdint>
#include <string>

namespace hvn {
namespace {

uint32_t syncsafe(const unsigned char *p) {
    return uint32_t(p[0] & 0x7f) << 21 | uint32_t(p[1] & 0x7f) << 14 | uint32_t(p[2] & 0x7f) << 7 |
           uint32_t(p[3] & 0x7f);
}

uint32_t big_endian(const unsigned char *p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void append_utf8(std::string &out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A text frame's body (encoding byte, then the text) as UTF-8, up to its first terminator.
std::string frame_text(std::string_view body) {
    std::string out;
    if (body.empty())
        return out;
    const auto *p = reinterpret_cast<const unsigned char *>(body.data()) + 1;
    const size_t n = body.size() - 1;
    switch (body[0]) {
    case 0: // ISO-8859-1
        for (size_t i = 0; i < n && p[i]; ++i)
            append_utf8(out, p[i]);
        return out;
    case 1:   // UTF-16 with a byte order mark
    case 2: { // UTF-16BE
        size_t i = 0;
        bool little = false;
        if (body[0] == 1 && n >= 2 && (p[0] == 0xFF || p[0] == 0xFE)) {
            little = p[0] == 0xFF;
            i = 2;
        }
        auto unit = [&](size_t at) -> uint32_t {
            return little ? p[at] | p[at + 1] << 8 : p[at] << 8 | p[at + 1];
        };
        for (; i + 1 < n; i += 2) {
            uint32_t c = unit(i);
            if (c == 0)
                break;
            if (c >= 0xD800 && c < 0xDC00 && i + 3 < n) {
                const uint32_t low = unit(i + 2);
                if (low >= 0xDC00 && low < 0xE000) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    i += 2;
                }
            }
            if (c >= 0xD800 && c < 0xE000)
                c = 0xFFFD; // a lone surrogate
            append_utf8(out, c);
        }
        return out;
    }
    case 3: // UTF-8
        return std::string(body.substr(1, body.substr(1).find('\0')));
    default:
        return out;
    }
}

} // namespace

size_t id3_tag_size(std::string_view bytes) {
    const auto *d = reinterpret_cast<const unsigned char *>(bytes.data());
    if (bytes.size() < 10 || bytes.substr(0, 3) != "ID3" || d[3] == 0xFF || d[4] == 0xFF ||
        ((d[6] | d[7] | d[8] | d[9]) & 0x80))
        return 0;
    const bool footer = d[5] & 0x10;
    return 10 + size_t{syncsafe(d + 6)} + (footer ? 10 : 0);
}

std::optional<SongTags> timed_id3_song(std::string_view tag) {
    // libavformat takes the first 5 bytes of a metadata PES for the access-unit header of
    // MPEG's own metadata carriage; HLS packagers put the tag there directly, so it comes
    // without "ID3", version and revision. Put back as 2.4 (sizes under 128 read the same
    // as 2.3).
    std::string whole;
    if (tag.substr(0, 3) != "ID3" && tag.size() >= 5) {
        whole = std::string("ID3\x04\x00", 5) + std::string(tag);
        tag = whole;
    }
    const auto *d = reinterpret_cast<const unsigned char *>(tag.data());
    if (tag.size() < 10 || tag.substr(0, 3) != "ID3" || (d[3] != 3 && d[3] != 4))
        return std::nullopt;
    const bool v4 = d[3] == 4;
    size_t end = std::min<size_t>(tag.size(), 10 + size_t{syncsafe(d + 6)});
    size_t pos = 10;
    if (d[5] & 0x40) { // an extended header, skipped
        if (end < pos + 4)
            return std::nullopt;
        pos += v4 ? syncsafe(d + pos) : big_endian(d + pos) + 4;
    }
    std::optional<std::string> title, artist;
    while (pos + 10 <= end && d[pos] != 0) {
        const std::string_view id = tag.substr(pos, 4);
        const size_t size = v4 ? syncsafe(d + pos + 4) : big_endian(d + pos + 4);
        pos += 10;
        if (size > end - pos)
            break;
        if (id == "TIT2")
            title = frame_text(tag.substr(pos, size));
        else if (id == "TPE1")
            artist = frame_text(tag.substr(pos, size));
        pos += size;
    }
    if (!title && !artist)
        return std::nullopt;
    if (title && !artist)
        return split_stream_title(*title);
    return SongTags{artist, title.value_or("")};
}

} // namespace hvn
