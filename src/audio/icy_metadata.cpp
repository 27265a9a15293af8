#include "audio/icy_metadata.h"

#include <algorithm>
#include <cctype>

#include "audio/stream_tags.h"

namespace hvn {
namespace {

bool equal_nocase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::optional<std::string> icy_header(std::string_view headers, std::string_view name) {
    while (!headers.empty()) {
        size_t end = headers.find('\n');
        std::string_view line = headers.substr(0, end);
        headers = end == std::string_view::npos ? std::string_view{} : headers.substr(end + 1);
        size_t colon = line.find(':');
        if (colon != std::string_view::npos &&
            equal_nocase(trim_blanks(line.substr(0, colon)), name))
            return std::string(trim_blanks(line.substr(colon + 1)));
    }
    return std::nullopt;
}

std::optional<std::string> icy_stream_title(std::string_view block) {
    // The block is padded with zero bytes to a multiple of 16.
    block = block.substr(0, block.find('\0'));
    constexpr std::string_view key = "StreamTitle='";
    size_t start = block.find(key);
    if (start == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = block.substr(start + key.size());
    // Titles may hold apostrophes: the value ends at "';", else at the last quote, else at
    // the end of a block cut short.
    size_t end = rest.find("';");
    if (end == std::string_view::npos)
        end = rest.rfind('\'');
    // Decided on the whole text, so that artist and title are read alike.
    return tag_text_utf8(std::string(rest.substr(0, end)));
}

SongTags split_stream_title(const std::string &text) {
    size_t dash = text.find(" - ");
    if (dash == std::string::npos)
        return {std::nullopt, text};
    return {text.substr(0, dash), text.substr(dash + 3)};
}

void IcySplitter::feed(const uint8_t *data, size_t size, std::string &sound,
                       std::vector<std::string> &blocks) {
    const char *p = reinterpret_cast<const char *>(data);
    if (metaint_ == 0) {
        sound.append(p, size);
        return;
    }
    while (size > 0) {
        if (blockLeft_ > 0) {
            size_t n = std::min(size, blockLeft_);
            block_.append(p, n);
            p += n, size -= n, blockLeft_ -= n;
            if (blockLeft_ == 0) {
                blocks.push_back(std::move(block_));
                block_.clear();
                soundLeft_ = metaint_;
            }
        } else if (atLength_) {
            blockLeft_ = static_cast<unsigned char>(*p) * size_t{16};
            ++p, --size;
            atLength_ = false;
            if (blockLeft_ == 0)
                soundLeft_ = metaint_; // an empty block: the song did not change
        } else {
            size_t n = std::min(size, soundLeft_);
            sound.append(p, n);
            p += n, size -= n, soundLeft_ -= n;
            if (soundLeft_ == 0)
                atLength_ = true;
        }
    }
}

} // namespace hvn
