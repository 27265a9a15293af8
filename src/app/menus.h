#pragma once
// The two popup menus: the main menu (meant for the tray placeholder) and the
// station list's rating menu.
namespace hvn {

// Creates both menus with their items. Main thread, once, during window construction.
void BuildMenus();
// Runs the action of a main-menu tag (MenuAction data). Tag 905 ends the program.
// Main thread.
void HandleMenuTag(int tag);
// Restores the window as the menu actions do: tray stub, show, redraw, restore.
void RestoreMainWindow();

} // namespace hvn
