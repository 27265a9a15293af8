#include "gui/gadget_view.h"

#include "events/queue.h"

#include <FL/Fl.H>
#include <FL/Fl_Browser_.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Input_.H>
#include <FL/Fl_Input_Choice.H>
#include <FL/Fl_Menu_.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Multi_Label.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Tree.H>
#include <FL/Fl_Tree_Item.H>
#include <FL/Fl_Window.H>

#include <cmath>
#include <unordered_map>

namespace hvn {

namespace {

// Gadgets and their toolkit widgets live as long as the program: the registry is never
// destroyed, so no widget outlives the view that holds it while the program exits.
std::vector<std::unique_ptr<Gadget>> &Gadgets() {
    static auto *gadgets = new std::vector<std::unique_ptr<Gadget>>;
    return *gadgets;
}

std::vector<std::unique_ptr<GadgetView>> &Views() {
    static auto *views = new std::vector<std::unique_ptr<GadgetView>>;
    return *views;
}

std::unordered_map<const Fl_Widget *, Gadget *> &WidgetMap() {
    static auto *map = new std::unordered_map<const Fl_Widget *, Gadget *>;
    return *map;
}

// One axis of the layout rule.
void LayoutAxis(bool lockLow, bool lockHigh, int pos, int size, int oldParent, int newParent,
                int &newPos, int &newSize) {
    int grow = newParent - oldParent;
    newSize = size;
    newPos = pos;
    if (lockLow && lockHigh) {
        newSize = std::max(0, size + grow);
    } else if (lockHigh) {
        newPos = pos + grow;
    } else if (!lockLow && oldParent > 0) {
        double centre = (pos + size / 2.0) * newParent / oldParent;
        newPos = static_cast<int>(std::lround(centre - size / 2.0));
    }
}

} // namespace

ImageCache::ImageCache() = default;
ImageCache::~ImageCache() = default;

Fl_RGB_Image *ImageCache::Get(const PixmapPtr &pixmap, int w, int h) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) {
        image_.reset();
        source_.reset();
        return nullptr;
    }
    if (w <= 0 || h <= 0) {
        w = pixmap->width;
        h = pixmap->height;
    }
    if (image_ && source_.lock() == pixmap && generation_ == pixmap->generation && w_ == w &&
        h_ == h)
        return image_.get();
    const int pw = pixmap->width, ph = pixmap->height;
    bytes_.resize(static_cast<size_t>(w) * h * 4);
    // Nearest-neighbour scaling straight from the RGBA words.
    for (int y = 0; y < h; ++y) {
        int sy = static_cast<int>(static_cast<long long>(y) * ph / h);
        for (int x = 0; x < w; ++x) {
            int sx = static_cast<int>(static_cast<long long>(x) * pw / w);
            uint32_t p = pixmap->pixels[static_cast<size_t>(sy) * pw + sx];
            unsigned char *d = &bytes_[(static_cast<size_t>(y) * w + x) * 4];
            d[0] = p & 0xff;
            d[1] = (p >> 8) & 0xff;
            d[2] = (p >> 16) & 0xff;
            d[3] = (p >> 24) & 0xff;
        }
    }
    image_ = std::make_unique<Fl_RGB_Image>(bytes_.data(), w, h, 4);
    source_ = pixmap;
    generation_ = pixmap->generation;
    w_ = w;
    h_ = h;
    return image_.get();
}

GadgetView::GadgetView() = default;
GadgetView::~GadgetView() = default;

Gadget *NewGadget(GadgetKind kind, Gadget *parent, int style, int x, int y, int w, int h) {
    auto g = std::make_unique<Gadget>();
    auto view = std::make_unique<GadgetView>();
    g->kind = kind;
    g->style = style;
    g->parent = parent;
    g->x = x;
    g->y = y;
    g->w = w;
    g->h = h;
    g->font = DefaultGadgetFont();
    g->view = view.get();
    if (parent)
        parent->children.push_back(g.get());
    RememberLayout(g.get());
    Gadget *raw = g.get();
    Gadgets().push_back(std::move(g));
    Views().push_back(std::move(view));
    return raw;
}

void AttachWidget(Gadget *g, Fl_Widget *widget, Fl_Group *group) {
    g->view->widget = widget;
    g->view->group = group;
    WidgetMap()[widget] = g;
    if (group)
        group->resizable(nullptr); // children are placed by LayoutChildren
    ApplyFont(g);
}

Gadget *GadgetOfWidget(Fl_Widget *widget) {
    for (; widget; widget = widget->parent()) {
        auto it = WidgetMap().find(widget);
        if (it != WidgetMap().end())
            return it->second;
    }
    return nullptr;
}

