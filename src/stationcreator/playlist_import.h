#pragma once
// Reading what the station creator imports: playlists (.pls, .m3u, .asx), station files
// and any text file with "http://" or "https://" lines. Pure parsing over lines and
// archives; the creator module puts the result on its page. Main thread (the station
// archive is read with the shared StationZip).
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace hvn {

// Playlists beyond this size are treated as files that cannot be read: a real playlist
// is a few kilobytes, and a dropped video or disk image must not be loaded whole.
constexpr size_t kMaxPlaylistBytes = 1u << 20;

enum class CreatorFileKind { Unknown = 0, Pls = 1, M3u = 2, Asx = 3, Station = 4 };

// The kind by the texts ".pls", ".m3u", ".asx", ".hvn" found in path (exact case, not at
// position 0; the last of them in that order wins). ".m3u8" counts as ".m3u".
CreatorFileKind DetectCreatorFileKind(const std::string &path);

// The file's lines: the text with a byte-order mark honoured (UTF-8 dropped, UTF-16
// converted), cut at LF and at NUL bytes, CR dropped, a last line without LF kept.
// nullopt when the path is not a readable regular file or is larger than
// kMaxPlaylistBytes. Blocks on the file system.
std::optional<std::vector<std::string>> ReadPlaylistLines(const std::string &path);
// The same cut of text already in memory.
std::vector<std::string> SplitPlaylistText(const std::string &text);

// What an import gives the creator. urls are the stream URLs in order; the page's count
// line is their number.
struct CreatorImport {
    std::string name;                     // "" when the file named none
    std::string homepage = "http://www."; // the reset value unless the file sets one
    std::optional<std::string> fileName;  // set by a station file: its name without folders
    int genre = 0;                        // genre chooser entry, 0..24
    int custom = 1;                       // 1: the saved station gets the "custom" marker
    std::vector<std::string> urls;
    std::optional<std::string> logo; // bytes of a station file's "station_ico.png"
    bool failed = false;             // no usable URL list: the page is not shown
};

// The rules for each kind over a file's lines. Each returns true when its own rule
// failed, so that the URL lines are tried instead; names and homepages it found stay in
// `out` either way. Matching ignores letter case where the rule says so, but the texts
// taken keep the case they have in the file. Comment lines ("#" or ";" first) never count.
// A URL line's URL is the text after its "Key=", or the whole line when the text before
// its first "=" holds "://" (a query string).
// .pls: the NumberOfEntries and Title1 keys (any letter case), then every File key;
// urlCount gets the NumberOfEntries value.
bool ImportPlsLines(const std::vector<std::string> &lines, CreatorImport &out, int &urlCount);
// .m3u: the title of the #EXTINF line after #EXTM3U (past its attributes); the URLs always
// come from the URL lines, so it always returns true.
bool ImportM3uLines(const std::vector<std::string> &lines, CreatorImport &out);
// .asx: <title>, <author> (the homepage) and the href of every <ref> element, in any
// letter case, XML entities decoded; a ref with an empty or no href adds nothing.
bool ImportAsxLines(const std::vector<std::string> &lines, CreatorImport &out);
// The fall-back: the URL of every line holding "http://" or "https://" that is neither a
// comment nor an "#EXTINF:" line. Empty when there is none.
std::vector<std::string> UrlLines(const std::vector<std::string> &lines);

// Fills `out` from the bytes of a station file's "station_id.txt" (lines cut at CR LF):
// name and homepage untrimmed, genre (0 outside 0..24), and the non-empty lines after the
// first four non-empty ones, at most the count line's number of them.
void ImportStationDescription(const std::string &text, CreatorImport &out);
// Reads a station file with StationZip into `out`: custom is 0 unless the archive has two
// or three members, one of them "custom"; with two or three members the logo is taken
// too. An archive that does not open or has no "station_id.txt" leaves the rest of `out`
// as it was. A description or logo that is there but cannot be read (corrupt, or larger
// than its bound once inflated) refuses the import: failed is set.
void ImportStationFile(const std::string &path, CreatorImport &out);

// The whole import of path as CreatorLoadFile needs it (path not empty). A playlist that
// cannot be read shows an empty creator; a file of unknown kind without URL lines fails.
CreatorImport ImportCreatorFile(const std::string &path, int &urlCount);

} // namespace hvn
