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
// Enters the hidden state: the window is minimised and the spectrum frames pause.
int SetHiddenToTray(Gadget *gadget, const std::string &tip);
// Ends the hidden state once the user has restored the window (the desktop's task bar):
// the current page shows and the spectrum and the now-playing poll go on.
void LeaveHiddenStateWhenRestored();
int LeaveTrayStub();

} // namespace hvn
