#include "app/gadgets.h"
#include "app/window.h"
#include "catalogue/station_files.h"
#include "catalogue/station_list.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/failure_report.h"
#include "core/fs.h"
#include "core/posix_io.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/zip.h"
#include "gui/gui.h"
#include "playback/playback.h"
#include "stationcreator/creator.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>

namespace hvn {

namespace {

const char *const kWorkDescription = "creator/station_id.txt";
const char *const kWorkMarker = "creator/custom";

// A file's bytes exactly as stored (a logo is not text: no byte-order mark rules).
std::optional<std::string> ReadFileBytes(const std::string &path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string bytes;
    if (!fd || !ReadAll(fd.get(), bytes)) {
        return std::nullopt;
    }
    return bytes;
}

std::vector<std::string> UrlListItems() {
    std::vector<std::string> items;
    for (int i = 0; i < CountGadgetItems(CreatorUrlComboBox); ++i) {
        items.push_back(GadgetItemText(CreatorUrlComboBox, i));
    }
    return items;
}

std::string ChosenLogo() {
    const int selected = SelectedGadgetItem(CreatorLogoComboBox);
    return selected > 0 ? GadgetItemText(CreatorLogoComboBox, selected) : "";
}

// The archive's members in the order readers expect: description, logo, marker. The
// description goes through the work file, as the work area promises. nullopt when the
// description cannot be written.
std::optional<std::vector<ZipMember>> StationMembers(const std::string &description,
                                                     const std::string &logo, int custom) {
    if (!SaveBytes(kWorkDescription, description)) {
        return std::nullopt;
    }
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    std::vector<ZipMember> members;
    std::optional<std::string> written = ReadFileBytes(kWorkDescription);
    if (!written) {
        return std::nullopt;
    }
    members.push_back(ZipMember{"station_id.txt", std::move(*written), now});
    if (!logo.empty()) {
        std::optional<std::string> bytes = ReadFileBytes("creator/" + logo);
        if (bytes) {
            members.push_back(ZipMember{"station_ico.png", std::move(*bytes), now});
        }
    }
    if (custom == 1) {
        SaveBytes(kWorkMarker, "");
        if (FileType(kWorkMarker) == FileKind::File) {
            members.push_back(ZipMember{"custom", "", now});
        }
        DeleteFile(kWorkMarker);
    }
    return members;
}

void ShowAllStationsToggle() {
    ActivateGadget(StationListBox);
    ReplaceButtonPixmap(FavouritesToggleButton, FavouritesPixmap, 26);
    SetGadgetToolTip(FavouritesToggleButton, Tr(TOOLTIP, 6));
    ListFavouritesOnly = 0;
}

void SelectSavedStation(const std::string &name) {
    for (int i = 0; i < CountGadgetItems(StationListBox); ++i) {
        if (GadgetItemText(StationListBox, i) == name) {
            SelectGadgetItem(StationListBox, i);
            return;
        }
    }
}

std::string ReplaceQuestion(const std::string &file) {
    const auto found = StationMap.find(Upper(file));
    std::string text = "The file \"stations/" + file + "\" already holds ";
    if (found != StationMap.end() && found->second && found->second->filename == file &&
        !found->second->name.empty()) {
        text += "the station \"" + found->second->name + "\".";
    } else {
        text += "a station.";
    }
    return text + "\nReplace it?";
}

// Only the station being edited is replaced without a question; "No" goes back to the
// creator.
bool MayWriteStation(const std::string &file) {
    const std::string path = "stations/" + file;
    if (FileType(path) != FileKind::File || SameFile(path, CreatorSourceFile)) {
        return true;
    }
    return Confirm(ReplaceQuestion(file));
}

} // namespace

std::string StripTrailingSlash(const std::string &s) {
    return !s.empty() && s.back() == '/' ? s.substr(0, s.size() - 1) : s;
}

std::string CreatorStationFileName(const std::string &field) {
    std::string name = Lower(Trim(field));
    // A NUL would cut the name short in the file system calls; nothing after it counts.
    name = name.substr(0, name.find('\0'));
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) {
        name = name.substr(slash + 1);
    }
    if (!Contains(name, ".hvn")) {
        name += ".hvn";
    }
    return name;
}

std::string CreatorDescriptionText(const std::string &name, const std::string &homepage, int genre,
                                   const std::vector<std::string> &items) {
    std::string text = name + "\r\n" + homepage + "\r\n" + std::to_string(genre);
    for (const std::string &item : items) {
        text += "\r\n" + item;
    }
    return text;
}

int CreatorSaveStation(int custom) {
    const std::string fileName = CreatorStationFileName(GadgetText(CreatorFileNameField));
    if (!MayWriteStation(fileName)) {
        return 0;
    }
    SetGadgetText(BusyLabel, Tr(LABELS_LOAD, 1) + "...");
    ShowGadget(BusyLabel);
    HideGadget(CreatorPage);
    RedrawGadget(MainWindow);
    DeleteFile(kWorkMarker);
    if (FileType("creator") != FileKind::Dir) {
        ShowGadget(StationListPage);
        HideGadget(CreatorPage);
        HideGadget(BusyLabel);
        return 0;
    }
    CreatorName = Trim(GadgetText(CreatorNameField));
    CreatorHomepage = StripTrailingSlash(Trim(GadgetText(CreatorHomepageField)));
    const std::string description = CreatorDescriptionText(
        CreatorName, CreatorHomepage, SelectedGadgetItem(CreatorGenreComboBox), UrlListItems());
    const std::string logo = ChosenLogo();
    CreatorFileName = fileName;
    std::optional<std::vector<ZipMember>> members = StationMembers(description, logo, custom);
    // WriteZip replaces the old file only once the new one is complete.
    const bool written = members && WriteZip("stations/" + CreatorFileName, *members);
    if (written) {
        DeleteFile(kWorkDescription);
        ShowAllStationsToggle();
    } else {
        ReportErrno("cannot save stations/" + CreatorFileName, errno);
    }
    SelectGadgetItem(CategoryComboBox, 0);
    // A station whose file was not rewritten keeps its rating and favourite mark.
    if (written) {
        DeleteFile(RatingFilePath(CreatorFileName));
    }
    LoadStationCatalogue();
    FillStationList(0, 0);
    SelectSavedStation(CreatorName);
    HideGadget(BusyLabel);
    RedrawGadget(MainWindow);
    const std::string file = SetCurrentStationFile("");
    // With nothing to play (a save that wrote nothing and no station selected) no page
    // would be left in view: the station list is.
    if (file.empty() || FileType("stations/" + file) != FileKind::File) {
        ShowPage(0);
    }
    PlayStation(file, 0);
    return 0;
}

} // namespace hvn
