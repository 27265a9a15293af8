// Windows: creation, size limits, minimising, closing, resizing and file drops.
#include "gui/gadget_view.h"
#include "gui/gui_internal.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace hvn {

namespace {

// The keyboard's Menu key or Shift+F10, which ask for a context menu.
bool ContextMenuKey() {
    const int key = Fl::event_key();
    const int mods = Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META);
    return (key == FL_Menu && mods == 0) || (key == FL_F + 10 && mods == FL_SHIFT);
}

// Where the menu asked for by the last menu key opens, in the window's client
// coordinates; forgotten at the next press of a mouse button.
struct KeyboardMenuPlace {
    Gadget *window = nullptr;
    int x = 0, y = 0;
} g_keyboardMenu;

// At the focused gadget's top-left corner, else at the window's; inside the window
// either way.
void RememberKeyboardMenuPlace(Gadget *g, Fl_Window *win) {
    int x = 0, y = 0;
    Fl_Widget *focus = Fl::focus();
    if (focus && focus != win && win->contains(focus) && focus->visible_r()) {
        x = focus->x();
        y = focus->y();
        for (Fl_Window *w = focus->window(); w && w != win; w = w->window()) {
            x += w->x();
            y += w->y();
        }
    }
    g_keyboardMenu.window = g;
    g_keyboardMenu.x = std::clamp(x, 0, std::max(win->w() - 1, 0));
    g_keyboardMenu.y = std::clamp(y, 0, std::max(win->h() - 1, 0));
}

// The focus asked for while the window was minimised is given now.
void Restored(Gadget *window) {
    window->view->minimized = false;
    window->view->seenUnmapped = false;
    if (Gadget *focus = std::exchange(window->view->pendingFocus, nullptr))
        ActivateGadget(focus);
}

class WindowWidget : public Fl_Double_Window {
public:
    WindowWidget(Gadget *g, int x, int y, int w, int h)
        : Fl_Double_Window(x, y, w, h), gadget_(g) {}

    void resize(int X, int Y, int W, int H) override {
        const bool sized = W != w() || H != h();
        Fl_Double_Window::resize(X, Y, W, H);
        gadget_->x = X;
        gadget_->y = Y;
        gadget_->w = W;
        gadget_->h = H;
        if (!sized)
            return;
        LayoutChildren(gadget_);
        if (!gadget_->view->settingShape)
            Emit(gadget_, WindowSize, 0, 0, 0);
    }

    int handle(int event) override {
        if (gadget_->style & WINDOW_ACCEPTFILES) {
            switch (event) {
            case FL_DND_ENTER:
            case FL_DND_DRAG:
                // FLTK asks for the dropped data only on behalf of the widget below
                // the mouse, so the window takes that place from its children.
                Fl::belowmouse(this);
                return 1;
            case FL_DND_LEAVE:
            case FL_DND_RELEASE:
                return 1;
            case FL_PASTE:
                for (const std::string &path :
                     DroppedPaths(std::string(Fl::event_text(), Fl::event_length())))
                    Emit(gadget_, WindowAccept, 0, 0, 0, path);
                return 1;
            default:
                break;
            }
        }
        if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && ContextMenuKey()) {
            RememberKeyboardMenuPlace(gadget_, this);
            Emit(gadget_, GadgetMenu, 0, g_keyboardMenu.x, g_keyboardMenu.y);
            return 1;
        }
        // A press that no child takes lands on the window's free area.
        if (event == FL_PUSH) {
            if (Fl_Double_Window::handle(event))
                return 1;
            return HandleMouse(gadget_, event);
        }
        // The X server unmaps a shown window when it is iconified and maps it again
        // when it is restored, also when the window manager does it.
        if (event == FL_HIDE && shown()) {
            gadget_->view->minimized = true;
            gadget_->view->seenUnmapped = true;
        }
        else if (event == FL_SHOW)
            Restored(gadget_);
        return Fl_Double_Window::handle(event);
    }

private:
    Gadget *gadget_;
};

void OnWindowClose(Fl_Widget *, void *data) {
    // FLTK also calls this for Escape; only the window manager's close closes.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
        return;
    Emit(static_cast<Gadget *>(data), WindowClose);
}