Gadget *ContainerOf(Gadget *parent) {
    if (parent && parent->kind == GadgetKind::ScrollPanel && parent->client)
        return parent->client;
    return parent;
}

Fl_Group *BeginChildren(Gadget *parent) {
    Fl_Group *group = parent && parent->view ? parent->view->group : nullptr;
    if (group)
        group->begin();
    else
        Fl_Group::current(nullptr);
    return group;
}

void EndChildren(Fl_Group *group) {
    if (group)
        group->end();
    Fl_Group::current(nullptr);
}

void ClientOrigin(Gadget *g, int &ox, int &oy) {
    ox = oy = 0;
    if (!g || !g->view->widget || g->kind == GadgetKind::Window)
        return;
    Fl_Widget *w = g->view->widget;
    ox = w->x() + Fl::box_dx(w->box());
    oy = w->y() + Fl::box_dy(w->box());
    if (g->kind == GadgetKind::ScrollPanel) {
        auto *s = static_cast<Fl_Scroll *>(w);
        ox -= s->xposition();
        oy -= s->yposition();
    }
}

int LayoutWidth(Gadget *g) {
    if (!g)
        return 0;
    if (g->kind == GadgetKind::Window || g->kind == GadgetKind::ScrollPanel || !g->view->widget)
        return g->w;
    return g->w - Fl::box_dw(g->view->widget->box());
}

int LayoutHeight(Gadget *g) {
    if (!g)
        return 0;
    if (g->kind == GadgetKind::Window || g->kind == GadgetKind::ScrollPanel || !g->view->widget)
        return g->h;
    return g->h - Fl::box_dh(g->view->widget->box());
}

void RememberLayout(Gadget *g) {
    LayoutRef &r = g->view->ref;
    r.x = g->x;
    r.y = g->y;
    r.w = g->w;
    r.h = g->h;
    r.parentW = LayoutWidth(g->parent);
    r.parentH = LayoutHeight(g->parent);
}

void PlaceWidget(Gadget *g) {
    Fl_Widget *w = g->view->widget;
    if (!w || g->kind == GadgetKind::Window)
        return;
    int ox, oy;
    ClientOrigin(g->parent, ox, oy);
    w->resize(ox + g->x, oy + g->y, g->w, g->h);
}

void LayoutChildren(Gadget *parent) {
    const int pw = LayoutWidth(parent), ph = LayoutHeight(parent);
    for (Gadget *c : parent->children) {
        if (c->kind == GadgetKind::Menu || c->kind == GadgetKind::TreeNode ||
            c->kind == GadgetKind::Window)
            continue;
        const LayoutRef &r = c->view->ref;
        LayoutAxis(c->lockLeft, c->lockRight, r.x, r.w, r.parentW, pw, c->x, c->w);
        LayoutAxis(c->lockTop, c->lockBottom, r.y, r.h, r.parentH, ph, c->y, c->h);
        PlaceWidget(c);
    }
}

void Emit(Gadget *source, int id, int data, int x, int y, std::optional<std::string> extra) {
    Event e;
    e.id = id;
    e.source = source;
    e.data = data;
    e.x = x;
    e.y = y;
    e.mods = Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META);
    e.extra = std::move(extra);
    EmitEvent(std::move(e));
}

int EventButton() {
    switch (Fl::event_button()) {
    case FL_RIGHT_MOUSE:
        return 2;
    case FL_MIDDLE_MOUSE:
        return 3;
    default:
        return 1;
    }
}

bool MouseReporting(Gadget *g) {
    if (g->sensitivity & SENSITIZE_MOUSE)
        return true;
    return g->kind == GadgetKind::Panel && (g->style & PANEL_ACTIVE);
}

int HandleMouse(Gadget *g, int flEvent) {
    if (!MouseReporting(g))
        return 0;
    Fl_Widget *w = g->view->widget;
    int ox = 0, oy = 0;
    if (g->kind != GadgetKind::Window) {
        ox = w->x();
        oy = w->y();
    }
    return EmitMouse(g, flEvent, Fl::event_x() - ox, Fl::event_y() - oy);
}

int EmitMouse(Gadget *g, int flEvent, int x, int y) {
    switch (flEvent) {
    case FL_PUSH:
        Emit(g, MouseDown, EventButton(), x, y);
        return 1;
    case FL_RELEASE:
        Emit(g, MouseUp, EventButton(), x, y);
        return 1;
    case FL_MOVE:
    case FL_DRAG:
        Emit(g, MouseMove, 0, x, y);
        return 1;
    case FL_MOUSEWHEEL:
        // A sideways wheel has no vertical steps and would read as "up".
        if (Fl::event_dy() == 0)
            return 0;
        Emit(g, MouseWheel, -Fl::event_dy(), x, y);
        return 1;
    case FL_ENTER:
        Emit(g, MouseEnter, 0, x, y);
        return 1;
    case FL_LEAVE:
        Emit(g, MouseLeave, 0, x, y);
        return 1;
    default:
        return 0;
    }
}

