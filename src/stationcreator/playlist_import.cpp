#include "stationcreator/playlist_import.h"

#include "catalogue/station_files.h"
#include "core/posix_io.h"
#include "core/strings.h"
#include "core/text_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hvn {

namespace {

// A text found with its first occurrence at position 0 does not count: the kind test
// looks for the extension after at least one character of name.
bool FoundAfterStart(const std::string &text, const std::string &part) {
    const size_t at = text.find(part);
    return at != std::string::npos && at >= 1;
}

// The text between the first `open` and the next `close` of line, located in `lower`
// (line lower-cased) and cut from the line itself so that the case is kept. "" when
// close does not follow.
std::string Between(const std::string &line, const std::string &lower, const std::string &open,
                    const std::string &close) {
    const size_t start = lower.find(open) + open.size();
    const size_t end = lower.find(close, start);
    return end == std::string::npos ? std::string() : line.substr(start, end - start);
}

// <ref href="URL" />: the character after "=" (the opening quote) is skipped and the one
// before " />" (the closing quote) dropped.
std::string RefHref(const std::string &line, const std::string &lower) {
    static const std::string kRef = "<ref href=";
    const size_t start = lower.find(kRef) + kRef.size() + 1;
    if (start > line.size()) {
        return "";
    }
    const size_t end = lower.find(" />", start);
    if (end == std::string::npos || end == start) {
        return "";
    }
    return line.substr(start, end - start - 1);
}

bool HasCountKey(const std::string &line) {
    return Contains(line, "numberofentries=") || Contains(line, "NumberOfEntries=") ||
           Contains(line, "NUMBEROFENTRIES=");
}

// Reads at most limit + 1 bytes so that an oversized file is noticed without loading it.
std::optional<std::string> ReadBounded(const std::string &path, size_t limit) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    // Only regular files: a FIFO or a device would block or never end.
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > limit) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return bytes;
        }
        bytes.append(buffer, size_t(n));
        if (bytes.size() > limit) {
            return std::nullopt;
        }
    }
}

} // namespace

std::string PlaylistValue(const std::string &line) {
    const size_t eq = line.find('=');
    return eq == std::string::npos ? line : line.substr(eq + 1);
}

CreatorFileKind DetectCreatorFileKind(const std::string &path) {
    CreatorFileKind kind = CreatorFileKind::Unknown;
    const std::pair<const char *, CreatorFileKind> kTests[] = {
        {".pls", CreatorFileKind::Pls},
        {".m3u", CreatorFileKind::M3u},
        {".asx", CreatorFileKind::Asx},
        {".hvn", CreatorFileKind::Station},
    };
    for (const auto &[text, k] : kTests) {
        if (FoundAfterStart(path, text)) {
            kind = k;
        }
    }
    return kind;
}

