// Popup menus: a tree of Menu gadgets turned into an FLTK menu when it pops up.
#include "gui/gadget_view.h"
#include "gui/gui_internal.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Window.H>

#include <cstdlib>
#include <deque>

namespace hvn {

namespace {

bool IsMenu(Gadget *g) {
    return g && g->kind == GadgetKind::Menu;
}

void AppendItems(Gadget *menu, std::vector<Fl_Menu_Item> &items, std::deque<std::string> &labels) {
    int previous = -1;
    for (Gadget *child : menu->children) {
        if (!IsMenu(child))
            continue;
        if (child->text.empty()) {
            if (previous >= 0)
                items[previous].flags |= FL_MENU_DIVIDER;
            continue;
        }
        labels.push_back(EscapeLabel(child->text, true));
        Fl_Menu_Item item{};
        item.text = labels.back().c_str();
        item.user_data_ = child;
        if (!child->enabled)
            item.flags |= FL_MENU_INACTIVE;
        if (child->view->checkable)
            item.flags |= FL_MENU_TOGGLE;
        if (child->checked)
            item.flags |= FL_MENU_VALUE;
        const bool sub = !child->children.empty();
        if (sub)
            item.flags |= FL_SUBMENU;
        previous = static_cast<int>(items.size());
        items.push_back(item);
        if (sub) {
            AppendItems(child, items, labels);
            items.push_back(Fl_Menu_Item{}); // ends the submenu
        }
    }
}

// The enabled item with `tag` under `menu`, depth first; nullptr when none.
Gadget *FindTag(Gadget *menu, int tag) {
    for (Gadget *child : menu->children) {
        if (!IsMenu(child) || child->text.empty() || !child->enabled)
            continue;
        if (child->children.empty() && child->tag == tag)
            return child;
        if (Gadget *found = FindTag(child, tag))
            return found;
    }
    return nullptr;
}

Gadget *PopupAnswerFromHook(Gadget *menu) {
    const std::string answer = CurrentRequesterHook()("menu", menu->text);
    if (answer.empty())
        return nullptr;
    char *end = nullptr;
    const long tag = std::strtol(answer.c_str(), &end, 10);
    return *end == '\0' ? FindTag(menu, static_cast<int>(tag)) : nullptr;
}

} // namespace

void DismissPopupMenu() {
    // An open popup menu is the window that grabs the events; Escape ends its loop.
    Fl_Window *menu = Fl::grab();
    if (!menu)
        return;
    const int key = Fl::e_keysym;
    Fl::e_keysym = FL_Escape;
    menu->handle(FL_KEYBOARD);
    Fl::e_keysym = key;
}

Gadget *CreateMenu(const std::string &text, int tag, Gadget *parent) {
    Gadget *g = NewGadget(GadgetKind::Menu, nullptr, 0, 0, 0, 0, 0);
    g->parent = parent;
    if (parent)
        parent->children.push_back(g);
    g->text = text;
    g->tag = tag;
    return g;
}

void SetMenuText(Gadget *menu, const std::string &text) {
    if (IsMenu(menu))
        menu->text = text;
}

void CheckMenu(Gadget *menu) {
    if (!IsMenu(menu))
        return;
    menu->view->checkable = true;
    menu->checked = true;
}

void UncheckMenu(Gadget *menu) {
    if (!IsMenu(menu))
        return;
    menu->view->checkable = true;
    menu->checked = false;
}

bool MenuChecked(Gadget *menu) {
    return IsMenu(menu) && menu->checked;
}

void EnableMenu(Gadget *menu) {
    if (IsMenu(menu))
        menu->enabled = true;
}

void DisableMenu(Gadget *menu) {
    if (IsMenu(menu))
        menu->enabled = false;
}

bool MenuEnabled(Gadget *menu) {
    return IsMenu(menu) && menu->enabled;
}

void PopupWindowMenu(Gadget *window, Gadget *menu) {
    if (!IsMenu(menu))
        return;
    Gadget *chosen = nullptr;
    if (CurrentRequesterHook()) {
        chosen = PopupAnswerFromHook(menu);
    } else {
        std::vector<Fl_Menu_Item> items;
        std::deque<std::string> labels;
        AppendItems(menu, items, labels);
        if (items.empty())
            return;
        items.push_back(Fl_Menu_Item{});
        // From a mouse press at the pointer, from the menu key over the window.
        int x = Fl::event_x(), y = Fl::event_y();
        TakeKeyboardMenuPlace(window, x, y);
        const Fl_Menu_Item *picked = items.front().popup(x, y);
        if (picked && !(picked->flags & FL_SUBMENU))
            chosen = static_cast<Gadget *>(picked->user_data());
    }
    // Reported once the popup has closed, so the handler runs outside the menu's loop.
    if (chosen)
        Emit(chosen, MenuAction, chosen->tag);
}

} // namespace hvn
