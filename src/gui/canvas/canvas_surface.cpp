#include "gui/canvas/canvas_surface.h"

#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <unordered_map>

namespace hvn {

namespace {

std::unordered_map<Gadget *, CanvasSurface *> &Registry() {
    static std::unordered_map<Gadget *, CanvasSurface *> canvases;
    return canvases;
}

} // namespace

CanvasSurface::CanvasSurface(Gadget *g, Fl_Window *window) : gadget_(g), window_(window) {
    Registry()[g] = this;
}

CanvasSurface::~CanvasSurface() {
    auto &registry = Registry();
    auto it = registry.find(gadget_);
    if (it != registry.end() && it->second == this)
        registry.erase(it);
    ForgetCanvas(this);
}

int CanvasSurface::width() const {
    return window_->w();
}

int CanvasSurface::height() const {
    return window_->h();
}

bool CanvasSurface::OnScreen() const {
    Fl_Window *top = window_->top_window();
    return window_->visible_r() && window_->shown() && top && top->shown() && top->visible();
}

void CanvasSurface::Flip(int sync) {
    if (pending_.empty())
        return; // nothing drawn: the picture stays
    const bool whole = CoversCanvas(pending_, width(), height());
    if (whole && pending_ == shown_) {
        pending_.clear(); // the same picture again
        return;
    }
    Present(pending_, sync);
    if (whole)
        shown_.swap(pending_);
    else
        shown_.clear();
    pending_.clear();
}

bool CanvasSurface::HandleMouse(int flEvent) {
    // A canvas is an X window of its own: FLTK's coordinates are already relative to it.
    return EmitMouse(gadget_, flEvent, Fl::event_x(), Fl::event_y()) != 0;
}

CanvasSurface *FindCanvas(Gadget *g) {
    auto &registry = Registry();
    auto it = registry.find(g);
    return it == registry.end() ? nullptr : it->second;
}

} // namespace hvn
