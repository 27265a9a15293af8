#include "catalogue/rating.h"

#include "app/gadgets.h"
#include "catalogue/station_files.h"
#include "catalogue/station_list.h"
#include "config/translations.h"
#include "core/failure_report.h"
#include "core/fs.h"
#include "core/strings.h"
#include "gui/gui.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace hvn {
namespace {

int ItemIcon(unsigned char rating, unsigned char fav) {
    return rating + (fav != 0 ? 6 : 0);
}

// Replaces the selected item, keeping its text and extra value (the extra becomes a
// string, "" when it had none). Nothing when no item is selected.
void ReplaceSelectedItem(int icon, const std::string &tip) {
    const int i = SelectedGadgetItem(StationListBox);
    if (i < 0)
        return;
    ModifyGadgetItem(StationListBox, i, GadgetItemText(StationListBox, i), 0, icon, tip,
                     GadgetItemExtra(StationListBox, i).value_or(""));
}

// An empty file name would make the rating file path the "db/" directory itself.
void SaveRating(const std::string &file, unsigned char rating, unsigned char fav) {
    if (!file.empty())
        SaveStationDb(RatingFilePath(file), rating, fav);
}

// One separator only: 999, 1.000, 1234.567.
std::string SizeText(int64_t size) {
    std::string digits = std::to_string(size);
    if (digits.size() > 3)
        digits.insert(digits.size() - 3, ".");
    return digits;
}

void ForgetRecent(const std::string &file) {
    const std::string key = Upper(file);
    std::erase(RecentStations, key);
}

// The rating file named by cutting ".hvn" off the station file name.
std::string DeletedStationDbPath(const std::string &file) {
    const std::string stem = file.size() >= 4 ? file.substr(0, file.size() - 4) : "";
    return "db/" + stem + ".db";
}

void DropStationItem(int index) {
    RemoveGadgetItem(StationListBox, index);
    LoadStationCatalogue();
    HideGadget(PlayerPage);
    ShowGadget(StationListPage);
}

std::string DeleteQuestion(const std::string &name, const std::string &file, int64_t size) {
    const std::string path = "stations/" + file;
    return Tr(LABELS_LOAD, 2) + "?\n\n" + name + "\n\n" + file + " (" + SizeText(size) +
           " Bytes, " + FormatFileTime(path, "%d/%m/%Y") + ")";
}

} // namespace

void SetStationRating(const std::string &file, unsigned char rating, unsigned char fav) {
    int genre = 0;
    for (auto &[key, record] : StationMap) {
        if (record->filename == file) {
            record->rating = rating;
            genre = record->genre;
            break;
        }
    }
    ReplaceSelectedItem(ItemIcon(rating, fav), GenreName(genre) + " (" + RatingLabel(rating) + ")");
    SaveRating(file, rating, fav);
}

void SetStationFavourite(const std::string &file, unsigned char rating, unsigned char fav) {
    const auto found = StationMap.find(Upper(file));
    if (found != StationMap.end())
        found->second->fav = fav;
    const int i = SelectedGadgetItem(StationListBox);
    if (i >= 0)
        ReplaceSelectedItem(ItemIcon(rating, fav), GadgetItemTooltip(StationListBox, i));
    SaveRating(file, rating, fav);
}

void DeleteSelectedStation() {
    const int i = SelectedGadgetItem(StationListBox);
    if (i < 0)
        return;
    const std::string name = GadgetItemText(StationListBox, i);
    const std::string file = GadgetItemExtra(StationListBox, i).value_or("");
    const std::string path = "stations/" + file;
    const int64_t size = FileSize(path);
    if (size == -1) {
        ForgetRecent(file);
        DropStationItem(i);
        return;
    }
    if (!Confirm(DeleteQuestion(name, file, size)))
        return;
    ForgetRecent(file);
    const int failure = DeleteFile(path) ? 0 : errno;
    if (FileType(path) != FileKind::None) {
        ReportErrno("cannot delete " + path, failure);
        Notify(Tr(ERRORMSG, 10), true);
        return;
    }
    DeleteFile(DeletedStationDbPath(file));
    DropStationItem(i);
}

} // namespace hvn