// FLTK drops a close request while a popup menu holds the grab or another window is
// modal. The close handler only queues WindowClose, so it runs anyway, and an open popup
// menu or dialog is ended so that the program gets to the close at once.
int DispatchToolkitEvent(int event, Fl_Window *window) {
    if (event == FL_PUSH)
        g_keyboardMenu.window = nullptr; // a menu from this press opens at the pointer
    if (event == FL_CLOSE && window && window->callback() == OnWindowClose &&
        (Fl::grab() || (Fl::modal() && Fl::modal() != window))) {
        window->do_callback();
        EndModalLoops();
        return 1;
    }
    return Fl::handle_(event, window);
}

bool HasWindowProperty(Window window, const char *name) {
    const Atom atom = XInternAtom(fl_display, name, True);
    if (atom == None)
        return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    XGetWindowProperty(fl_display, window, atom, 0, 1, False, AnyPropertyType, &type, &format,
                       &count, &after, &data);
    if (data)
        XFree(data);
    return type != None;
}

// A window manager owns the WM_Sn selection or announces itself on the root window;
// older ones are seen by the frame they put between the window and the root.
bool WindowManagerRunning(Window xid) {
    char selection[32];
    std::snprintf(selection, sizeof selection, "WM_S%d", fl_screen);
    if (XGetSelectionOwner(fl_display, XInternAtom(fl_display, selection, False)) != None)
        return true;
    Window root = RootWindow(fl_display, fl_screen);
    if (HasWindowProperty(root, "_NET_SUPPORTING_WM_CHECK"))
        return true;
    Window parent = None;
    Window *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(fl_display, xid, &root, &parent, &children, &count))
        return false;
    if (children)
        XFree(children);
    return parent != root;
}

// Asks for the iconic state also when the window manager first takes the window, in case
// it has not taken it yet and would ignore the request to iconify.
void SetInitialIconic(Window xid) {
    XWMHints *hints = XGetWMHints(fl_display, xid);
    if (!hints)
        hints = XAllocWMHints();
    if (!hints)
        return;
    hints->flags |= StateHint;
    hints->initial_state = IconicState;
    XSetWMHints(fl_display, xid, hints);
    XFree(hints);
}

void ApplySizeRange(Gadget *g) {
    Fl_Window *win = WindowOf(g);
    const GadgetView &v = *g->view;
    if (!(g->style & WINDOW_RESIZABLE))
        win->size_range(g->w, g->h, g->w, g->h);
    else
        win->size_range(std::max(1, v.minW), std::max(1, v.minH), v.maxW, v.maxH);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(c | 0x20);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string PercentDecode(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        int hi, lo;
        if (s[i] == '%' && i + 2 < s.size() && (hi = HexValue(s[i + 1])) >= 0 &&
            (lo = HexValue(s[i + 2])) >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

Fl_Window *WindowOf(Gadget *g) {
    if (!g || g->kind != GadgetKind::Window)
        return nullptr;
    return static_cast<Fl_Window *>(g->view->widget);
}

std::vector<std::string> DroppedPaths(const std::string &text) {
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == '\0'))
            line.pop_back();
        if (line.empty())
            continue;
        if (line.rfind("file://", 0) == 0) {
            // file://host/path: the path starts at the first slash after the host.
            size_t slash = line.find('/', 7);
            if (slash == std::string::npos)
                continue;
            line = PercentDecode(line.substr(slash));
        }
        paths.push_back(line);
    }
    return paths;
}

Gadget *CreateWindow(const std::string &title, int x, int y, int w, int h, Gadget *parent,
                     int style) {
    if (style & WINDOW_CENTER) {
        x = (DesktopWidth() - w) / 2;
        y = (DesktopHeight() - h) / 2;
    }
    Gadget *g = NewGadget(GadgetKind::Window, parent, style, x, y, w, h);
    Fl_Group::current(nullptr);
    auto *win = new WindowWidget(g, x, y, w, h);
    win->end();
    AttachWidget(g, win, win);
    g->text = title;
    win->copy_label(title.c_str());
    win->callback(OnWindowClose, g);
    if (!(style & WINDOW_TITLEBAR))
        win->border(0);
    ApplySizeRange(g);
    g->hidden = (style & WINDOW_HIDDEN) != 0;
    if (!g->hidden)
        win->show();
    return g;
}

