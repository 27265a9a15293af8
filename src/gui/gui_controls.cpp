// Buttons (check boxes, toggle and push buttons) and text fields.
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Toggle_Button.H>

namespace hvn {

namespace {

void OnButton(Fl_Widget *w, void *data) {
    auto *g = static_cast<Gadget *>(data);
    const bool toggles = (g->style & BUTTON_CHECKBOX) != 0;
    if (toggles)
        g->checked = static_cast<Fl_Button *>(w)->value() != 0;
    Emit(g, GadgetAction, toggles ? (g->checked ? 1 : 0) : 0);
}

class TextFieldWidget : public Fl_Input {
public:
    TextFieldWidget(Gadget *g, int x, int y, int w, int h) : Fl_Input(x, y, w, h), gadget_(g) {}

    int handle(int event) override {
        const int r = Fl_Input::handle(event);
        if (event == FL_UNFOCUS)
            Emit(gadget_, GadgetLostFocus);
        return r;
    }

private:
    Gadget *gadget_;
};

void OnTextChanged(Fl_Widget *w, void *data) {
    auto *g = static_cast<Gadget *>(data);
    g->text = static_cast<Fl_Input *>(w)->value();
    Emit(g, GadgetAction);
}

} // namespace

Gadget *CreateButton(const std::string &text, int x, int y, int w, int h, Gadget *parent,
                     int style) {
    parent = ContainerOf(parent);
    Gadget *g = NewGadget(GadgetKind::Button, parent, style, x, y, w, h);
    g->text = text;
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    Fl_Button *button;
    const int X = ox + x, Y = oy + y;
    if ((style & BUTTON_CHECKBOX) && (style & BUTTON_PUSH))
        button = new Fl_Toggle_Button(X, Y, w, h);
    else if (style & BUTTON_CHECKBOX)
        button = new Fl_Check_Button(X, Y, w, h);
    else
        button = new Fl_Button(X, Y, w, h);
    EndChildren(outer);
    button->copy_label(EscapeLabel(text, true).c_str());
    button->callback(OnButton, g);
    AttachWidget(g, button);
    return g;
}

void SetButtonState(Gadget *g, bool checked) {
    if (!g)
        return;
    if (g->kind == GadgetKind::Menu) {
        checked ? CheckMenu(g) : UncheckMenu(g);
        return;
    }
    g->checked = checked;
    if (g->kind == GadgetKind::Button)
        static_cast<Fl_Button *>(g->view->widget)->value(checked ? 1 : 0);
}

bool ButtonState(Gadget *g) {
    return g && g->checked;
}

Gadget *CreateTextField(int x, int y, int w, int h, Gadget *parent, int style) {
    parent = ContainerOf(parent);
    Gadget *g = NewGadget(GadgetKind::TextField, parent, style, x, y, w, h);
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    auto *input = new TextFieldWidget(g, ox + x, oy + y, w, h);
    EndChildren(outer);
    input->when(FL_WHEN_CHANGED);
    input->callback(OnTextChanged, g);
    AttachWidget(g, input);
    return g;
}

} // namespace hvn
