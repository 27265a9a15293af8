#pragma once
// The tags a stream has sent so far ("icy-br", "TITLE", "ARTIST"), each its raw bytes.
// Written by the engine's threads, read by the main thread.
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace hvn {

// Longer values are cut (at a character boundary): a stream cannot make the engine hold
// more than this per tag.
constexpr size_t kMaxTagBytes = 4096;

// Tag text as valid UTF-8: kept when it already is, otherwise read as Windows-1252, the
// encoding of most stations that do not send UTF-8 (Latin-1 is a subset of it).
std::string tag_text_utf8(std::string bytes);

class StreamTags {
public:
    void set(const std::string &name, std::string data);
    // A new song: the old title and artist go, the given ones (when present) come, as UTF-8.
    void set_song(std::optional<std::string> artist, std::optional<std::string> title);
    std::optional<std::string> get(const std::string &name) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> tags_;
};

} // namespace hvn
