#include "audio/stream_tags.h"

namespace hvn {
namespace {

std::string bounded(std::string data) {
    if (data.size() > kMaxTagBytes)
        data.resize(kMaxTagBytes);
    return data;
}

} // namespace

void StreamTags::set(const std::string &name, std::string data) {
    std::lock_guard lock(mutex_);
    tags_[name] = bounded(std::move(data));
}

void StreamTags::set_song(std::optional<std::string> artist, std::optional<std::string> title) {
    std::lock_guard lock(mutex_);
    tags_.erase("ARTIST");
    tags_.erase("TITLE");
    if (artist)
        tags_["ARTIST"] = bounded(std::move(*artist));
    if (title)
        tags_["TITLE"] = bounded(std::move(*title));
}

std::optional<std::string> StreamTags::get(const std::string &name) const {
    std::lock_guard lock(mutex_);
    auto it = tags_.find(name);
    if (it == tags_.end())
        return std::nullopt;
    return it->second;
}

} // namespace hvn
