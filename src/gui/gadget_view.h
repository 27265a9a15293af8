#pragma once
// Internal to the gui layer: the toolkit side of a gadget, the gadget registry, the
// edge-lock layout and small helpers shared by the gadget kinds. Main thread only.
#include "events/event.h"
#include "gui/gui.h"

#include <FL/Enumerations.H>

#include <deque>
#include <memory>
#include <string>
#include <vector>

class Fl_Widget;
class Fl_Group;
class Fl_Menu_;
class Fl_Window;
class Fl_Image;
class Fl_RGB_Image;
class Fl_Tree_Item;
struct Fl_Menu_Item;
struct Fl_Multi_Label;

namespace hvn {

// What the layout of a gadget is measured from: its shape and its parent's client size
// when it was created, reshaped or given its locks.
struct LayoutRef {
    int x = 0, y = 0, w = 0, h = 0;
    int parentW = 0, parentH = 0;
};

// A cached toolkit image of a pixmap, rebuilt when the pixmap or the wanted size changes.
class ImageCache {
public:
    ImageCache();
    ~ImageCache();
    // nullptr when there is no pixmap. w, h <= 0: the pixmap's own size.
    Fl_RGB_Image *Get(const PixmapPtr &pixmap, int w, int h);

private:
    std::unique_ptr<Fl_RGB_Image> image_;
    std::vector<unsigned char> bytes_; // the image keeps a pointer into this
    // Weak: a freed pixmap's address may come back with a new pixmap of the same
    // generation, which a plain pointer would take for the cached one.
    std::weak_ptr<Pixmap> source_;
    uint64_t generation_ = 0;
    int w_ = 0, h_ = 0;
};

class GadgetView {
public:
    GadgetView();
    ~GadgetView();

    Fl_Widget *widget = nullptr; // the outer widget (nullptr for menus and tree nodes)
    Fl_Group *group = nullptr;   // where child widgets go (containers only)
    LayoutRef ref;

    ImageCache image;

    // Combo boxes: the menu array handed to the toolkit, the label texts it points
    // to, the item icons and their icon-with-text labels.
    std::vector<Fl_Menu_Item> menu;
    std::deque<std::string> labels;
    std::vector<std::unique_ptr<ImageCache>> icons;
    std::vector<std::unique_ptr<Fl_Multi_Label>> multiLabels;

    // Tree views and their nodes.
    Fl_Tree_Item *treeItem = nullptr;
    Gadget *tree = nullptr; // a node's tree view
    Gadget *root = nullptr; // a tree view's root node

    bool checkable = false;                     // menus: ticked or unticked at least once
    bool minimized = false;                     // windows
    bool seenUnmapped = false;                  // windows: unmapped since minimised
    Gadget *pendingFocus = nullptr;             // windows: focus asked while minimised
    bool settingShape = false;                  // windows: a resize the program asked for
    int minW = 0, minH = 0, maxW = 0, maxH = 0; // windows; 0: no limit
};

// Registry: gadgets live until the process exits.
Gadget *NewGadget(GadgetKind kind, Gadget *parent, int style, int x, int y, int w, int h);
// Links the widget with the gadget (lookups by widget, tooltip, font, colours).
void AttachWidget(Gadget *g, Fl_Widget *widget, Fl_Group *group = nullptr);
// The gadget of a widget or of its nearest ancestor that has one; nullptr when none.
Gadget *GadgetOfWidget(Fl_Widget *widget);
// The gadget whose client area takes the children given to `parent` (a scroll panel
// hands them to its client).
Gadget *ContainerOf(Gadget *parent);
// Makes the parent's group current for new widgets; returns it (nullptr for none).
Fl_Group *BeginChildren(Gadget *parent);
void EndChildren(Fl_Group *group);

// Layout.
// The toolkit coordinates of the top-left corner of g's client area.
void ClientOrigin(Gadget *g, int &ox, int &oy);
// Client size used for the children's layout.
int LayoutWidth(Gadget *g);
int LayoutHeight(Gadget *g);
// Places every child of `parent` by its locks and reference (state and widget).
void LayoutChildren(Gadget *parent);
// Records g's current shape and its parent's client size as the layout reference.
void RememberLayout(Gadget *g);
// Moves g's widget to its state shape.
void PlaceWidget(Gadget *g);

// Events.
void Emit(Gadget *source, int id, int data = 0, int x = 0, int y = 0,
          std::optional<std::string> extra = {});
// Button numbering of events: 1 left, 2 right, 3 middle.
int EventButton();
// Mouse events of active and sensitive gadgets; returns 1 when handled.
int HandleMouse(Gadget *g, int flEvent);
// Emits the mouse event for an FLTK event at x, y relative to the gadget; 0 when the
// event is not a mouse event the program reports.
int EmitMouse(Gadget *g, int flEvent, int x, int y);
bool MouseReporting(Gadget *g);

// Text helpers.
// Texts shown through FLTK's label drawing: "@" starts a symbol and, where shortcuts
// are drawn (menus, buttons), "&" underlines; both are doubled to be shown as typed.
std::string EscapeLabel(const std::string &text, bool shortcuts);

Fl_Font ToFlFont(const GuiFont &font);
Fl_Color ToFlColor(const Rgb &c);
void ApplyFont(Gadget *g);
void ApplyColors(Gadget *g);

GuiFont &DefaultGadgetFont();

// Icon `index` of the strip as its own pixmap; nullptr when out of range.
PixmapPtr CutIconPixmap(const IconStripPtr &strip, int index);

// Combo boxes (gui_combo.cpp): the toolkit menu follows g->items and g->selected.
Fl_Menu_ *MenuOf(Gadget *g); // the menu that holds a combo box's items
void RebuildCombo(Gadget *g);
void ApplyComboSelection(Gadget *g);
std::string ComboText(Gadget *g);
void SetComboText(Gadget *g, const std::string &text);

// List boxes (gui_list.cpp): the browser follows each change of g->items.
void ListItemClick(Gadget *g, int index, bool twice); // selects, emits select (and action)
void ListContextClick(Gadget *g, int index);          // selects, emits menu
void ListInserted(Gadget *g, int index);
void ListModified(Gadget *g, int index);
void ListRemoved(Gadget *g, int index);
void ListCleared(Gadget *g);
void ListRebuildIcons(Gadget *g);
void ApplyListSelection(Gadget *g);
// The item index at window coordinate y, -1 when none.
int ListIndexAt(Gadget *g, int y);

// Tree views (gui_tree.cpp).
void TreeNodeClick(Gadget *node, bool twice); // selects, emits select (and action)
void SetTreeNodeText(Gadget *node, const std::string &text);

// Menus and requesters (gui_menu.cpp, gui_requester.cpp): the test hook, when set.
const RequesterHook &CurrentRequesterHook();

// Windows (gui_window.cpp): the toolkit window of a window gadget; nullptr for another.
Fl_Window *WindowOf(Gadget *g);

// Scroll panels (gui_panel.cpp): the visible part of the client.
int ScrollViewWidth(Gadget *scroll);
int ScrollViewHeight(Gadget *scroll);

} // namespace hvn
