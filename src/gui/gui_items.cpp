// Items of combo and list boxes: the state is changed here, the widget follows.
#include "gui/gadget_view.h"

namespace hvn {

namespace {

bool HasItems(Gadget *g) {
    return g && (g->kind == GadgetKind::ComboBox || g->kind == GadgetKind::ListBox);
}

bool ValidIndex(Gadget *g, int index) {
    return HasItems(g) && index >= 0 && index < static_cast<int>(g->items.size());
}

GadgetItem MakeItem(const std::string &text, int flags, int icon, const std::string &tip,
                    std::optional<std::string> extra) {
    GadgetItem item;
    item.text = text;
    item.flags = flags;
    item.icon = icon;
    item.tip = tip;
    item.extra = std::move(extra);
    return item;
}

void ApplySelection(Gadget *g) {
    if (g->kind == GadgetKind::ComboBox)
        ApplyComboSelection(g);
    else
        ApplyListSelection(g);
}

} // namespace

void InsertGadgetItem(Gadget *g, int index, const std::string &text, int flags, int icon,
                      const std::string &tip, std::optional<std::string> extra) {
    if (!HasItems(g))
        return;
    const int n = static_cast<int>(g->items.size());
    if (index < 0 || index > n)
        index = n;
    g->items.insert(g->items.begin() + index, MakeItem(text, flags, icon, tip, std::move(extra)));
    if (g->selected >= index)
        ++g->selected;
    if (flags & GADGETITEM_DEFAULT)
        g->selected = index;
    if (g->kind == GadgetKind::ComboBox) {
        RebuildCombo(g);
        return;
    }
    ListInserted(g, index);
    ApplyListSelection(g);
}

void AddGadgetItem(Gadget *g, const std::string &text, int flags, int icon, const std::string &tip,
                   std::optional<std::string> extra) {
    if (HasItems(g))
        InsertGadgetItem(g, static_cast<int>(g->items.size()), text, flags, icon, tip,
                         std::move(extra));
}

void ModifyGadgetItem(Gadget *g, int index, const std::string &text, int flags, int icon,
                      const std::string &tip, std::optional<std::string> extra) {
    if (!ValidIndex(g, index))
        return;
    g->items[index] = MakeItem(text, flags, icon, tip, std::move(extra));
    if (flags & GADGETITEM_DEFAULT)
        g->selected = index;
    if (g->kind == GadgetKind::ComboBox) {
        RebuildCombo(g);
        return;
    }
    ListModified(g, index);
    ApplyListSelection(g);
}

void AddGadgetItems(Gadget *g, std::vector<GadgetItem> items) {
    if (!HasItems(g))
        return;
    for (GadgetItem &item : items) {
        g->items.push_back(std::move(item));
        const int index = static_cast<int>(g->items.size()) - 1;
        if (g->items.back().flags & GADGETITEM_DEFAULT)
            g->selected = index;
        if (g->kind == GadgetKind::ListBox)
            ListInserted(g, index);
    }
    if (g->kind == GadgetKind::ComboBox)
        RebuildCombo(g);
    else
        ApplyListSelection(g);
}

void RemoveGadgetItem(Gadget *g, int index) {
    if (!ValidIndex(g, index))
        return;
    g->items.erase(g->items.begin() + index);
    if (g->selected == index)
        g->selected = -1;
    else if (g->selected > index)
        --g->selected;
    if (g->kind == GadgetKind::ComboBox) {
        RebuildCombo(g);
        return;
    }
    ListRemoved(g, index);
    ApplyListSelection(g);
}

void ClearGadgetItems(Gadget *g) {
    if (!HasItems(g))
        return;
    g->items.clear();
    g->selected = -1;
    if (g->kind == GadgetKind::ComboBox) {
        RebuildCombo(g);
        return;
    }
    ListCleared(g);
    ApplyListSelection(g);
}

int CountGadgetItems(Gadget *g) {
    return HasItems(g) ? static_cast<int>(g->items.size()) : 0;
}

void SelectGadgetItem(Gadget *g, int index) {
    if (!HasItems(g))
        return;
    g->selected = ValidIndex(g, index) ? index : -1;
    ApplySelection(g);
}

void DeselectGadgetItem(Gadget *g, int index) {
    if (!HasItems(g) || g->selected != index)
        return;
    g->selected = -1;
    ApplySelection(g);
}

int SelectedGadgetItem(Gadget *g) {
    return HasItems(g) ? g->selected : -1;
}

std::string GadgetItemText(Gadget *g, int index) {
    return ValidIndex(g, index) ? g->items[index].text : "";
}

std::string GadgetItemTooltip(Gadget *g, int index) {
    return ValidIndex(g, index) ? g->items[index].tip : "";
}

int GadgetItemIcon(Gadget *g, int index) {
    return ValidIndex(g, index) ? g->items[index].icon : -1;
}

std::optional<std::string> GadgetItemExtra(Gadget *g, int index) {
    if (!ValidIndex(g, index))
        return std::nullopt;
    return g->items[index].extra;
}

void SetGadgetIconStrip(Gadget *g, IconStripPtr strip) {
    if (!HasItems(g))
        return;
    g->iconStrip = std::move(strip);
    if (g->kind == GadgetKind::ComboBox)
        RebuildCombo(g);
    else
        ListRebuildIcons(g);
}

} // namespace hvn
