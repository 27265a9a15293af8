// Canvas gadgets: the GL widget itself comes from gui/canvas.
#include "gui/canvas/canvas_window.h"
#include "gui/gadget_view.h"

#include <FL/Fl_Widget.H>

namespace hvn {

Gadget *CreateCanvas(int x, int y, int w, int h, Gadget *parent, int style) {
    parent = ContainerOf(parent);
    Gadget *g = NewGadget(GadgetKind::Canvas, parent, style, x, y, w, h);
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    Fl_Widget *widget = CreateCanvasWidget(g, ox + x, oy + y, w, h);
    EndChildren(outer);
    if (widget)
        AttachWidget(g, widget);
    return g;
}

} // namespace hvn
