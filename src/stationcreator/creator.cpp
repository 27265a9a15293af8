#include "stationcreator/creator.h"

#include "app/gadgets.h"
#include "app/window.h"
#include "config/translations.h"
#include "core/fs.h"
#include "core/temp_files.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "gui/gui.h"
#include "stationcreator/playlist_import.h"

#include <cstdlib>
#include <unistd.h>

namespace hvn {

std::string CreatorName;
std::string CreatorHomepage = "http://www.";
std::string CreatorFileName = "!!!_hvn_station.hvn";
std::string CreatorUrlText = "http://";
int CreatorUrlCount = 0;
int CreatorCustom = 1;
std::string CreatorLogoFile;
std::string CreatorSourceFile;

namespace {

// A plain item: flags 0, icon -1, no tooltip, no extra value.
GadgetItem PlainItem(const std::string &text) {
    GadgetItem item;
    item.text = text;
    return item;
}

const char *const kNoLogo = "Incbin::./data/hvn_noico.png";
const char *const kImportedLogo = "creator/hvn_station_ico.png";
const char *const kImportedLogoName = "hvn_station_ico.png";

void ResetCreatorState() {
    DeleteFile(kImportedLogo);
    SelectGadgetItem(CreatorGenreComboBox, 0);
    ClearGadgetItems(CreatorUrlComboBox);
    CreatorName.clear();
    CreatorHomepage = "http://www.";
    CreatorUrlText = "http://";
    CreatorFileName = "!!!_hvn_station.hvn";
    CreatorCustom = 1;
}

// The URL list in one pass: the count line, then the URLs.
void SetUrlList(const std::vector<std::string> &urls) {
    std::vector<GadgetItem> items;
    items.reserve(urls.size() + 1);
    items.push_back(PlainItem(std::to_string(urls.size())));
    for (const std::string &url : urls) {
        items.push_back(PlainItem(url));
    }
    ClearGadgetItems(CreatorUrlComboBox);
    AddGadgetItems(CreatorUrlComboBox, std::move(items));
}

void PutCountLineFirst() {
    InsertGadgetItem(CreatorUrlComboBox, 0, std::to_string(CountGadgetItems(CreatorUrlComboBox)));
    SelectGadgetItem(CreatorUrlComboBox, 0);
}

void FillCreatorFields() {
    if (CreatorName.empty()) {
        CreatorName = "Unknown Station";
    }
    SetGadgetText(CreatorNameField, CreatorName);
    SetGadgetText(CreatorHomepageField, CreatorHomepage);
    SetGadgetText(CreatorFileNameField, CreatorFileName);
    SetGadgetText(CreatorUrlField, CreatorUrlText);
}

int FindItem(Gadget *g, const std::string &text) {
    for (int i = 0; i < CountGadgetItems(g); ++i) {
        if (GadgetItemText(g, i) == text) {
            return i;
        }
    }
    return -1;
}

void ShowNoLogo() {
    SetGadgetPixmap(CreatorLogoPreview, LoadPixmap(kNoLogo), PIXMAP_FIT);
    SelectGadgetItem(CreatorLogoComboBox, 0);
}

void ShowImportedLogo() {
    if (FileType(kImportedLogo) == FileKind::File) {
        SetGadgetPixmap(CreatorLogoPreview, LoadPixmap(kImportedLogo), PIXMAP_FIT);
        SelectGadgetItem(CreatorLogoComboBox, FindItem(CreatorLogoComboBox, kImportedLogoName));
    } else {
        ShowNoLogo();
    }
}

int OpenEmptyCreator() {
    CreatorCustom = 1;
    FillCreatorFields();
    SetUrlList({});
    SelectGadgetItem(CreatorUrlComboBox, 0);
    CreatorFillLogoList();
    ShowNoLogo();
    SelectGadgetItem(CreatorGenreComboBox, 0);
    ShowPage(6);
    return 0;
}

void ApplyImport(const CreatorImport &import) {
    CreatorName = import.name;
    CreatorHomepage = import.homepage;
    CreatorCustom = import.custom;
    if (import.fileName) {
        CreatorFileName = *import.fileName;
    }
    SelectGadgetItem(CreatorGenreComboBox, import.genre);
    if (import.logo) {
        // The work area may not exist yet on a first run; the logo must not be lost.
        if (FileType("creator") != FileKind::Dir) {
            CreateDir("creator");
        }
        SaveBytes(kImportedLogo, *import.logo);
    }
    SetUrlList(import.urls);
}

// A copy that leaves the target whole when it fails, and that also works when the
// chosen file is the target itself (a plain copy would truncate it first).
bool CopyIntoWorkArea(const std::string &from, const std::string &to) {
    const std::string temp = ReserveTempFile("creator");
    if (temp.empty()) {
        return false;
    }
    if (!CopyFile(from, temp) || !RenameFile(temp, to)) {
        DiscardTempFile(temp);
        return false;
    }
    ReleaseTempFolder(temp);
    return true;
}

// The chosen path without its folders and without its extension.
std::string LogoBaseName(const std::string &path) {
    const size_t slash = path.rfind('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string ext = ExtractExt(base);
    if (!ext.empty() || (!base.empty() && base.back() == '.')) {
        base.resize(base.size() - ext.size() - 1);
    }
    return base;
}

} // namespace

int CreatorLoadFile(const std::string &path) {
    if (path.empty()) {
        ResetCreatorState();
        CreatorSourceFile.clear();
        return OpenEmptyCreator();
    }
    const CreatorImport import = ImportCreatorFile(path, CreatorUrlCount);
    // Nothing usable: what the creator holds (perhaps a station being edited) stays.
    if (import.failed) {
        return 0;
    }
    ResetCreatorState();
    CreatorSourceFile = path;
    ApplyImport(import);
    FillCreatorFields();
    if (CountGadgetItems(CreatorUrlComboBox) > 0) {
        SelectGadgetItem(CreatorUrlComboBox, 0);
    }
    CreatorFillLogoList();
    ShowImportedLogo();
    if (SelectedGadgetItem(CreatorGenreComboBox) < 0 &&
        CountGadgetItems(CreatorGenreComboBox) > 0) {
        SelectGadgetItem(CreatorGenreComboBox, 0);
    }
    ShowPage(6);
    return 0;
}

int CreatorImportUrlLines(const std::string &path) {
    const std::optional<std::vector<std::string>> lines = ReadPlaylistLines(path);
    ClearGadgetItems(CreatorUrlComboBox);
    const std::vector<std::string> urls = lines ? UrlLines(*lines) : std::vector<std::string>{};
    if (urls.empty()) {
        return 1;
    }
    SetUrlList(urls);
    return 0;
}

int CreatorAddUrl() {
    const std::string url = Trim(GadgetText(CreatorUrlField));
    if (url.empty() || url == "http://") {
        return 0;
    }
    RemoveGadgetItem(CreatorUrlComboBox, 0);
    AddGadgetItem(CreatorUrlComboBox, url);
    SetGadgetText(CreatorUrlField, CreatorUrlText);
    PutCountLineFirst();
    return 0;
}

int CreatorRemoveUrl() {
    const int selected = SelectedGadgetItem(CreatorUrlComboBox);
    if (selected < 1) {
        return 0;
    }
    RemoveGadgetItem(CreatorUrlComboBox, selected);
    RemoveGadgetItem(CreatorUrlComboBox, 0);
    PutCountLineFirst();
    return 0;
}

int CreatorFillLogoList() {
    ClearGadgetItems(CreatorLogoComboBox);
    AddGadgetItem(CreatorLogoComboBox, Tr(COMBOBOX, 0));
    const std::optional<std::vector<std::string>> names = ReadDirectory("creator");
    if (!names) {
        CreateDir("creator");
        return 0;
    }
    std::vector<GadgetItem> items;
    for (const std::string &name : *names) {
        const size_t at = name.find(".png");
        if (at != std::string::npos && at >= 1) {
            items.push_back(PlainItem(name));
        }
    }
    AddGadgetItems(CreatorLogoComboBox, std::move(items));
    return 0;
}

int CreatorChooseLogo() {
    const std::string chosen =
        RequestFile("-> " + Tr(TOOLTIP, 19), "HVN Logos (*.png *.jpg):png,jpg", false, "");
    if (chosen.empty()) {
        return 0;
    }
    const std::string name = LogoBaseName(chosen) + ".png";
    if (!CopyIntoWorkArea(chosen, "creator/" + name)) {
        return 0;
    }
    CreatorFillLogoList();
    CreatorLogoFile = name;
    SetGadgetPixmap(CreatorLogoPreview, LoadPixmap("creator/" + CreatorLogoFile), PIXMAP_FIT);
    SelectGadgetItem(CreatorLogoComboBox, FindItem(CreatorLogoComboBox, CreatorLogoFile));
    return 0;
}

int CreatorShowLogoPreview() {
    const int selected = SelectedGadgetItem(CreatorLogoComboBox);
    if (selected > 0) {
        CreatorLogoFile = GadgetItemText(CreatorLogoComboBox, selected);
        PixmapPtr logo = LoadPixmap("creator/" + CreatorLogoFile);
        SetGadgetPixmap(CreatorLogoPreview, ResizePixmap(logo, 220, 70), PIXMAP_ICON);
    } else {
        SetGadgetPixmap(CreatorLogoPreview, LoadPixmap(kNoLogo), PIXMAP_FIT);
    }
    return 0;
}

int CreatorCancel() {
    DeleteFile("creator/station_id.txt");
    HideGadget(CreatorPage);
    ShowGadget(StationListPage);
    RedrawGadget(MainWindow);
    return 0;
}

} // namespace hvn