std::string EscapeLabel(const std::string &text, bool shortcuts) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '@' || (shortcuts && c == '&'))
            out += c;
        out += c;
    }
    return out;
}

// "clean" is the narrow X face the pages were laid out for (about 6 pixels a character
// at size 12). The toolkit's sans is wider and clips captions, so a condensed sans stands
// in for it; fontconfig falls back to the nearest sans when it is not installed.
Fl_Font ToFlFont(const GuiFont &font) {
    if (font.name == "fixed")
        return font.bold ? FL_COURIER_BOLD : FL_COURIER;
    constexpr Fl_Font kClean = FL_FREE_FONT + 8, kCleanBold = kClean + 1;
    static const bool registered = [] {
        Fl::set_font(kClean, " DejaVu Sans Condensed");
        Fl::set_font(kCleanBold, "BDejaVu Sans Condensed");
        return true;
    }();
    (void)registered;
    return font.bold ? kCleanBold : kClean;
}

Fl_Color ToFlColor(const Rgb &c) {
    auto clamp = [](int v) { return static_cast<uchar>(std::clamp(v, 0, 255)); };
    return fl_rgb_color(clamp(c.r), clamp(c.g), clamp(c.b));
}

namespace {

bool HasTextArea(Gadget *g) {
    switch (g->kind) {
    case GadgetKind::ComboBox:
    case GadgetKind::ListBox:
    case GadgetKind::TextField:
    case GadgetKind::TreeView:
        return true;
    default:
        return false;
    }
}

} // namespace

void ApplyFont(Gadget *g) {
    Fl_Widget *w = g->view->widget;
    if (!w)
        return;
    const Fl_Font face = ToFlFont(g->font);
    const auto size = static_cast<Fl_Fontsize>(std::lround(g->font.size));
    w->labelfont(face);
    w->labelsize(size);
    if (auto *input = dynamic_cast<Fl_Input_ *>(w)) {
        input->textfont(face);
        input->textsize(size);
    } else if (auto *browser = dynamic_cast<Fl_Browser_ *>(w)) {
        browser->textfont(face);
        browser->textsize(size);
    } else if (auto *menu = dynamic_cast<Fl_Menu_ *>(w)) {
        menu->textfont(face);
        menu->textsize(size);
    } else if (auto *choice = dynamic_cast<Fl_Input_Choice *>(w)) {
        choice->textfont(face);
        choice->textsize(size);
    } else if (auto *tree = dynamic_cast<Fl_Tree *>(w)) {
        tree->item_labelfont(face);
        tree->item_labelsize(size);
    }
    if (HasTextArea(g))
        g->view->widget->redraw();
}

void ApplyColors(Gadget *g) {
    Fl_Widget *w = g->view->widget;
    if (!w)
        return;
    if (g->textColor) {
        w->labelcolor(ToFlColor(*g->textColor));
        if (auto *input = dynamic_cast<Fl_Input_ *>(w))
            input->textcolor(ToFlColor(*g->textColor));
        else if (auto *browser = dynamic_cast<Fl_Browser_ *>(w))
            browser->textcolor(ToFlColor(*g->textColor));
        else if (auto *menu = dynamic_cast<Fl_Menu_ *>(w))
            menu->textcolor(ToFlColor(*g->textColor));
    }
    if (g->background)
        w->color(ToFlColor(*g->background));
    w->redraw();
}

// Icon `index` of the strip as its own pixmap; nullptr when out of range.
PixmapPtr CutIconPixmap(const IconStripPtr &strip, int index) {
    if (!strip || !strip->pixmap || index < 0 || index >= strip->count || strip->size <= 0)
        return nullptr;
    const Pixmap &src = *strip->pixmap;
    const int size = strip->size;
    if ((index + 1) * size > src.width || size > src.height)
        return nullptr;
    auto icon = std::make_shared<Pixmap>();
    icon->width = size;
    icon->height = size;
    icon->pixels.resize(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            icon->pixels[static_cast<size_t>(y) * size + x] =
                src.pixels[static_cast<size_t>(y) * src.width + index * size + x];
    icon->generation = src.generation;
    return icon;
}

GuiFont &DefaultGadgetFont() {
    static GuiFont font;
    return font;
}

} // namespace hvn
