// List boxes over Fl_Hold_Browser: selection, activation, context clicks, item tips.
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Tooltip.H>

namespace hvn {

namespace {

class ListWidget : public Fl_Hold_Browser {
public:
    ListWidget(Gadget *g, int x, int y, int w, int h) : Fl_Hold_Browser(x, y, w, h), gadget_(g) {}

    // The item index under the pointer, -1 when none.
    int IndexAt(int eventY) {
        void *item = find_item(eventY);
        return item ? lineno(item) - 1 : -1;
    }

    int handle(int event) override {
        switch (event) {
        case FL_PUSH:
            if (Fl::event_button() == FL_RIGHT_MOUSE) {
                const int index = IndexAt(Fl::event_y());
                if (index >= 0)
                    ListContextClick(gadget_, index);
                return 1;
            }
            return HandleLeftPush();
        case FL_KEYBOARD:
            if (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter) {
                if (gadget_->selected >= 0)
                    Emit(gadget_, GadgetAction, gadget_->selected);
                return 1;
            }
            return KeepInSync(Fl_Hold_Browser::handle(event));
        case FL_ENTER:
        case FL_MOVE:
            ShowItemTip();
            Fl_Hold_Browser::handle(event);
            return 1;
        default:
            return KeepInSync(Fl_Hold_Browser::handle(event));
        }
    }

private:
    int HandleLeftPush() {
        const int index = IndexAt(Fl::event_y());
        const bool twice = Fl::event_clicks() > 0;
        const int r = Fl_Hold_Browser::handle(FL_PUSH);
        if (index >= 0)
            ListItemClick(gadget_, index, twice);
        else
            KeepInSync(r);
        return r;
    }

    // Keyboard moves and drags change the selection inside the browser.
    int KeepInSync(int handled) {
        const int now = value() - 1;
        if (now != gadget_->selected && now >= 0) {
            gadget_->selected = now;
            Emit(gadget_, GadgetSelect, now);
        }
        return handled;
    }

    void ShowItemTip() {
        const int index = IndexAt(Fl::event_y());
        const char *tip = gadget_->tip.empty() ? nullptr : gadget_->tip.c_str();
        if (index >= 0 && !gadget_->items[index].tip.empty())
            tip = gadget_->items[index].tip.c_str();
        Fl_Tooltip::enter_area(this, x(), y(), w(), h(), tip); // window coordinates
    }

    Gadget *gadget_;
};

ListWidget *ListOf(Gadget *g) {
    return static_cast<ListWidget *>(g->view->widget);
}

void DropTip(Gadget *g) {
    // The tooltip may point at an item's text that is about to change.
    if (Fl_Tooltip::current() == g->view->widget)
        Fl_Tooltip::current(nullptr);
}

void SetIcon(Gadget *g, int index) {
    ListWidget *list = ListOf(g);
    PixmapPtr icon = g->iconStrip ? CutIconPixmap(g->iconStrip, g->items[index].icon) : nullptr;
    if (!icon) {
        list->icon(index + 1, nullptr);
        return;
    }
    // The browser shares the image; keep one per item alive in the view.
    auto &icons = g->view->icons;
    if (icons.size() < g->items.size())
        icons.resize(g->items.size());
    if (!icons[index])
        icons[index] = std::make_unique<ImageCache>();
    list->icon(index + 1, icons[index]->Get(icon, 0, 0));
}

} // namespace

Gadget *CreateListBox(int x, int y, int w, int h, Gadget *parent, int style) {
    parent = ContainerOf(parent);
    Gadget *g = NewGadget(GadgetKind::ListBox, parent, style, x, y, w, h);
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    auto *list = new ListWidget(g, ox + x, oy + y, w, h);
    EndChildren(outer);
    list->format_char(0); // item texts are shown as they are, "@" included
    list->when(FL_WHEN_NEVER);
    AttachWidget(g, list);
    return g;
}

void ListItemClick(Gadget *g, int index, bool twice) {
    if (index < 0 || index >= static_cast<int>(g->items.size()))
        return;
    g->selected = index;
    ListOf(g)->select(index + 1);
    Emit(g, GadgetSelect, index);
    if (twice)
        Emit(g, GadgetAction, index);
}

void ListContextClick(Gadget *g, int index) {
    if (index < 0 || index >= static_cast<int>(g->items.size()))
        return;
    g->selected = index;
    ListOf(g)->select(index + 1);
    Emit(g, GadgetMenu, index);
}

void ListInserted(Gadget *g, int index) {
    DropTip(g);
    ListWidget *list = ListOf(g);
    list->insert(index + 1, g->items[index].text.c_str());
    auto &icons = g->view->icons;
    if (static_cast<int>(icons.size()) > index)
        icons.insert(icons.begin() + index, nullptr);
    SetIcon(g, index);
}

void ListModified(Gadget *g, int index) {
    DropTip(g);
    ListOf(g)->text(index + 1, g->items[index].text.c_str());
    SetIcon(g, index);
}

void ListRemoved(Gadget *g, int index) {
    DropTip(g);
    ListOf(g)->remove(index + 1);
    auto &icons = g->view->icons;
    if (static_cast<int>(icons.size()) > index)
        icons.erase(icons.begin() + index);
}

void ListCleared(Gadget *g) {
    DropTip(g);
    ListOf(g)->clear();
    g->view->icons.clear();
}

void ListRebuildIcons(Gadget *g) {
    for (int i = 0; i < static_cast<int>(g->items.size()); ++i)
        SetIcon(g, i);
    ListOf(g)->redraw();
}

void ApplyListSelection(Gadget *g) {
    ListWidget *list = ListOf(g);
    if (g->selected >= static_cast<int>(g->items.size()))
        g->selected = -1;
    if (g->selected >= 0)
        list->select(g->selected + 1);
    else
        list->deselect();
    list->redraw();
}

int ListIndexAt(Gadget *g, int y) {
    return ListOf(g)->IndexAt(y);
}

} // namespace hvn
