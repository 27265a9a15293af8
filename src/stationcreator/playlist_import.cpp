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

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) < 33;
}

size_t SkipBlanks(const std::string &text, size_t i) {
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    return i;
}

// One entity at text[at] ("&..."), appended to out; the length it took, 0 when it is no
// entity we know (kept as written: an unescaped "&" in a query string is common).
size_t AppendXmlEntity(const std::string &text, size_t at, std::string &out) {
    const size_t semi = text.find(';', at);
    if (semi == std::string::npos || semi - at > 10) {
        return 0;
    }
    const std::string name = text.substr(at + 1, semi - at - 1);
    static const std::pair<const char *, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto &[entity, c] : kNamed) {
        if (name == entity) {
            out += c;
            return semi - at + 1;
        }
    }
    if (name.size() < 2 || name[0] != '#') {
        return 0;
    }
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string digits = name.substr(hex ? 2 : 1);
    const char *const kDigits = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(kDigits) != std::string::npos) {
        return 0;
    }
    const unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
    // Control codes stay written out: a line end would split the station file's lines.
    if (code < 0x20 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    std::u16string units;
    if (code < 0x10000) {
        units += char16_t(code);
    } else {
        units += char16_t(0xD800 + ((code - 0x10000) >> 10));
        units += char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
    out += Utf16ToUtf8(units);
    return semi - at + 1;
}

std::string DecodeXmlEntities(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t taken = text[i] == '&' ? AppendXmlEntity(text, i, out) : 0;
        if (taken == 0) {
            out += text[i++];
        } else {
            i += taken;
        }
    }
    return out;
}

// The href of the element whose attributes start at line[i]; "" when it has none.
// Quoted in either quote, or bare up to a blank or the end of the tag.
std::string HrefAttribute(const std::string &line, const std::string &lower, size_t i) {
    const size_t n = line.size();
    for (;;) {
        i = SkipBlanks(line, i);
        if (i >= n || line[i] == '>' || line[i] == '<' || line.compare(i, 2, "/>") == 0) {
            return "";
        }
        const size_t nameStart = i;
        while (i < n && !IsBlank(line[i]) && line[i] != '=' && line[i] != '>') {
            ++i;
        }
        const std::string name = lower.substr(nameStart, i - nameStart);
        i = SkipBlanks(line, i);
        if (i >= n || line[i] != '=') {
            continue; // an attribute without value
        }
        i = SkipBlanks(line, i + 1);
        std::string value;
        if (i < n && (line[i] == '"' || line[i] == '\'')) {
            const size_t end = line.find(line[i], i + 1);
            if (end == std::string::npos) {
                return "";
            }
            value = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            const size_t start = i;
            while (i < n && !IsBlank(line[i]) && line[i] != '>' && line.compare(i, 2, "/>") != 0) {
                ++i;
            }
            value = line.substr(start, i - start);
        }
        if (name == "href") {
            return value;
        }
    }
}

// Every <ref> element of the line gives its href, entities decoded and trimmed; an
// element with an empty or no href gives nothing.
void AppendRefs(const std::string &line, const std::string &lower, std::vector<std::string> &urls) {
    for (size_t at = lower.find("<ref"); at != std::string::npos; at = lower.find("<ref", at + 4)) {
        // "<ref" followed by a blank: not <reference> or the like.
        if (at + 4 < line.size() && IsBlank(line[at + 4])) {
            const std::string url = Trim(DecodeXmlEntities(HrefAttribute(line, lower, at + 4)));
            if (!url.empty()) {
                urls.push_back(url);
            }
        }
    }
}

// A playlist comment: "#" (M3U) or ";" (PLS) first after any blanks.
bool IsCommentLine(const std::string &line) {
    const size_t i = SkipBlanks(line, 0);
    return i < line.size() && (line[i] == '#' || line[i] == ';');
}

// The URL a line holds: the text after a leading "Key=", or the whole line when the text
// before its first "=" is already part of a URL (a query string's "="); trimmed.
std::string UrlOfLine(const std::string &line) {
    const size_t eq = line.find('=');
    const bool keyed =
        eq != std::string::npos && line.substr(0, eq).find("://") == std::string::npos;
    return Trim(keyed ? line.substr(eq + 1) : line);
}

// A "key=value" line's key in lower case without surrounding blanks; "" without "=".
std::string PlsKey(const std::string &line) {
    return Lower(Trim(LineKey(line)));
}

// The title of an #EXTINF line starts after its first "," outside a quoted attribute
// value (tvg-name="A, B"); with an unclosed quote, after its first ",".
size_t ExtinfTitleComma(const std::string &line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ',' && !quoted) {
            return i;
        }
    }
    return line.find(',');
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
        if (IsCommentLine(line)) {
            continue;
        }
        const std::string key = PlsKey(line);
        if (key == "numberofentries") {
            urlCount = StrToInt(LineValue(line));
            ++hits;
        } else if (key.starts_with("title1")) {
            // Title10 and on match too; whichever comes first is the name.
            out.name = LineValue(line);
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
        if (!IsCommentLine(line) && PlsKey(line).starts_with("file")) {
            out.urls.push_back(UrlOfLine(line));
        }
    }
    return static_cast<int>(out.urls.size()) != urlCount;
}

bool ImportM3uLines(const std::vector<std::string> &lines, CreatorImport &out) {
    if (lines.size() >= 2 && Contains(Upper(lines[0]), "#EXTM3U") &&
        Contains(lines[1], "#EXTINF:")) {
        const size_t comma = ExtinfTitleComma(lines[1]);
        out.name = Trim(comma == std::string::npos ? lines[1] : lines[1].substr(comma + 1));
    }
    return true;
}

bool ImportAsxLines(const std::vector<std::string> &lines, CreatorImport &out) {
    out.urls.clear();
    for (const std::string &line : lines) {
        const std::string lower = Lower(line);
        if (Contains(lower, "<title>") && out.name.empty()) {
            out.name = Trim(DecodeXmlEntities(Between(line, lower, "<title>", "</title>")));
        }
        if (Contains(lower, "<author>") && out.homepage == "http://www.") {
            out.homepage = Trim(DecodeXmlEntities(Between(line, lower, "<author>", "</author>")));
        }
        AppendRefs(line, lower, out.urls);
    }
    return out.urls.empty();
}

std::vector<std::string> UrlLines(const std::vector<std::string> &lines) {
    std::vector<std::string> urls;
    for (const std::string &line : lines) {
        if ((Contains(line, "http://") || Contains(line, "https://")) &&
            !Contains(line, "#EXTINF:") && !IsCommentLine(line)) {
            urls.push_back(UrlOfLine(line));
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
