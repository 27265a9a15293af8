// Combo boxes: choice-only (Fl_Choice) and editable (Fl_Input_Choice), items with icons.
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Input_Choice.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Multi_Label.H>

namespace hvn {

namespace {

// A press is reported after the list closed, so the program sees the chosen item.
class ChoiceWidget : public Fl_Choice {
public:
    ChoiceWidget(Gadget *g, int x, int y, int w, int h) : Fl_Choice(x, y, w, h), gadget_(g) {}

    int handle(int event) override {
        const int r = Fl_Choice::handle(event);
        if (event == FL_PUSH)
            Emit(gadget_, MouseDown, EventButton(), Fl::event_x() - x(), Fl::event_y() - y());
        return r;
    }

private:
    Gadget *gadget_;
};

class EditableWidget : public Fl_Input_Choice {
public:
    EditableWidget(Gadget *g, int x, int y, int w, int h)
        : Fl_Input_Choice(x, y, w, h), gadget_(g) {}

    int handle(int event) override {
        const int r = Fl_Input_Choice::handle(event);
        if (event == FL_PUSH)
            Emit(gadget_, MouseDown, EventButton(), Fl::event_x() - x(), Fl::event_y() - y());
        return r;
    }

private:
    Gadget *gadget_;
};

void OnChoice(Fl_Widget *, void *data) {
    auto *g = static_cast<Gadget *>(data);
    const int index = MenuOf(g)->value();
    if (index < 0 || index >= static_cast<int>(g->items.size()))
        return;
    g->selected = index;
    if (g->style & COMBOBOX_EDITABLE) {
        auto *ic = static_cast<Fl_Input_Choice *>(g->view->widget);
        ic->input()->value(g->items[index].text.c_str());
    }
    Emit(g, GadgetAction, index);
}

void OnTyped(Fl_Widget *, void *data) {
    auto *g = static_cast<Gadget *>(data);
    auto *ic = static_cast<Fl_Input_Choice *>(g->view->widget);
    g->text = ic->input()->value();
    Emit(g, GadgetAction, -1);
}

} // namespace

Fl_Menu_ *MenuOf(Gadget *g) {
    if (g->style & COMBOBOX_EDITABLE)
        return static_cast<Fl_Input_Choice *>(g->view->widget)->menubutton();
    return static_cast<Fl_Choice *>(g->view->widget);
}

Gadget *CreateComboBox(int x, int y, int w, int h, Gadget *parent, int style) {
    parent = ContainerOf(parent);
    Gadget *g = NewGadget(GadgetKind::ComboBox, parent, style, x, y, w, h);
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    Fl_Widget *widget;
    if (style & COMBOBOX_EDITABLE) {
        auto *ic = new EditableWidget(g, ox + x, oy + y, w, h);
        ic->menubutton()->callback(OnChoice, g);
        ic->input()->callback(OnTyped, g);
        ic->input()->when(FL_WHEN_CHANGED);
        widget = ic;
    } else {
        auto *choice = new ChoiceWidget(g, ox + x, oy + y, w, h);
        choice->callback(OnChoice, g);
        choice->when(FL_WHEN_CHANGED);
        widget = choice;
    }
    EndChildren(outer);
    AttachWidget(g, widget);
    return g;
}

void RebuildCombo(Gadget *g) {
    GadgetView &v = *g->view;
    Fl_Menu_ *menu = MenuOf(g);
    v.labels.clear();
    v.multiLabels.clear();
    v.icons.clear();
    v.menu.assign(g->items.size() + 1, Fl_Menu_Item{});
    for (size_t i = 0; i < g->items.size(); ++i) {
        const GadgetItem &item = g->items[i];
        v.labels.push_back(EscapeLabel(item.text, true));
        Fl_Menu_Item &m = v.menu[i];
        m.label(v.labels.back().c_str());
        m.labelsize(menu->textsize());
        m.labelfont(menu->textfont());
        PixmapPtr icon = CutIconPixmap(g->iconStrip, item.icon);
        if (!icon)
            continue;
        v.icons.push_back(std::make_unique<ImageCache>());
        Fl_RGB_Image *image = v.icons.back()->Get(icon, 0, 0);
        // FLTK registers the image label type only when an image labels something.
        Fl_Menu_Item scratch{};
        image->label(&scratch);
        auto ml = std::make_unique<Fl_Multi_Label>();
        ml->labela = reinterpret_cast<const char *>(image);
        ml->typea = _FL_IMAGE_LABEL;
        v.labels.push_back(" " + v.labels.back()); // a gap after the icon
        ml->labelb = v.labels.back().c_str();
        ml->typeb = FL_NORMAL_LABEL;
        ml->label(&m);
        v.multiLabels.push_back(std::move(ml));
    }
    menu->menu(v.menu.data());
    ApplyComboSelection(g);
}

void ApplyComboSelection(Gadget *g) {
    Fl_Menu_ *menu = MenuOf(g);
    const int n = static_cast<int>(g->items.size());
    if (g->selected >= n)
        g->selected = -1;
    if (g->selected >= 0)
        menu->value(g->selected);
    else
        menu->value(static_cast<const Fl_Menu_Item *>(nullptr));
    if ((g->style & COMBOBOX_EDITABLE) && g->selected >= 0)
        static_cast<Fl_Input_Choice *>(g->view->widget)
            ->input()
            ->value(g->items[g->selected].text.c_str());
    g->view->widget->redraw();
}

std::string ComboText(Gadget *g) {
    if (g->style & COMBOBOX_EDITABLE)
        return static_cast<Fl_Input_Choice *>(g->view->widget)->input()->value();
    if (g->selected >= 0 && g->selected < static_cast<int>(g->items.size()))
        return g->items[g->selected].text;
    return "";
}

void SetComboText(Gadget *g, const std::string &text) {
    g->text = text;
    if (g->style & COMBOBOX_EDITABLE)
        static_cast<Fl_Input_Choice *>(g->view->widget)->input()->value(text.c_str());
}

} // namespace hvn
