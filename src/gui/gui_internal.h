#pragma once
// Gui-layer functions shared between its files and its tests (not for the program).
// Main thread only.
#include "gui/gui.h"

#include <string>
#include <vector>

namespace hvn {

// The file paths of a drop's text/uri-list ("file://" URIs percent-decoded, plain
// lines as they are); empty lines skipped.
std::vector<std::string> DroppedPaths(const std::string &text);

void ShowWindow(Gadget *window);
// Routes the toolkit's events; a close request reaches the window's handler also while a
// popup menu or another window holds the events.
void InstallWindowEventDispatch();
// When the window's menu key asked for the menu that is about to open: its place (at the
// focused gadget, or the window's top-left corner) in the coordinates a popup takes.
// Taken once; false for a menu asked for by a mouse press.
bool TakeKeyboardMenuPlace(Gadget *window, int &x, int &y);
// Ends an open popup menu as Escape would; PopupWindowMenu then reports no choice.
void DismissPopupMenu();
// Ends an open popup menu and cancels an open modal dialog (file, colour, message) as
// its own close would, so that the program's loop gets to an ending event at once.
void EndModalLoops();
void HideWindow(Gadget *window);
// Client size clamped to the window's size limits; emits no WindowSize.
void SetWindowShape(Gadget *window, int x, int y, int w, int h);

} // namespace hvn
