// Operations shared by all gadget kinds: shape, layout, text, visibility, focus, looks.
#include "gui/gadget_view.h"
#include "gui/gui_internal.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Input_Choice.H>
#include <FL/Fl_Tooltip.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>
#include <FL/x.H>
#include <X11/Xft/Xft.h>

#include <cmath>

// The Xft font that fl_font() chose; the toolkit exports it but declares it for itself only.
extern FL_EXPORT void *fl_xftfont;

namespace hvn {

namespace {

Fl_Widget *WidgetOf(Gadget *g) {
    return g && g->view ? g->view->widget : nullptr;
}

bool DrawsShortcuts(Gadget *g) {
    return g->kind == GadgetKind::Button;
}

// Widgets without a box leave their background to the parent.
void DamageArea(Fl_Widget *w) {
    w->redraw();
    if (w->box() == FL_NO_BOX && w->window() && w != w->window())
        w->window()->damage(FL_DAMAGE_ALL, w->x(), w->y(), w->w(), w->h());
}

} // namespace

int ClientWidth(Gadget *g) {
    if (g && g->kind == GadgetKind::ScrollPanel)
        return ScrollViewWidth(g);
    return LayoutWidth(g);
}

int ClientHeight(Gadget *g) {
    if (g && g->kind == GadgetKind::ScrollPanel)
        return ScrollViewHeight(g);
    return LayoutHeight(g);
}

int GadgetX(Gadget *g) {
    return g ? g->x : 0;
}
int GadgetY(Gadget *g) {
    return g ? g->y : 0;
}
int GadgetWidth(Gadget *g) {
    return g ? g->w : 0;
}
int GadgetHeight(Gadget *g) {
    return g ? g->h : 0;
}

void SetGadgetShape(Gadget *g, int x, int y, int w, int h) {
    if (!WidgetOf(g))
        return;
    if (g->kind == GadgetKind::Window) {
        SetWindowShape(g, x, y, w, h);
        return;
    }
    g->x = x;
    g->y = y;
    g->w = w;
    g->h = h;
    // The parent's later resizes start from the shape given here.
    RememberLayout(g);
    Fl_Widget *widget = g->view->widget;
    if (widget->parent())
        DamageArea(widget->parent());
    PlaceWidget(g);
    DamageArea(widget);
}

void SetGadgetLayout(Gadget *g, int left, int right, int top, int bottom) {
    if (!g)
        return;
    g->lockLeft = left ? 1 : 0;
    g->lockRight = right ? 1 : 0;
    g->lockTop = top ? 1 : 0;
    g->lockBottom = bottom ? 1 : 0;
    RememberLayout(g);
}

void SetGadgetText(Gadget *g, const std::string &text) {
    if (!g)
        return;
    switch (g->kind) {
    case GadgetKind::Menu:
        SetMenuText(g, text);
        return;
    case GadgetKind::TreeNode:
        SetTreeNodeText(g, text);
        return;
    case GadgetKind::TextField:
        g->text = text;
        static_cast<Fl_Input *>(g->view->widget)->value(text.c_str());
        return;
    case GadgetKind::ComboBox:
        SetComboText(g, text);
        return;
    case GadgetKind::Window:
        g->text = text;
        g->view->widget->copy_label(text.c_str());
        return;
    case GadgetKind::Label:
    case GadgetKind::Button:
        g->text = text;
        g->view->widget->copy_label(EscapeLabel(text, DrawsShortcuts(g)).c_str());
        g->view->widget->redraw_label();
        return;
    default:
        g->text = text;
        return;
    }
}

std::string GadgetText(Gadget *g) {
    if (!g)
        return "";
    switch (g->kind) {
    case GadgetKind::TextField:
        return static_cast<Fl_Input *>(g->view->widget)->value();
    case GadgetKind::ComboBox:
        return ComboText(g);
    default:
        return g->text;
    }
}

void SetGadgetToolTip(Gadget *g, const std::string &tip) {
    if (!g)
        return;
    g->tip = tip;
    Fl_Widget *w = WidgetOf(g);
    if (!w)
        return;
    // A list box's item tips may show the old text, which is about to go.
    if (Fl_Tooltip::current() == w)
        Fl_Tooltip::current(nullptr);
    // Tips are drawn like labels: "@" would start a symbol.
    const std::string shown = EscapeLabel(tip, false);
    const char *text = tip.empty() ? nullptr : shown.c_str();
    w->copy_tooltip(text);
    if (g->style & COMBOBOX_EDITABLE && g->kind == GadgetKind::ComboBox) {
        auto *ic = static_cast<Fl_Input_Choice *>(w);
        ic->input()->copy_tooltip(text);
        ic->menubutton()->copy_tooltip(text);
    }
}

std::string GadgetTooltip(Gadget *g) {
    return g ? g->tip : "";
}

void ShowGadget(Gadget *g) {
    if (!g)
        return;
    if (g->kind == GadgetKind::Window) {
        ShowWindow(g);
        return;
    }
    g->hidden = false;
    if (Fl_Widget *w = WidgetOf(g))
        w->show();
}

void HideGadget(Gadget *g) {
    if (!g)
        return;
    if (g->kind == GadgetKind::Window) {
        HideWindow(g);
        return;
    }
    g->hidden = true;
    if (Fl_Widget *w = WidgetOf(g))
        w->hide();
}

bool GadgetVisible(Gadget *g) {
    for (; g; g = g->parent)
        if (g->hidden)
            return false;
    return true;
}

void EnableGadget(Gadget *g) {
    if (!g)
        return;
    if (g->kind == GadgetKind::Menu) {
        EnableMenu(g);
        return;
    }
    g->enabled = true;
    if (Fl_Widget *w = WidgetOf(g))
        w->activate();
}

void DisableGadget(Gadget *g) {
    if (!g)
        return;
    if (g->kind == GadgetKind::Menu) {
        DisableMenu(g);
        return;
    }
    g->enabled = false;
    if (Fl_Widget *w = WidgetOf(g))
        w->deactivate();
}

void ActivateGadget(Gadget *g) {
    Fl_Widget *w = WidgetOf(g);
    if (!w)
        return;
    if (g->kind == GadgetKind::ComboBox && (g->style & COMBOBOX_EDITABLE))
        w = static_cast<Fl_Input_Choice *>(w)->input();
    // FLTK maps and raises a window that gets the focus (or asks the window manager to
    // activate it): a minimised window takes the focus when it is restored.
    Gadget *top = g;
    while (top->parent)
        top = top->parent;
    if (top != g && top->kind == GadgetKind::Window && top->view->minimized) {
        top->view->pendingFocus = g;
        return;
    }
    // Fl::focus also gives the focus to panels, which do not take it by themselves.
    Fl::focus(w);
}

Gadget *FocusedGadget() {
    return GadgetOfWidget(Fl::focus());
}

void RedrawGadget(Gadget *g) {
    if (!g)
        return;
    ++g->redraws;
    if (Fl_Widget *w = WidgetOf(g))
        DamageArea(w);
}

void SetGadgetColor(Gadget *g, int r, int gr, int b) {
    Fl_Widget *w = WidgetOf(g);
    if (!w)
        return;
    g->background = Rgb{r, gr, b};
    // A panel or label without a box would not paint its colour.
    if (w->box() == FL_NO_BOX && g->kind != GadgetKind::Window)
        w->box(FL_FLAT_BOX);
    ApplyColors(g);
}

void SetGadgetTextColor(Gadget *g, int r, int gr, int b) {
    if (!WidgetOf(g))
        return;
    g->textColor = Rgb{r, gr, b};
    ApplyColors(g);
}

void SetGadgetFont(Gadget *g, const GuiFont &font) {
    if (!g)
        return;
    g->font = font;
    ApplyFont(g);
    if (g->kind == GadgetKind::ComboBox)
        RebuildCombo(g); // the items carry their own font
    if (Fl_Widget *w = WidgetOf(g))
        w->redraw();
}

void SetGadgetSensitivity(Gadget *g, int flags) {
    if (g)
        g->sensitivity = flags;
}

void SetGadgetPixmap(Gadget *g, PixmapPtr pixmap, int flags) {
    if (!g)
        return;
    g->pixmap = std::move(pixmap);
    g->pixmapFlags = flags;
    if (Fl_Widget *w = WidgetOf(g))
        DamageArea(w);
}

std::string DrawableText(Gadget *g, std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const char *p = utf8.data(), *end = p + utf8.size();
    while (p < end) {
        int len = 1;
        const unsigned code = fl_utf8decode(p, end, &len);
        if (len == 4 && code > 0xFFFF) {
            // The toolkit draws through Xft with the one font, without any fallback.
            XftFont *font = nullptr;
            if (fl_display) {
                fl_font(ToFlFont(g->font), static_cast<Fl_Fontsize>(std::lround(g->font.size)));
                font = static_cast<XftFont *>(fl_xftfont);
            }
            if (!font || !XftCharExists(fl_display, font, code)) {
                p += len;
                continue;
            }
        }
        len = std::max(len, 1);
        out.append(p, static_cast<size_t>(len));
        p += len;
    }
    return out;
}

} // namespace hvn
