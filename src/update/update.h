#pragma once
// The station-list update: fetches "hvn_stationlist.zip" from UpdateServer, deletes the
// stations the list no longer names (except user-made ones), downloads new and changed
// station files with TDataFetcher while a nested event loop shows the progress, then
// rebuilds the catalogue and the station list. Main thread only.
#include "core/strings.h" // LineKey, LineValue
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hvn {

// The newest build this program knows; a higher build number on the server is a newer
// build and gets the notice.
inline constexpr int ReleaseBuildNumber = 50;

// Runs the whole update on the update page (expects ShowPage(3) done, the tree view empty
// and the page's labels cleared). Blocks while the archive is fetched (bounded by
// kFetchDeadlineMs); handles events only during the
// downloads. Does not return when the window is closed during the downloads (the program
// shuts down). Returns 0.
int UpdateStationList();

// A plain HTTP/1.0 GET of an "http://host[:port]/path" address through libcurl (port 80
// when none is given): the body after the headers, whatever the status said; redirects
// are not followed. nullopt (and one line on stderr with libcurl's reason) when the host
// could not be found or reached, or the response was cut off, larger than
// kMaxArchiveBytes or not whole within kFetchDeadlineMs (name lookup, connection and body
// together). Blocks for at most that long.
std::optional<std::string> FetchUrl(const std::string &url);
// FetchUrl, then the body saved as fileName (relative to the working directory) through
// a temporary file, so an earlier file of that name stays whole unless the whole body
// arrived. Returns 1 when the body was fetched, -1 otherwise (nothing is written then).
int DownloadToFile(const std::string &url, const std::string &fileName);
inline constexpr int kFetchDeadlineMs = 10000;
inline constexpr int64_t kMaxArchiveBytes = 32 * 1024 * 1024;

// A list size as shown: "." inserted before the last three characters of a text longer
// than three ("12345" -> "12.345", "999" stays).
std::string SizeText(const std::string &value);
// The decimal integer parse of the list: leading blanks skipped, an optional sign,
// digits up to the first other character; no digits give 0. Saturates instead of
// overflowing.
int64_t ParseDecimal(std::string_view text);
// A list key that names a plain file directly inside "stations/": not empty, not "." or
// "..", without "/" or NUL, and not a name of the program's temporary files. Other keys
// are refused (never fetched or compared).
bool SafeStationKey(const std::string &key);

// One line of "hvn_stationlist.txt" as the comparison reads it: the trimmed line, its key
// and its size text. nullopt when the key is not a SafeStationKey.
struct StationListEntry {
    std::string line;
    std::string key;
    std::string size;
};
std::optional<StationListEntry> ParseStationListLine(const std::string &raw);
// The percent shown when `started` of `count` downloads have started: the fraction is
// held in single precision and scaled truncating (7 of 10 gives 69). count > 0.
int StartedPercent(int started, int count);

// The server's newest build from "hvn_current.txt": line 0 trimmed as a decimal number;
// text "#" + line 1 trimmed when a line 1 exists, else "".
struct BuildInfo {
    int64_t number = 0;
    std::string text;
};
BuildInfo ParseBuildInfo(const std::string &currentText);

} // namespace hvn
