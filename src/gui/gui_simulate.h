#pragma once
// Test support only: input delivered through the widgets' own event handling, so that a
// gadget emits what it emits for real input. Built as halvane::gui_simulate, which the
// tests link and the program does not. Main thread only.
#include "gui/gui.h"

#include <string>

namespace hvn {

// kind: MouseDown, MouseUp, MouseMove, MouseWheel, MouseEnter, MouseLeave; data: button
// or wheel steps; x, y inside the gadget.
void SimulateMouse(Gadget *g, int kind, int data, int x, int y);
// A click (select) or double click (action) on item `index` of a list box or tree,
// or a right click (context menu); a choice in a combo box; text typed into an
// editable combo box or text field; a check box toggled; a window closed or given a
// dropped file.
void SimulateItemClick(Gadget *g, int index, bool doubleClick);
void SimulateItemContextClick(Gadget *g, int index);
void SimulateComboChoice(Gadget *g, int index);
void SimulateTyping(Gadget *g, const std::string &text);
void SimulateToggle(Gadget *g);
void SimulateWindowClose(Gadget *window);
void SimulateFileDrop(Gadget *window, const std::string &path);
// A resize as the window manager makes it (emits WindowSize).
void SimulateWindowResize(Gadget *window, int w, int h);

} // namespace hvn
