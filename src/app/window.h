#pragma once
// The main window: construction, page switching and the hidden state.
#include "gui/gui.h"

#include <string>

namespace hvn {

extern int HiddenToTray;

// Builds the window, its pages, gadgets and the two popup menus in construction order.
void BuildMainWindow();
int ShowPage(int page);
int SetPlayerButtonsHidden(int hide);
Gadget *CreateImageButton(const std::string &text, int x, int y, int w, int h, Gadget *parent,
                          int style);
int ReplaceButtonPixmap(Gadget *button, PixmapPtr pixmap, int flags);
int SetHiddenToTray(Gadget *gadget, const std::string &tip);
int LeaveTrayStub();

} // namespace hvn
