#pragma once
// Parsing what a SHOUTcast/icecast server sends besides the sound: the icy-* response
// headers and the in-band metadata blocks.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hvn {

// The value of one header from libavformat's icy_metadata_headers text ("name: value"
// lines), name compared without case; nullopt when the server sent no such header.
std::optional<std::string> icy_header(std::string_view headers, std::string_view name);

// s without the blanks and tabs around it and a CR at its end: a header value.
std::string_view trim_blanks(std::string_view s);

// The StreamTitle of one metadata block ("StreamTitle='...';StreamUrl='...';"): the bytes
// between the quotes as UTF-8 (see tag_text_utf8); nullopt when the block has none.
std::optional<std::string> icy_stream_title(std::string_view block);

struct SongTags {
    std::optional<std::string> artist;
    std::string title;
};
// "Artist - Title" split at the first " - "; without one the whole text is the title.
SongTags split_stream_title(const std::string &text);

// Separates an ICY body into sound bytes and metadata blocks: after every metaint bytes
// of sound, one length byte n and a block of n * 16 bytes (at most 4080, so a block can
// never make it hold more).
class IcySplitter {
public:
    explicit IcySplitter(size_t metaint) : metaint_(metaint), soundLeft_(metaint) {}
    // Appends the sound in data to sound and every block completed by it to blocks.
    void feed(const uint8_t *data, size_t size, std::string &sound,
              std::vector<std::string> &blocks);

private:
    size_t metaint_; // 0: the body is all sound
    size_t soundLeft_;
    bool atLength_ = false;
    size_t blockLeft_ = 0;
    std::string block_;
};

} // namespace hvn
