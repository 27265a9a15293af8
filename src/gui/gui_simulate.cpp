// Test support: input delivered through the widgets' own event handling.
#include "gui/gui_simulate.h"

#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Input_Choice.H>
#include <FL/Fl_Tree.H>
#include <FL/Fl_Tree_Item.H>
#include <FL/Fl_Window.H>

namespace hvn {

namespace {

int ToFlEvent(int kind) {
    switch (kind) {
    case MouseDown:
        return FL_PUSH;
    case MouseUp:
        return FL_RELEASE;
    case MouseMove:
        return Fl::pushed() ? FL_DRAG : FL_MOVE;
    case MouseWheel:
        return FL_MOUSEWHEEL;
    case MouseEnter:
        return FL_ENTER;
    case MouseLeave:
        return FL_LEAVE;
    default:
        return 0;
    }
}

int ToFlButton(int button) {
    switch (button) {
    case 2:
        return FL_RIGHT_MOUSE;
    case 3:
        return FL_MIDDLE_MOUSE;
    default:
        return FL_LEFT_MOUSE;
    }
}

// The n-th node of the tree in display order (the hidden root not counted).
Gadget *TreeNodeAt(Gadget *tree, int index) {
    auto *t = static_cast<Fl_Tree *>(tree->view->widget);
    int n = 0;
    for (Fl_Tree_Item *item = t->first(); item; item = t->next(item)) {
        if (item == t->root())
            continue;
        if (n++ == index)
            return static_cast<Gadget *>(item->user_data());
    }
    return nullptr;
}

} // namespace

void SimulateMouse(Gadget *g, int kind, int data, int x, int y) {
    if (!g || !g->view->widget)
        return;
    const int flEvent = ToFlEvent(kind);
    if (!flEvent)
        return;
    Fl_Widget *w = g->view->widget;
    // A window (the main window or a GL canvas) gets coordinates relative to itself.
    Fl_Window *own = w->as_window();
    Fl::e_x = own ? x : w->x() + x;
    Fl::e_y = own ? y : w->y() + y;
    Fl_Window *win = own ? own : w->window();
    Fl::e_x_root = Fl::e_x + (win ? win->x() : 0);
    Fl::e_y_root = Fl::e_y + (win ? win->y() : 0);
    Fl::e_dx = 0;
    Fl::e_dy = kind == MouseWheel ? -data : 0;
    if (kind == MouseDown || kind == MouseUp) {
        Fl::e_keysym = FL_Button + ToFlButton(data);
        Fl::e_clicks = 0;
    }
    Fl::e_number = flEvent;
    w->handle(flEvent);
}

void SimulateItemClick(Gadget *g, int index, bool doubleClick) {
    if (!g)
        return;
    if (g->kind == GadgetKind::ListBox) {
        ListItemClick(g, index, doubleClick);
    } else if (g->kind == GadgetKind::TreeView) {
        if (Gadget *node = TreeNodeAt(g, index))
            TreeNodeClick(node, doubleClick);
    }
}

void SimulateItemContextClick(Gadget *g, int index) {
    if (g && g->kind == GadgetKind::ListBox)
        ListContextClick(g, index);
}

void SimulateTyping(Gadget *g, const std::string &text) {
    if (!g || text.empty())
        return;
    Fl_Input_ *input = nullptr;
    if (g->kind == GadgetKind::TextField)
        input = static_cast<Fl_Input_ *>(g->view->widget);
    else if (g->kind == GadgetKind::ComboBox && (g->style & COMBOBOX_EDITABLE))
        input = static_cast<Fl_Input_Choice *>(g->view->widget)->input();
    if (!input)
        return;
    // A key press that produced the text, as the X input method hands it over.
    std::string buffer = text;
    Fl::e_text = buffer.data();
    Fl::e_length = static_cast<int>(buffer.size());
    Fl::e_keysym = static_cast<unsigned char>(text[0]);
    Fl::e_state = 0;
    Fl::e_number = FL_KEYBOARD;
    input->handle(FL_KEYBOARD);
    Fl::e_text = nullptr;
    Fl::e_length = 0;
}

void SimulateComboChoice(Gadget *g, int index) {
    if (!g || g->kind != GadgetKind::ComboBox || index < 0 ||
        index >= static_cast<int>(g->items.size()))
        return;
    Fl_Menu_ *menu = MenuOf(g);
    menu->value(index);
    menu->do_callback();
}

void SimulateToggle(Gadget *g) {
    if (!g || g->kind != GadgetKind::Button)
        return;
    auto *button = static_cast<Fl_Button *>(g->view->widget);
    if (g->style & BUTTON_CHECKBOX)
        button->value(!button->value());
    button->do_callback();
}

void SimulateWindowClose(Gadget *window) {
    if (Fl_Window *win = WindowOf(window))
        win->do_callback();
}

void SimulateFileDrop(Gadget *window, const std::string &path) {
    Fl_Window *win = WindowOf(window);
    if (!win)
        return;
    // A drag source sends a URI: blanks and percent signs are escaped.
    std::string uri = "file://";
    for (char c : path) {
        if (c == ' ')
            uri += "%20";
        else if (c == '%')
            uri += "%25";
        else
            uri += c;
    }
    uri += "\r\n";
    Fl::e_text = uri.data();
    Fl::e_length = static_cast<int>(uri.size());
    if (win->handle(FL_DND_ENTER) && win->handle(FL_DND_RELEASE))
        win->handle(FL_PASTE);
    Fl::e_text = nullptr;
    Fl::e_length = 0;
}

void SimulateWindowResize(Gadget *window, int w, int h) {
    if (Fl_Window *win = WindowOf(window))
        win->resize(win->x(), win->y(), w, h);
}

} // namespace hvn
