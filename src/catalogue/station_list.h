#pragma once
// The station list's contents: categories, favourites-only mode and name search.
#include "gui/gui.h"

#include <memory>
#include <string>
#include <vector>

namespace hvn {

class AddListItemsBatch {
public:
    std::vector<GadgetItem> items;
    int total = 0;
    void Add(const std::string &text, int flags, int icon, const std::string &tip,
             std::optional<std::string> extra);
    void Go(Gadget *gadget);
};

class TSortRecentObj {
public:
    long long Date = 0;
    std::string Name;
    std::string FileName;
    unsigned char Fav = 0, Genre = 0, Rating = 0;
    static std::shared_ptr<TSortRecentObj> Create(long long date, const std::string &name,
                                                  const std::string &fileName,
                                                  unsigned char fav, unsigned char genre,
                                                  unsigned char rating);
    int Compare(const TSortRecentObj *other) const;
};

extern std::vector<std::string> RecentStations; // upper-cased file names, newest first
extern AddListItemsBatch StationListBatch;

void FillStationList(int favOnly, int category);
void FilterStationList(const std::string &text);
std::string FormatFileTime(const std::string &path, const std::string &pattern);
std::string FormatCurrentTime(const std::string &pattern);

} // namespace hvn
