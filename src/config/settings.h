#pragma once
// The settings file "hvn.ini": 25 positional lines, read once at start-up and written
// once at shutdown. One global per setting. Main thread only.
#include <functional>
#include <string>

namespace hvn {

// Built-in addresses; both end in "/" because file names are appended to them.
inline constexpr const char BuiltInUpdateServer[] = "http://www.halvane.net/hvn/";
inline constexpr const char BuiltInUpdateHomepage[] = "http://www.halvane.net/";
// The downloads page always hangs off the built-in homepage, not the setting.
std::string DownloadsPageUrl();

// The build text a settings file must carry on its third line to be read.
inline constexpr const char SettingsBuildText[] = "060813 (Linux TEST BUILD)";

extern unsigned char ListFavouritesOnly;
extern unsigned char LanguageIndex; // 0..16, not range-checked
extern std::string SkinName;
extern int BufferSizeIndex;
extern int Volume;
extern int SaveStation;
extern std::string LastStation;
extern int SaveWindowPosition;
extern int WindowPositionX;
extern int WindowPositionY;
extern int StartMinimized;
extern int ForceOpenGLDriver;
extern int ShowErrors;
extern int ShowSpectrumAnalyser;
extern int WindowHeight;
extern std::string UpdateServer;
extern std::string UpdateHomepage;
extern int AutoUpdate;
extern std::string LastUpdate;
extern int CustomWindowColor;
extern int BackgroundRed;
extern int BackgroundGreen;
extern int BackgroundBlue;
extern int LabelRed; // -1: the toolkit's own label colour
extern int LabelGreen;
extern int LabelBlue;

// Set by the app: the main window's x, y and outer height; false when there is no
// window to ask. Left empty, SaveSettings keeps the stored values.
extern std::function<bool(int &x, int &y, int &outerHeight)> MainWindowGeometry;

// Sets the defaults, then reads "hvn.ini" from the working directory when it opens for
// reading and writing and carries this build's text. Failures are silent.
void LoadSettings();
// Copies in the last station and window geometry where their flags are 1, then writes
// "hvn.ini" through a temporary file and a rename (SaveUserFile: a write-protected file
// stays as it is, a link is written through, a directory that refuses the temporary
// file gets the file rewritten in place); a failed write is not reported.
void SaveSettings();

} // namespace hvn
