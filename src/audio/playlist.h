#pragma once
// Station URLs that answer with a playlist instead of sound: PLS and M3U with plain
// entries, and HLS (an M3U8 of media segments or variant streams).
#include <string>
#include <string_view>
#include <vector>

namespace hvn {

enum class BodyKind { Sound, Playlist, Unsure };

// What a response is from its media type and the path of its URL alone; Unsure when the
// first bytes of the body must tell.
BodyKind body_kind(std::string_view contentType, std::string_view target);
// The first bytes of a body that may be a playlist (a dozen are enough to tell).
bool looks_like_playlist(std::string_view start);

struct Playlist {
    bool hls = false;
    std::vector<std::string> entries; // in playing order, as written (maybe relative)
};
// PLS ("[playlist]", FileN=) or M3U (one entry a line, # lines are comments); an M3U with
// HLS tags is HLS and its entries are left to the HLS reader.
Playlist parse_playlist(std::string_view text);

} // namespace hvn
