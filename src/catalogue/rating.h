#pragma once
// Rating, favourite and deletion of the station behind the selected item of
// StationListBox; the rating menu's actions. Main thread only.
#include <string>

namespace hvn {

// Sets the rating of the first record (in key order) whose file name equals file exactly,
// rewrites the selected list item (icon rating + 6 for a favourite, tooltip "genre
// (label)", the genre "Unknown" when no record matched) and writes the rating file,
// which is deleted when rating and fav are both 0. A failed write is not reported.
// With no selected item the list is left alone.
void SetStationRating(const std::string &file, unsigned char rating, unsigned char fav);

// Sets the favourite mark of the record under Upper(file), rewrites the selected item's
// icon (its tooltip is kept) and writes the rating file as SetStationRating does.
void SetStationFavourite(const std::string &file, unsigned char rating, unsigned char fav);

// Deletes the station of the selected item after a modal No/Yes question (blocks until
// it is answered); a station file that is already gone is dropped without asking. On
// success the item, the station's rating file and its RecentStations entries go, the
// catalogue is rebuilt and the station list page is shown. A file that cannot be deleted
// gives the "Unknown error." alert and leaves list, catalogue and rating file as they
// were. Nothing happens when no item is selected.
void DeleteSelectedStation();

} // namespace hvn
