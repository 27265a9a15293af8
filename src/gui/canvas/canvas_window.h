#pragma once
// Internal to the gui layer: the toolkit widget behind a canvas gadget.
class Fl_Widget;

namespace hvn {

class Gadget;

// Creates the canvas widget (a window of its own, back-buffered) for gadget `g` at
// x, y, w x h in the FLTK group that is current (Fl_Group::current()). The widget emits
// MouseDown, MouseUp, MouseMove, MouseWheel, MouseEnter and MouseLeave with `g` as
// source, and GadgetPaint whenever the toolkit asks it to redraw.
Fl_Widget *CreateCanvasWidget(Gadget *g, int x, int y, int w, int h);

} // namespace hvn
