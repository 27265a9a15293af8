#pragma once
// The gadget layer over FLTK 1.3. Every gadget keeps its own state (text, tooltip,
// items, selection, visibility, enabled, tick, images, colours) so that what a user
// would see can be read back without pixels. All functions: main thread only.
// Gadgets are long-lived; they are never destroyed while the program runs.
// Events of gadgets reach the event queue through EmitEvent with the gadget as source.
#include "gui/pixmap.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hvn {

enum class GadgetKind {
    Window,
    Panel,
    Label,
    Button,
    ComboBox,
    ListBox,
    TextField,
    TreeView,
    TreeNode,
    ProgressBar,
    ScrollPanel,
    Canvas,
    Menu,
};

// Style bits by kind.
enum : int {
    WINDOW_TITLEBAR = 1,
    WINDOW_RESIZABLE = 2,
    WINDOW_CLIENTCOORDS = 32,
    WINDOW_HIDDEN = 64,
    WINDOW_ACCEPTFILES = 128,
    WINDOW_CENTER = 512,

    PANEL_SUNKEN = 1,
    PANEL_ACTIVE = 4, // reports mouse down, up, move, wheel, enter and leave

    LABEL_LEFT = 0,
    LABEL_RIGHT = 8,
    LABEL_CENTER = 16,

    BUTTON_CHECKBOX = 2,
    BUTTON_PUSH = 8, // with BUTTON_CHECKBOX: a toggle button (style 10)

    COMBOBOX_EDITABLE = 1,

    SCROLLPANEL_HNEVER = 32, // never a horizontal bar
};

// SetGadgetSensitivity flags.
enum : int { SENSITIZE_MOUSE = 1 };

// Image placement flags of SetGadgetPixmap. 2: scaled to fill the gadget; 8: drawn as an
// icon at its own size, centred; 16: no text. 26 = fill, icon, no text (button faces).
// SetGadgetPixmap(g, nullptr, 8) removes the image.
enum : int { PIXMAP_FIT = 2, PIXMAP_ICON = 8, PIXMAP_NOTEXT = 16 };

// Item flags. 1: the item becomes the selected one when added or modified.
enum : int { GADGETITEM_DEFAULT = 1 };

struct GuiFont {
    std::string name = "clean"; // "clean" -> sans serif, "fixed" -> monospace
    double size = 12.0;
    bool bold = false;
};

struct GadgetItem {
    std::string text;
    std::string tip;
    int icon = -1;
    int flags = 0;
    std::optional<std::string> extra; // none when the item carries no string
};

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb &) const = default;
};

class GadgetView; // the toolkit side, private to the gui layer

class Gadget {
public:
    GadgetKind kind = GadgetKind::Panel;
    int style = 0;
    Gadget *parent = nullptr;
    std::vector<Gadget *> children; // creation order = stacking order, later above

    // Shape relative to the parent's client area (for a window: screen position and
    // client size).
    int x = 0, y = 0, w = 0, h = 0;
    // Edge locks (left, right, top, bottom); see SetGadgetLayout.
    int lockLeft = 1, lockRight = 0, lockTop = 1, lockBottom = 0;

    std::string text;
    std::string tip;
    bool hidden = false; // hidden itself (a parent may hide it too: GadgetVisible)
    bool enabled = true;
    bool checked = false; // check boxes, toggle buttons, menu ticks
    int sensitivity = 0;
    GuiFont font;

    std::optional<Rgb> background; // none: the toolkit's colour
    std::optional<Rgb> textColor;

    PixmapPtr pixmap; // image set with SetGadgetPixmap
    int pixmapFlags = 0;
    IconStripPtr iconStrip;

    std::vector<GadgetItem> items; // combo and list boxes
    int selected = -1;

    double progress = 0.0; // progress bar
    int scrollX = 0, scrollY = 0; // scroll panels
    Gadget *client = nullptr; // scroll panel: its client panel

    // Menus: tag; tree nodes: extra value.
    int tag = 0;
    std::optional<std::string> extra;

    // Redraw requests seen (a test can tell that something asked for a redraw).
    int redraws = 0;

    GadgetView *view = nullptr;
};

