// Panels (with their images), labels, progress bars and scroll panels.
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace hvn {

namespace {

void DrawPixmap(Gadget *g, Fl_Widget *w) {
    if (!g->pixmap)
        return;
    const bool fit = (g->pixmapFlags & PIXMAP_FIT) != 0;
    Fl_RGB_Image *img =
        fit ? g->view->image.Get(g->pixmap, w->w(), w->h()) : g->view->image.Get(g->pixmap, 0, 0);
    if (!img)
        return;
    if (fit) {
        img->draw(w->x(), w->y());
        return;
    }
    img->draw(w->x() + (w->w() - img->w()) / 2, w->y() + (w->h() - img->h()) / 2);
}

class PanelWidget : public Fl_Group {
public:
    PanelWidget(Gadget *g, int x, int y, int w, int h) : Fl_Group(x, y, w, h), gadget_(g) {}

    void resize(int X, int Y, int W, int H) override {
        Fl_Widget::resize(X, Y, W, H);
        LayoutChildren(gadget_);
    }

    void draw() override {
        if (damage() & ~FL_DAMAGE_CHILD) {
            fl_push_clip(x(), y(), w(), h());
            draw_box();
            DrawPixmap(gadget_, this);
            fl_pop_clip();
        }
        draw_children();
    }

    int handle(int event) override {
        switch (event) {
        case FL_PUSH:
        case FL_MOUSEWHEEL:
            if (Fl_Group::handle(event))
                return 1;
            return HandleMouse(gadget_, event);
        case FL_ENTER:
        case FL_MOVE: {
            // The group takes these itself when no child under the pointer does; a
            // child that takes them reports for itself.
            const int r = Fl_Group::handle(event);
            if (Fl::belowmouse() == this && HandleMouse(gadget_, event))
                return 1;
            return r;
        }
        case FL_RELEASE:
        case FL_DRAG:
        case FL_LEAVE:
            return HandleMouse(gadget_, event) | Fl_Group::handle(event);
        default:
            return Fl_Group::handle(event);
        }
    }

private:
    Gadget *gadget_;
};

class LabelWidget : public Fl_Box {
public:
    LabelWidget(Gadget *g, int x, int y, int w, int h) : Fl_Box(x, y, w, h), gadget_(g) {}

    int handle(int event) override {
        if (HandleMouse(gadget_, event))
            return 1;
        return Fl_Box::handle(event);
    }

    void draw() override {
        Fl_Box::draw();
        DrawPixmap(gadget_, this);
    }

private:
    Gadget *gadget_;
};

class ScrollWidget : public Fl_Scroll {
public:
    ScrollWidget(Gadget *g, int x, int y, int w, int h) : Fl_Scroll(x, y, w, h), gadget_(g) {}

    // Only the viewport follows the window: the client keeps the size it was fitted to,
    // so its children keep theirs (Fl_Scroll::resize merely moves it along).
    void resize(int X, int Y, int W, int H) override {
        Fl_Scroll::resize(X, Y, W, H);
        ScrollScrollPanel(gadget_, gadget_->scrollX, gadget_->scrollY);
    }

    void draw() override {
        // Fl_Scroll paints the uncovered area in its own colour: without one set, that
        // of the window, as boxless panels show it.
        if (!gadget_->background && window())
            color(window()->color());
        Fl_Scroll::draw();
    }

    int handle(int event) override {
        switch (event) {
        case FL_MOUSEWHEEL:
            // The program scrolls on the reported wheel itself; scrolling here as well
            // would move the panel twice.
            if (MouseReporting(gadget_))
                return HandleMouse(gadget_, event);
            break;
        case FL_ENTER:
        case FL_LEAVE:
            HandleMouse(gadget_, event);
            Fl_Scroll::handle(event);
            return MouseReporting(gadget_) ? 1 : 0;
        default:
            break;
        }
        const int r = Fl_Scroll::handle(event);
        SyncPosition();
        return r;
    }

    // The scroll bars move the client on their own; the state follows them.
    void SyncPosition() {
        gadget_->scrollX = xposition();
        gadget_->scrollY = yposition();
        if (Gadget *c = gadget_->client) {
            c->x = c->view->widget->x() - x() - Fl::box_dx(box()) + xposition();
            c->y = c->view->widget->y() - y() - Fl::box_dy(box()) + yposition();
        }
    }

private:
    Gadget *gadget_;
};

Gadget *MakePanel(int x, int y, int w, int h, Gadget *parent, int style, const std::string &title) {
    Gadget *g = NewGadget(GadgetKind::Panel, parent, style, x, y, w, h);
    g->text = title;
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    auto *panel = new PanelWidget(g, ox + x, oy + y, w, h);
    panel->end();
    panel->box((style & PANEL_SUNKEN) ? FL_THIN_DOWN_BOX : FL_NO_BOX);
    panel->clip_children(1);
    EndChildren(outer);
    AttachWidget(g, panel, panel);
    return g;
}

// The visible part of a scroll panel and the client's scroll range.
struct ScrollView {
    int w = 0, h = 0, maxX = 0, maxY = 0;
};

ScrollView ViewOf(Gadget *scroll) {
    auto *s = static_cast<Fl_Scroll *>(scroll->view->widget);
    ScrollView v;
    const int innerW = s->w() - Fl::box_dw(s->box());
    const int innerH = s->h() - Fl::box_dh(s->box());
    const int bar = s->scrollbar_size() ? s->scrollbar_size() : Fl::scrollbar_size();
    const bool canH = (s->type() & Fl_Scroll::HORIZONTAL) != 0;
    const bool canV = (s->type() & Fl_Scroll::VERTICAL) != 0;
    int cw = 0, ch = 0;
    if (Gadget *c = scroll->client) {
        cw = c->x + c->w;
        ch = c->y + c->h;
    }
    bool needH = false, needV = false;
    for (int pass = 0; pass < 2; ++pass) { // each bar can make the other one needed
        needV = canV && ch > innerH - (needH ? bar : 0);
        needH = canH && cw > innerW - (needV ? bar : 0);
    }
    v.w = innerW - (needV ? bar : 0);
    v.h = innerH - (needH ? bar : 0);
    v.maxX = canH ? std::max(0, cw - v.w) : 0;
    v.maxY = canV ? std::max(0, ch - v.h) : 0;
    return v;
}

} // namespace

Gadget *CreatePanel(int x, int y, int w, int h, Gadget *parent, int style,
                    const std::string &title) {
    return MakePanel(x, y, w, h, ContainerOf(parent), style, title);
}

Gadget *CreateLabel(const std::string &text, int x, int y, int w, int h, Gadget *parent,
                    int style) {
    parent = ContainerOf(parent);
    Gadget *g = NewGadget(GadgetKind::Label, parent, style, x, y, w, h);
    g->text = text;
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    auto *label = new LabelWidget(g, ox + x, oy + y, w, h);
    EndChildren(outer);
    label->box(FL_NO_BOX);
    Fl_Align align = FL_ALIGN_LEFT;
    if (style & LABEL_CENTER)
        align = FL_ALIGN_CENTER;
    else if (style & LABEL_RIGHT)
        align = FL_ALIGN_RIGHT;
    label->align(align | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
    label->copy_label(EscapeLabel(text, false).c_str());
    AttachWidget(g, label);
    return g;
}

Gadget *CreateProgBar(int x, int y, int w, int h, Gadget *parent, int style) {
    parent = ContainerOf(parent);
    Gadget *g = NewGadget(GadgetKind::ProgressBar, parent, style, x, y, w, h);
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    auto *bar = new Fl_Progress(ox + x, oy + y, w, h);
    EndChildren(outer);
    bar->minimum(0.0f);
    bar->maximum(1.0f);
    bar->value(0.0f);
    bar->selection_color(FL_SELECTION_COLOR);
    AttachWidget(g, bar);
    return g;
}

void UpdateProgBar(Gadget *g, double value) {
    if (!g || g->kind != GadgetKind::ProgressBar)
        return;
    g->progress = std::clamp(value, 0.0, 1.0);
    static_cast<Fl_Progress *>(g->view->widget)->value(static_cast<float>(g->progress));
}

Gadget *CreateScrollPanel(int x, int y, int w, int h, Gadget *parent, int style) {
    parent = ContainerOf(parent);
    Gadget *g = NewGadget(GadgetKind::ScrollPanel, parent, style, x, y, w, h);
    int ox, oy;
    ClientOrigin(parent, ox, oy);
    Fl_Group *outer = BeginChildren(parent);
    auto *scroll = new ScrollWidget(g, ox + x, oy + y, w, h);
    scroll->end();
    scroll->box(FL_NO_BOX);
    scroll->type((style & SCROLLPANEL_HNEVER) ? Fl_Scroll::VERTICAL : Fl_Scroll::BOTH);
    EndChildren(outer);
    AttachWidget(g, scroll, scroll);
    g->client = MakePanel(0, 0, w, h, g, 0, "");
    return g;
}

Gadget *ScrollPanelClient(Gadget *scroll) {
    return scroll && scroll->kind == GadgetKind::ScrollPanel ? scroll->client : nullptr;
}

void FitScrollPanelClient(Gadget *scroll) {
    Gadget *client = ScrollPanelClient(scroll);
    if (!client)
        return;
    int w = 0, h = 0;
    for (Gadget *c : client->children) {
        if (c->hidden || c->kind == GadgetKind::Menu)
            continue;
        w = std::max(w, c->x + c->w);
        h = std::max(h, c->y + c->h);
    }
    client->w = w;
    client->h = h;
    // Resize the widget alone: its children already fit and keep their places.
    Fl_Widget *cw = client->view->widget;
    int ox, oy;
    ClientOrigin(scroll, ox, oy);
    cw->Fl_Widget::resize(ox + client->x, oy + client->y, w, h);
    RememberLayout(client);
    for (Gadget *c : client->children)
        RememberLayout(c);
    ScrollScrollPanel(scroll, scroll->scrollX, scroll->scrollY);
    scroll->view->widget->redraw();
}

void ScrollScrollPanel(Gadget *scroll, int x, int y) {
    if (!ScrollPanelClient(scroll))
        return;
    const ScrollView v = ViewOf(scroll);
    x = std::clamp(x, 0, v.maxX);
    y = std::clamp(y, 0, v.maxY);
    auto *s = static_cast<ScrollWidget *>(scroll->view->widget);
    if (s->xposition() != x || s->yposition() != y)
        s->scroll_to(x, y);
    s->SyncPosition();
    s->redraw();
}

int ScrollPanelX(Gadget *scroll) {
    return scroll ? scroll->scrollX : 0;
}
int ScrollPanelY(Gadget *scroll) {
    return scroll ? scroll->scrollY : 0;
}

int ScrollViewWidth(Gadget *scroll) {
    return ViewOf(scroll).w;
}
int ScrollViewHeight(Gadget *scroll) {
    return ViewOf(scroll).h;
}

} // namespace hvn