void SetMinWindowSize(Gadget *window, int w, int h) {
    if (!WindowOf(window))
        return;
    window->view->minW = w;
    window->view->minH = h;
    ApplySizeRange(window);
}

void SetMaxWindowSize(Gadget *window, int w, int h) {
    if (!WindowOf(window))
        return;
    window->view->maxW = w;
    window->view->maxH = h;
    ApplySizeRange(window);
}

void RestoreWindow(Gadget *window) {
    Fl_Window *win = WindowOf(window);
    if (!win || !window->view->minimized)
        return;
    Restored(window);
    win->show(); // de-iconifies a shown window
}

void MinimizeWindow(Gadget *window) {
    Fl_Window *win = WindowOf(window);
    if (!win)
        return;
    window->view->minimized = true;
    window->view->seenUnmapped = false;
    if (!win->shown())
        return;
    const Window xid = fl_xid(win);
    if (WindowManagerRunning(xid)) {
        SetInitialIconic(xid);
        win->iconize();
    } else {
        // Nothing can iconify it: it is withdrawn instead, and whoever maps it again
        // restores it.
        XUnmapWindow(fl_display, xid);
    }
    XFlush(fl_display);
}

bool WindowMinimized(Gadget *window) {
    Fl_Window *win = WindowOf(window);
    if (!win || !window->view->minimized)
        return false;
    if (!win->shown())
        return true;
    // The map events alone can miss a restore: a window that was iconic from the start was
    // never mapped, so FLTK sees no change when it is mapped at last. The X server knows;
    // a window is restored once it is viewable again after it was seen unmapped.
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(fl_display, fl_xid(win), &attributes))
        return true;
    if (attributes.map_state != IsViewable) {
        window->view->seenUnmapped = true;
        return true;
    }
    if (!window->view->seenUnmapped)
        return true;
    Restored(window);
    return false;
}

void EndModalLoops() {
    DismissPopupMenu();
    if (Fl_Window *dialog = Fl::modal())
        dialog->do_callback(); // as the dialog's own close: cancelled
}

bool TakeKeyboardMenuPlace(Gadget *window, int &x, int &y) {
    if (!window || g_keyboardMenu.window != window)
        return false;
    g_keyboardMenu.window = nullptr;
    Fl_Window *win = WindowOf(window);
    if (!win || !win->shown())
        return false;
    int rootX = 0, rootY = 0;
    Window child = None;
    if (!XTranslateCoordinates(fl_display, fl_xid(win), RootWindow(fl_display, fl_screen), 0, 0,
                               &rootX, &rootY, &child))
        return false;
    // A popup is placed relative to the window of the last event.
    x = rootX + g_keyboardMenu.x - (Fl::event_x_root() - Fl::event_x());
    y = rootY + g_keyboardMenu.y - (Fl::event_y_root() - Fl::event_y());
    return true;
}

void InstallWindowEventDispatch() {
    Fl::event_dispatch(DispatchToolkitEvent);
}

void ShowWindow(Gadget *window) {
    Fl_Window *win = WindowOf(window);
    window->hidden = false;
    Restored(window);
    win->show();
}

void HideWindow(Gadget *window) {
    window->hidden = true;
    WindowOf(window)->hide();
    window->view->minimized = false;
}

void SetWindowShape(Gadget *window, int x, int y, int w, int h) {
    const GadgetView &v = *window->view;
    // The size limits bind the program's own resizes too.
    w = std::max(w, v.minW);
    h = std::max(h, v.minH);
    if (v.maxW > 0)
        w = std::min(w, v.maxW);
    if (v.maxH > 0)
        h = std::min(h, v.maxH);
    window->view->settingShape = true;
    WindowOf(window)->resize(x, y, w, h);
    window->view->settingShape = false;
    // FLTK pins the size range to the new size after a resize the program makes.
    ApplySizeRange(window);
}

} // namespace hvn
