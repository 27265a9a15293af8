#pragma once
// The station creator (page 6): import into it, its controls, and saving the station it
// holds into "stations/". Its work area is "creator/" beside the program. Everything runs
// on the main thread and works on the window's creator gadgets (BuildMainWindow first).
#include <string>
#include <vector>

namespace hvn {

// Creator state; the page's fields show it as it was when the page was last filled.
extern std::string CreatorName;
extern std::string CreatorHomepage;
extern std::string CreatorFileName;
extern std::string CreatorUrlText;  // what the URL entry field gets, "http://"
extern int CreatorUrlCount;         // NumberOfEntries of the last .pls; never reset
extern int CreatorCustom;           // 1: the saved station gets the "custom" marker
extern std::string CreatorLogoFile; // name inside "creator/" of the logo last picked
extern std::string CreatorSourceFile; // the file the creator was filled from; "" when empty

// Resets the creator and fills it from path (a playlist, a station file, a text file
// with URL lines; "" for an empty creator), then shows page 6. A file that offers
// nothing usable (no known kind and no URL line) changes nothing and shows nothing.
// Blocks on the file system only. Always returns 0.
int CreatorLoadFile(const std::string &path);
// The fall-back import into the URL list: its URL lines (UrlLines). 0 when it listed at
// least one URL; 1 (the list left empty) otherwise or when the file cannot be read.
int CreatorImportUrlLines(const std::string &path);

// Adds the trimmed URL entry to the list (not when it is "" or "http://") and keeps the
// count line in item 0. Returns 0.
int CreatorAddUrl();
// Removes the selected URL (never the count line). Returns 0.
int CreatorRemoveUrl();
// Asks for a PNG or JPEG file (modal file requester) and copies it into "creator/" as
// NAME.png, then lists and previews it. A cancelled requester or a failed copy changes
// nothing. Returns 0.
int CreatorChooseLogo();
// Refills the logo chooser: "(No Logo)", then the names with ".png" in "creator/";
// creates "creator" when it is missing. Returns 0.
int CreatorFillLogoList();
// Shows the chosen logo (entry above 0) resampled to the preview's 220 x 70, or the
// no-logo picture. For the logo chooser's press (and its choice).
int CreatorShowLogoPreview();
// Leaves the creator without saving: the station-list page comes back.
int CreatorCancel();
// Writes "stations/" + the file name field as a station archive (through a temporary
// file, so a failed write keeps the station that was there), deletes its rating file,
// rebuilds the catalogue, refills the list with all stations, selects the saved station
// and plays it (a nested event loop; returns when the connecting loop ends). custom 1
// adds the "custom" marker. When that file exists and is not the one the creator was
// filled from, asks first (Confirm): "No" leaves the creator as it is and writes nothing.
// Returns 0.
int CreatorSaveStation(int custom);

// s without one trailing "/".
std::string StripTrailingSlash(const std::string &s);
// The name the file name field is saved under in "stations/": trimmed, lower-cased,
// without folders (nothing may land outside "stations/"), ".hvn" appended when it holds
// no ".hvn".
std::string CreatorStationFileName(const std::string &field);
// The "station_id.txt" text: name, homepage, genre, then the URL list's items (the count
// line first), CR LF between lines and none after the last.
std::string CreatorDescriptionText(const std::string &name, const std::string &homepage, int genre,
                                   const std::vector<std::string> &items);

} // namespace hvn
