#pragma once
// Parsing what a SHOUTcast/icecast server sends besides the sound: the icy-* response
// headers and the in-band metadata blocks.
#include <optional>
#include <string>
#include <string_view>

namespace hvn {

// The value of one header from libavformat's icy_metadata_headers text ("name: value"
// lines), name compared without case; nullopt when the server sent no such header.
std::optional<std::string> icy_header(std::string_view headers, std::string_view name);

// The StreamTitle of one metadata block ("StreamTitle='...';StreamUrl='...';"), the raw
// bytes between the quotes; nullopt when the block has none.
std::optional<std::string> icy_stream_title(std::string_view block);

struct SongTags {
    std::optional<std::string> artist;
    std::string title;
};
// "Artist - Title" split at the first " - "; without one the whole text is the title.
SongTags split_stream_title(const std::string &text);

} // namespace hvn
