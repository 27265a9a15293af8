#pragma once
#include <string>
#include <vector>

namespace hvn {

// Opens a web page in the desktop's browser: "kfmclient exec" when KDE_FULL_DESKTOP is
// set, "gnome-open" when GNOME_DESKTOP_SESSION_ID is set, else "xdg-open". Started with
// fork/exec (the URL is one argument, never passed through a shell); does not wait.
// Returns false when the process could not be started.
bool OpenURL(const std::string &url);
// The command line OpenURL would run for the current environment (tests).
std::vector<std::string> BrowserCommand(const std::string &url);

} // namespace hvn