// Set-up. InitGui opens the X display, installs the event pump (FLTK wait with the
// timer pipe) and sets the default font. Returns false when no display answers.
bool InitGui();
// How the desktop knows the program, for the windows made after the call: their class
// (WM_CLASS: xclass, then xclass capitalised) and their icons (_NET_WM_ICON, one per
// pixmap; nullptr entries are left out).
void SetApplicationIdentity(const std::string &xclass, const std::vector<PixmapPtr> &icons);
// The title of every message box and of the colour requester.
void SetDialogTitle(const std::string &title);
// Runs the toolkit once without blocking (pending redraws and input are delivered).
void PollSystem();

void SetDefaultGadgetFont(const GuiFont &font);
GuiFont SystemGuiFont(bool bold);

// Creation. x, y relative to the parent's client area.
Gadget *CreateWindow(const std::string &title, int x, int y, int w, int h, Gadget *parent,
                     int style);
Gadget *CreatePanel(int x, int y, int w, int h, Gadget *parent, int style,
                    const std::string &title = "");
Gadget *CreateLabel(const std::string &text, int x, int y, int w, int h, Gadget *parent,
                    int style);
Gadget *CreateButton(const std::string &text, int x, int y, int w, int h, Gadget *parent,
                     int style);
Gadget *CreateComboBox(int x, int y, int w, int h, Gadget *parent, int style);
Gadget *CreateListBox(int x, int y, int w, int h, Gadget *parent, int style);
Gadget *CreateTextField(int x, int y, int w, int h, Gadget *parent, int style);
Gadget *CreateTreeView(int x, int y, int w, int h, Gadget *parent, int style);
Gadget *CreateProgBar(int x, int y, int w, int h, Gadget *parent, int style);
Gadget *CreateScrollPanel(int x, int y, int w, int h, Gadget *parent, int style);
// A GL canvas (back-buffered); drawn with the functions of gui/canvas/draw2d.h.
Gadget *CreateCanvas(int x, int y, int w, int h, Gadget *parent, int style);

// Window operations. A window reports the keyboard's Menu key and Shift+F10 as
// GadgetMenu (x, y: where a popup for it opens: at the focused gadget, else at the
// window's top-left corner); a mouse-sensitive window reports presses that none of its
// gadgets takes.
void SetMinWindowSize(Gadget *window, int w, int h);
void SetMaxWindowSize(Gadget *window, int w, int h);
void RestoreWindow(Gadget *window); // from the minimised state
void MinimizeWindow(Gadget *window);
// While the window is marked minimised this asks the X server whether it was restored.
bool WindowMinimized(Gadget *window);
int ClientWidth(Gadget *g);
int ClientHeight(Gadget *g);
int GadgetX(Gadget *g); // for a window: its screen position
int GadgetY(Gadget *g);
int GadgetWidth(Gadget *g); // outer size
int GadgetHeight(Gadget *g);
// For a window: x, y the screen position, w, h the client size.
void SetGadgetShape(Gadget *g, int x, int y, int w, int h);

// Common operations.
// Edge locks: 1 keeps that edge at its creation distance from the same edge of the
// parent; with both edges of an axis free the gadget keeps its size and its centre at
// the same proportional position. Defaults for new gadgets: (1, 0, 1, 0).
void SetGadgetLayout(Gadget *g, int left, int right, int top, int bottom);
void SetGadgetText(Gadget *g, const std::string &text);
std::string GadgetText(Gadget *g);
void SetGadgetToolTip(Gadget *g, const std::string &tip);
std::string GadgetTooltip(Gadget *g);
void ShowGadget(Gadget *g);
void HideGadget(Gadget *g);
bool GadgetVisible(Gadget *g); // itself and every parent shown
void EnableGadget(Gadget *g);
void DisableGadget(Gadget *g);
void ActivateGadget(Gadget *g); // keyboard focus
Gadget *FocusedGadget();
void RedrawGadget(Gadget *g);
void SetGadgetColor(Gadget *g, int r, int gr, int b); // background
void SetGadgetTextColor(Gadget *g, int r, int gr, int b);
void SetGadgetFont(Gadget *g, const GuiFont &font);
// The UTF-8 text without the characters beyond U+FFFF that g's font has no glyph for (the
// toolkit would draw a box for each); every other byte is kept.
std::string DrawableText(Gadget *g, std::string_view utf8);
void SetGadgetSensitivity(Gadget *g, int flags);
void SetGadgetPixmap(Gadget *g, PixmapPtr pixmap, int flags);
void SetButtonState(Gadget *g, bool checked);
bool ButtonState(Gadget *g);
// Toolkit colour: index 0 the window background, 1 the gadget background, 2 the text.
Rgb LookupGuiColor(int index);

