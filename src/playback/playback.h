#pragma once
// Connecting to and playing a station. Main thread only.
#include <string>

namespace hvn {

// file "" with a selected station-list entry: that entry's file (its extra value, "" when
// it carries none); otherwise file. Sets and returns CurrentStationFile.
std::string SetCurrentStationFile(const std::string &file);
// Tries the station's stream URLs in order (urlIndex 0) or only URL urlIndex. Blocks in a
// nested event loop for each try (up to 55 ticks of OpenWaitTimer), handling only the
// connecting page's presses and a window close (which ends the program); every other
// event is discarded. Ends on the player page (or the list page after back). A missing
// station file does nothing. Always returns 0.
int PlayStation(const std::string &file, int urlIndex);
// The status suffix for an audio open state (" - Ready!", ...); "" for unknown states.
std::string OpenStateText(int state);
// The host (with port) of a URL: after "://", before the first "/" and "?".
std::string UrlHost(const std::string &url);
// Every blank as "%20", before a URL goes to the desktop browser.
std::string EncodeUrlSpaces(const std::string &text);

} // namespace hvn
