#pragma once
// The two popup menus: the main menu (meant for the tray placeholder) and the
// station list's rating menu.
#include <string>

namespace hvn {

// Creates both menus with their items. Main thread, once, during window construction.
void BuildMenus();
// Runs the action of a main-menu tag (MenuAction data). Tag 905 ends the program.
// Main thread.
void HandleMenuTag(int tag);
// The station file the rating menu was last opened on (relative to "stations/").
extern std::string RatingMenuStationFile;

// Opens the rating menu for the selected station-list item (the first when none is
// selected); nothing when the list is empty. Main thread; returns after the popup closes.
void OpenRatingMenu();
// Ticks the rating item `rating` (0..5; -1 unticks all, other values keep the ticks),
// stores it in DbRating and ticks the favourite item from DbFavourite. Returns 0.
int TickRatingMenu(int rating);
// Restores the window as the menu actions do: tray stub, show, redraw, restore.
void RestoreMainWindow();

} // namespace hvn
