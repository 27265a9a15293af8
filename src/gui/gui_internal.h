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
// Ends an open popup menu as Escape would; PopupWindowMenu then reports no choice.
void DismissPopupMenu();
void HideWindow(Gadget *window);
// Client size clamped to the window's size limits; emits no WindowSize.
void SetWindowShape(Gadget *window, int x, int y, int w, int h);

} // namespace hvn
