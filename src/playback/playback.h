#pragma once
// Connecting to and playing a station.
#include <string>

namespace hvn {

// file "" with a selected station-list entry: that entry's file; otherwise file.
// Sets and returns CurrentStationFile.
std::string SetCurrentStationFile(const std::string &file);
// Tries the station's stream URLs in order (urlIndex 0) or only URL urlIndex, running a
// nested event loop per try. Always returns 0.
int PlayStation(const std::string &file, int urlIndex);
std::string OpenStateText(int state);
std::string UrlHost(const std::string &url);
std::string EncodeUrlSpaces(const std::string &text);

} // namespace hvn