std::vector<std::string> SplitPlaylistText(const std::string &text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\0') {
            lines.push_back(std::move(line));
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::optional<std::vector<std::string>> ReadPlaylistLines(const std::string &path) {
    std::optional<std::string> bytes = ReadBounded(path, kMaxPlaylistBytes);
    if (!bytes) {
        return std::nullopt;
    }
    return SplitPlaylistText(DecodeText(*bytes));
}

bool ImportPlsLines(const std::vector<std::string> &lines, CreatorImport &out, int &urlCount) {
    int hits = 0;
    for (const std::string &line : lines) {
        std::string l = line;
        if (HasCountKey(l)) {
            l = PlaylistValue(l);
            urlCount = StrToInt(l);
            ++hits;
        }
        // "Title1" also matches Title10 and on; whichever comes first is the name.
        if (Contains(l, "Title1")) {
            out.name = PlaylistValue(l);
            ++hits;
        }
        if (hits == 2) {
            break;
        }
    }
    if (hits != 2) {
        return true;
    }
    out.urls.clear();
    for (const std::string &line : lines) {
        if (Contains(Lower(line), "file")) {
            out.urls.push_back(Trim(PlaylistValue(line)));
        }
    }
    return static_cast<int>(out.urls.size()) != urlCount;
}

bool ImportM3uLines(const std::vector<std::string> &lines, CreatorImport &out) {
    if (lines.size() >= 2 && Contains(Upper(lines[0]), "#EXTM3U") &&
        Contains(lines[1], "#EXTINF:")) {
        const size_t comma = lines[1].find(',');
        out.name = Trim(comma == std::string::npos ? lines[1] : lines[1].substr(comma + 1));
    }
    return true;
}

bool ImportAsxLines(const std::vector<std::string> &lines, CreatorImport &out) {
    out.urls.clear();
    for (const std::string &original : lines) {
        std::string line = original;
        std::string lower = Lower(line);
        // Each test works on what the one before left of the line.
        if (Contains(lower, "<title>") && out.name.empty()) {
            line = Between(line, lower, "<title>", "</title>");
            lower = Lower(line);
            out.name = Trim(line);
        }
        if (Contains(lower, "<author>") && out.homepage == "http://www.") {
            line = Between(line, lower, "<author>", "</author>");
            lower = Lower(line);
            out.homepage = Trim(line);
        }
        if (Contains(lower, "<ref href=")) {
            out.urls.push_back(Trim(RefHref(line, lower)));
        }
    }
    return out.urls.empty();
}

std::vector<std::string> UrlLines(const std::vector<std::string> &lines) {
    std::vector<std::string> urls;
    for (const std::string &line : lines) {
        if (Contains(line, "http://") && !Contains(line, "#EXTINF:")) {
            urls.push_back(Trim(PlaylistValue(line)));
        }
    }
    return urls;
}

void ImportStationDescription(const std::string &text, CreatorImport &out) {
    const std::vector<std::string> lines = Split(text, "\r\n");
    auto element = [&](size_t i) { return i < lines.size() ? lines[i] : std::string(); };
    const int count = StrToInt(element(3));
    out.urls.clear();
    int k = 0;
    for (const std::string &line : lines) {
        if (line.empty()) {
            continue;
        }
        if (k >= 4 && k - 4 < count) {
            out.urls.push_back(Trim(line));
        }
        ++k;
    }
    out.name = element(0);
    out.homepage = element(1);
    const int genre = StrToInt(element(2));
    out.genre = genre >= 0 && genre <= 24 ? genre : 0;
}

void ImportStationFile(const std::string &path, CreatorImport &out) {
    if (!StationZip.Open(path)) {
        return;
    }
    out.custom = 0;
    std::optional<std::string> description = StationZip.ExtractFile("station_id.txt");
    if (!description) {
        // A description that is there but cannot be read (past its bound, corrupt) is
        // refused; a missing one still opens the creator.
        out.failed = StationZip.HasFile("station_id.txt");
        StationZip.Close();
        return;
    }
    // Only archives shaped like the creator's own (description, logo, marker) carry
    // their logo and marker over.
    const int members = StationZip.Count();
    if (members == 2 || members == 3) {
        out.logo = StationZip.ExtractFile("station_ico.png", false, kZipImageLimit);
        out.failed = !out.logo && StationZip.HasFile("station_ico.png");
        out.custom = StationZip.HasFile("custom") ? 1 : 0;
    }
    StationZip.Close();
    if (out.failed) {
        return;
    }
    ImportStationDescription(DecodeText(*description), out);
    const size_t slash = path.rfind('/');
    out.fileName = slash == std::string::npos ? path : path.substr(slash + 1);
}

CreatorImport ImportCreatorFile(const std::string &path, int &urlCount) {
    CreatorImport out;
    const CreatorFileKind kind = DetectCreatorFileKind(path);
    if (kind == CreatorFileKind::Station) {
        ImportStationFile(path, out);
        return out;
    }
    const std::optional<std::vector<std::string>> lines = ReadPlaylistLines(path);
    if (!lines) {
        // A playlist that cannot be read still opens an empty creator; a file of no known
        // kind has nothing to offer.
        out.failed = kind == CreatorFileKind::Unknown;
        return out;
    }
    bool failed = true;
    if (kind == CreatorFileKind::Pls) {
        failed = ImportPlsLines(*lines, out, urlCount);
    } else if (kind == CreatorFileKind::M3u) {
        failed = ImportM3uLines(*lines, out);
    } else if (kind == CreatorFileKind::Asx) {
        failed = ImportAsxLines(*lines, out);
    }
    if (failed) {
        out.urls = UrlLines(*lines);
        out.failed = out.urls.empty();
    }
    return out;
}

} // namespace hvn
