#include "audio/playlist.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

namespace hvn {
namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool starts_with(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::string_view skip_bom(std::string_view s) {
    if (starts_with(s, "\xEF\xBB\xBF"))
        s.remove_prefix(3);
    return trim(s);
}

} // namespace

BodyKind body_kind(std::string_view contentType, std::string_view target) {
    static const char *const playlists[] = {"audio/x-scpls",       "audio/scpls",
                                            "application/pls+xml", "audio/x-mpegurl",
                                            "audio/mpegurl",       "application/x-mpegurl",
                                            "application/mpegurl", "application/vnd.apple.mpegurl",
                                            "audio/x-m3u",         "audio/m3u"};
    for (const char *type : playlists)
        if (contentType == type)
            return BodyKind::Playlist;
    // Real sound types are believed; anything else (text/plain, octet-stream, none) may
    // be a playlist served carelessly.
    if (starts_with(contentType, "audio/") || starts_with(contentType, "application/ogg") ||
        starts_with(contentType, "video/"))
        return BodyKind::Sound;
    std::string path = lower(target.substr(0, target.find_first_of("?#")));
    for (const char *ext : {".pls", ".m3u", ".m3u8"})
        if (path.size() > std::string_view(ext).size() &&
            path.compare(path.size() - std::string_view(ext).size(), std::string::npos, ext) == 0)
            return BodyKind::Playlist;
    return BodyKind::Unsure;
}

bool looks_like_playlist(std::string_view start) {
    const std::string s = lower(skip_bom(start));
    return starts_with(s, "[playlist]") || starts_with(s, "#extm3u") || starts_with(s, "http://") ||
           starts_with(s, "https://");
}

Playlist parse_playlist(std::string_view text) {
    Playlist out;
    text = skip_bom(text);
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos <= text.size();) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = trim(text.substr(pos, end - pos));
        if (!line.empty())
            lines.push_back(line);
        pos = end + 1;
    }
    if (!lines.empty() && lower(lines.front()) == "[playlist]") {
        std::map<int, std::string> files; // by their number
        for (std::string_view line : lines) {
            size_t eq = line.find('=');
            const std::string key = lower(trim(line.substr(0, std::min(eq, line.size()))));
            if (eq == std::string_view::npos || !starts_with(key, "file"))
                continue;
            int n = 0;
            const char *end = key.data() + key.size();
            auto [p, ec] = std::from_chars(key.data() + 4, end, n);
            const bool digits = key.size() > 4 && ec == std::errc() && p == end;
            std::string_view value = trim(line.substr(eq + 1));
            if (digits && !value.empty())
                files.emplace(n, std::string(value));
        }
        for (auto &[n, url] : files)
            out.entries.push_back(url);
        return out;
    }
    for (std::string_view line : lines) {
        if (line.front() == '#') {
            // Tags that only HLS has: its entries are segments or variant playlists.
            if (starts_with(line, "#EXT-X-TARGETDURATION") ||
                starts_with(line, "#EXT-X-STREAM-INF") ||
                starts_with(line, "#EXT-X-MEDIA-SEQUENCE"))
                out.hls = true;
            continue;
        }
        out.entries.emplace_back(line);
    }
    return out;
}

} // namespace hvn