// Items of combo and list boxes. Adding or modifying with GADGETITEM_DEFAULT selects.
void AddGadgetItem(Gadget *g, const std::string &text, int flags = 0, int icon = -1,
                   const std::string &tip = "", std::optional<std::string> extra = {});
void InsertGadgetItem(Gadget *g, int index, const std::string &text, int flags = 0,
                      int icon = -1, const std::string &tip = "",
                      std::optional<std::string> extra = {});
void ModifyGadgetItem(Gadget *g, int index, const std::string &text, int flags = 0,
                      int icon = -1, const std::string &tip = "",
                      std::optional<std::string> extra = {});
// Appends many items in one pass (one redraw).
void AddGadgetItems(Gadget *g, std::vector<GadgetItem> items);
void RemoveGadgetItem(Gadget *g, int index);
void ClearGadgetItems(Gadget *g);
int CountGadgetItems(Gadget *g);
void SelectGadgetItem(Gadget *g, int index);
void DeselectGadgetItem(Gadget *g, int index);
int SelectedGadgetItem(Gadget *g); // -1 when none
std::string GadgetItemText(Gadget *g, int index);
std::string GadgetItemTooltip(Gadget *g, int index);
int GadgetItemIcon(Gadget *g, int index);
std::optional<std::string> GadgetItemExtra(Gadget *g, int index);
void SetGadgetIconStrip(Gadget *g, IconStripPtr strip);

// Tree views: the root node is a TreeNode gadget owned by the tree view.
Gadget *TreeViewRoot(Gadget *tree);
Gadget *AddTreeViewNode(const std::string &text, Gadget *parentNode, int icon = -1,
                        std::optional<std::string> extra = {});
int CountTreeViewNodes(Gadget *node); // direct children
Gadget *SelectedTreeViewNode(Gadget *tree); // nullptr when none
void SelectTreeViewNode(Gadget *node);
void ClearTreeView(Gadget *tree);

// Progress bar, 0.0 .. 1.0.
void UpdateProgBar(Gadget *g, double value);

// Scroll panels.
Gadget *ScrollPanelClient(Gadget *scroll);
void FitScrollPanelClient(Gadget *scroll); // client sized to enclose its children
void ScrollScrollPanel(Gadget *scroll, int x, int y); // clamped to the scrollable range
int ScrollPanelX(Gadget *scroll);
int ScrollPanelY(Gadget *scroll);

// Menus. A root menu has no parent; items with text "" are separators. The chosen item
// is reported after the popup closes as a MenuAction event (source: the item, data: its
// tag).
Gadget *CreateMenu(const std::string &text, int tag, Gadget *parent);
void SetMenuText(Gadget *menu, const std::string &text);
void CheckMenu(Gadget *menu);
void UncheckMenu(Gadget *menu);
bool MenuChecked(Gadget *menu);
void EnableMenu(Gadget *menu);
void DisableMenu(Gadget *menu);
bool MenuEnabled(Gadget *menu);
// Opens at the pointer, or over the window when its menu key asked for it (see above).
void PopupWindowMenu(Gadget *window, Gadget *menu);

// Requesters (modal). Confirm: the buttons "No" and "Yes", true for "Yes".
bool Confirm(const std::string &text, bool serious = false);
void Notify(const std::string &text, bool serious = false);
// filter e.g. "Images:png,jpg;All files:*"; "" when cancelled.
std::string RequestFile(const std::string &title, const std::string &filter, bool save,
                        const std::string &path = "");
// Colour requester preset to (r, g, b); false when cancelled.
bool RequestColor(int r, int g, int b, Rgb &picked);
// Tests answer requesters through this hook instead of the modal dialogs: it gets the
// requester kind ("confirm", "notify", "file", "color") and its text and returns the
// answer ("yes"/"no", a path, "r,g,b" or "" for cancel). Pass nullptr to remove it.
// While it is set, PopupWindowMenu asks it too (kind "menu", the menu's text) and
// reports the enabled item whose tag the answer names ("" for none).
using RequesterHook = std::function<std::string(const std::string &kind, const std::string &text)>;
void SetRequesterHook(RequesterHook hook);

// Desktop size: the smaller of the desktop's client size and its full size.
int DesktopWidth();
int DesktopHeight();
// Height of the X display's current video mode; without one the height of the tallest
// screen (monitor) the toolkit knows; 480 when neither is reported.
int VideoModeHeight();

} // namespace hvn
