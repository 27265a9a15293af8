#include "catalogue/station_list.h"

#include "app/gadgets.h"
#include "app/window.h"
#include "catalogue/station_files.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/time_format.h"
#include "playback/current_station.h"

#include <algorithm>

namespace hvn {

std::vector<std::string> RecentStations;
AddListItemsBatch StationListBatch;

void AddListItemsBatch::Add(const std::string &text, int flags, int icon, const std::string &tip,
                            std::optional<std::string> extra) {
    items.push_back(GadgetItem{text, tip, icon, flags, std::move(extra)});
    ++total;
}

void AddListItemsBatch::Go(Gadget *gadget) {
    AddGadgetItems(gadget, std::move(items));
    items.clear();
    total = 0;
}

std::shared_ptr<TSortRecentObj> TSortRecentObj::Create(long long date, const std::string &name,
                                                       const std::string &fileName,
                                                       unsigned char fav, unsigned char genre,
                                                       unsigned char rating) {
    auto obj = std::make_shared<TSortRecentObj>();
    obj->Date = date;
    obj->Name = name;
    obj->FileName = fileName;
    obj->Fav = fav;
    obj->Genre = genre;
    obj->Rating = rating;
    return obj;
}

int TSortRecentObj::Compare(const TSortRecentObj *other) const {
    if (!other)
        return 0;
    if (Date < other->Date)
        return 1;
    if (Date > other->Date)
        return -1;
    return 0;
}

namespace {

// The catalogue map may hold records by value or by pointer; the list only reads them.
template <class T> const trecord &Record(const T &value) {
    if constexpr (requires { value->name; })
        return *value;
    else
        return value;
}

int ItemIcon(int rating, int fav) {
    return rating + (fav != 0 ? 6 : 0);
}

std::string ItemTip(int genre, int rating) {
    return GenreName(genre) + " (" + RatingLabel(rating) + ")";
}

void AddRecord(const trecord &r) {
    StationListBatch.Add(r.name, 0, ItemIcon(r.rating, r.fav), ItemTip(r.genre, r.rating),
                         r.filename);
}

bool Keep(int favOnly, int fav) {
    return favOnly == 0 || fav == 1;
}

void CollectAll(int favOnly) {
    for (const auto &[key, value] : StationMap) {
        const trecord &r = Record(value);
        if (Keep(favOnly, r.fav))
            AddRecord(r);
    }
}

// Newest file first; files of the same time in key order. The times come from the
// catalogue load: reading 10,000 file times again on every fill took longer than the
// rest of the fill.
void CollectNewest(int favOnly) {
    std::vector<std::pair<long long, const trecord *>> byTime;
    byTime.reserve(StationMap.size());
    for (const auto &[key, value] : StationMap) {
        const trecord &r = Record(value);
        const long long time = r.fileTime >= 0 ? r.fileTime : FileTime("stations/" + r.filename);
        byTime.emplace_back(time, &r);
    }
    std::stable_sort(byTime.begin(), byTime.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    for (const auto &[time, r] : byTime)
        if (Keep(favOnly, r->fav))
            AddRecord(*r);
}

void CollectTopRated(int favOnly) {
    for (int rating : {5, 4})
        for (const auto &[key, value] : StationMap) {
            const trecord &r = Record(value);
            if (r.rating == rating && Keep(favOnly, r.fav))
                AddRecord(r);
        }
}

void CollectRecent(int favOnly) {
    // Walk a copy: names without a record are dropped from the list as we go.
    const std::vector<std::string> names = RecentStations;
    for (const std::string &name : names) {
        auto found = StationMap.find(name);
        if (found == StationMap.end()) {
            auto stale = std::find(RecentStations.begin(), RecentStations.end(), name);
            if (stale != RecentStations.end())
                RecentStations.erase(stale);
            continue;
        }
        const trecord &r = Record(found->second);
        if (Keep(favOnly, r.fav))
            AddRecord(r);
    }
}

void CollectGenre(int favOnly, int genre) {
    for (const auto &[key, value] : StationMap) {
        const trecord &r = Record(value);
        if (r.genre == genre && Keep(favOnly, r.fav))
            AddRecord(r);
    }
}

void CollectCategory(int favOnly, int category) {
    if (category == 0)
        CollectAll(favOnly);
    else if (category == 1)
        CollectNewest(favOnly);
    else if (category == 2)
        CollectTopRated(favOnly);
    else if (category == 3)
        CollectRecent(favOnly);
    else if (category >= 4 && category <= 27)
        CollectGenre(favOnly, category - 3);
}

int FindItemByText(Gadget *list, const std::string &text) {
    int count = CountGadgetItems(list);
    for (int i = 0; i < count; ++i)
        if (GadgetItemText(list, i) == text)
            return i;
    return -1;
}

void MarkCurrentStation() {
    if (CurrentStationName.empty()) {
        SetGadgetToolTip(NowPlayingButton, "*");
        DisableGadget(NowPlayingButton);
        return;
    }
    EnableGadget(NowPlayingButton);
    SetGadgetToolTip(NowPlayingButton, CurrentStationName);
    int index = FindItemByText(StationListBox, CurrentStationName);
    if (index >= 0)
        SelectGadgetItem(StationListBox, index);
}

} // namespace

void FillStationList(int favOnly, int category) {
    ClearGadgetItems(StationListBox);
    CollectCategory(favOnly, category);
    StationListBatch.Go(StationListBox);
    MarkCurrentStation();
    ShowGadget(StationListBox);
    ActivateGadget(StationListBox);
}

void FilterStationList(const std::string &text) {
    const std::string t = Lower(text);
    ClearGadgetItems(StationListBox);
    ReplaceButtonPixmap(FavouritesToggleButton, FavouritesPixmap, 26);
    SetGadgetToolTip(FavouritesToggleButton, Tr(TOOLTIP, 6));
    ListFavouritesOnly = 0;
    for (const auto &[key, value] : StationMap) {
        const trecord &r = Record(value);
        if (Contains(Lower(r.name), t))
            AddRecord(r);
    }
    StationListBatch.Go(StationListBox);
}

std::string FormatFileTime(const std::string &path, const std::string &pattern) {
    return FormatTime(FileTime(path), pattern);
}

std::string FormatCurrentTime(const std::string &pattern) {
    return FormatTime(CurrentTime(), pattern);
}

} // namespace hvn
