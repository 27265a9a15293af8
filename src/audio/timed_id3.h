#pragma once
// Song changes that HLS streams carry as timed ID3 (a metadata stream of ID3v2 tags beside
// the sound).
#include <optional>
#include <string_view>

#include "audio/icy_metadata.h"

namespace hvn {

// Title and artist of one ID3v2.3/2.4 tag, as UTF-8: TIT2 and TPE1, or a TIT2 alone in the
// "Artist - Title" form of an ICY title. nullopt when the tag names no song.
std::optional<SongTags> timed_id3_song(std::string_view tag);

// The whole size (header, frames, footer) of the ID3v2 tag that bytes begin with; 0 when
// they begin with something else. Needs the first 10 bytes.
size_t id3_tag_size(std::string_view bytes);

} // namespace hvn
