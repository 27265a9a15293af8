#include "audio/stream_tags.h"

#include <cstdint>

namespace hvn {
namespace {

// Code points of Windows-1252's bytes 0x80..0x9F. The five bytes it leaves undefined stand
// for the control characters of the same number, as browsers read them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Strict: no overlong forms, no surrogates, nothing above U+10FFFF, no sequence cut short.
bool valid_utf8(const std::string &s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t len;
        uint32_t code;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4, code = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (d & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[len] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

void append_utf8(std::string &out, char16_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string bounded(std::string data) {
    if (data.size() > kMaxTagBytes) {
        size_t end = kMaxTagBytes;
        // Never keep the first bytes of a character without its last.
        while (end > 0 && (static_cast<unsigned char>(data[end]) & 0xC0) == 0x80)
            --end;
        data.resize(end);
    }
    return data;
}

} // namespace

std::string tag_text_utf8(std::string bytes) {
    if (valid_utf8(bytes))
        return bytes;
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        append_utf8(out, c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : char16_t{c});
    }
    return out;
}

void StreamTags::set(const std::string &name, std::string data) {
    std::lock_guard lock(mutex_);
    tags_[name] = bounded(std::move(data));
}

void StreamTags::set_song(std::optional<std::string> artist, std::optional<std::string> title) {
    std::lock_guard lock(mutex_);
    tags_.erase("ARTIST");
    tags_.erase("TITLE");
    if (artist)
        tags_["ARTIST"] = bounded(tag_text_utf8(std::move(*artist)));
    if (title)
        tags_["TITLE"] = bounded(tag_text_utf8(std::move(*title)));
}

std::optional<std::string> StreamTags::get(const std::string &name) const {
    std::lock_guard lock(mutex_);
    auto it = tags_.find(name);
    if (it == tags_.end())
        return std::nullopt;
    return it->second;
}

} // namespace hvn
