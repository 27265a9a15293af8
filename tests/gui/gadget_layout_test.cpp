#include "gadget_test_support.h"
#include "gui/gadget_view.h"
#include "gui/gui_internal.h"

#include <FL/Fl.H>
#include <FL/Fl_Widget.H>

namespace hvn {
namespace {

constexpr int kHiddenWindow =
    WINDOW_TITLEBAR | WINDOW_RESIZABLE | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN | WINDOW_ACCEPTFILES;

Gadget *MainLikeWindow() {
    Gadget *win = CreateWindow(" Test", 10, 10, 278, 154, nullptr, kHiddenWindow);
    SetMinWindowSize(win, 278, 154);
    SetMaxWindowSize(win, 278, 600);
    return win;
}

TEST(GadgetLayout, WindowGrownBy100_ChildrenFollowTheirLocks) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = MainLikeWindow();
    Gadget *page = CreatePanel(0, 0, 278, 154, win, 0);
    SetGadgetLayout(page, 1, 1, 1, 1);
    Gadget *list = CreatePanel(0, 119, 278, 0, page, 0);
    SetGadgetLayout(list, 1, 1, 1, 1);
    Gadget *button = CreatePanel(246, 123, 30, 30, page, PANEL_ACTIVE);
    SetGadgetLayout(button, 0, 0, 0, 1);
    Gadget *title = CreateLabel("Title", 0, 3, 278, 16, page, LABEL_CENTER);
    SetGadgetLayout(title, 0, 0, 1, 0);

    SimulateWindowResize(win, 278, 254);

    EXPECT_EQ(page->h, 254);
    EXPECT_EQ(list->y, 119);
    EXPECT_EQ(list->h, 100);
    EXPECT_EQ(button->y, 223);
    EXPECT_EQ(button->h, 30);
    EXPECT_EQ(title->y, 3);
    EXPECT_EQ(title->w, 278);
    // The widgets are where the state says (a page's children are window-relative).
    EXPECT_EQ(button->view->widget->y(), 223);
    EXPECT_EQ(list->view->widget->h(), 100);
    EXPECT_EQ(rec.From(win, WindowSize).size(), 1u);

    SimulateWindowResize(win, 278, 154); // and back
    EXPECT_EQ(button->y, 123);
    EXPECT_EQ(list->h, 0);
}

TEST(GadgetLayout, EachLockPairOfAnAxis_PlacesAsTheRuleSays) {
    HVN_REQUIRE_GUI();
    struct Case {
        int top, bottom;
        int y, h; // after the parent grew from 154 to 254
    } cases[] = {
        {1, 0, 20, 30},
        {0, 1, 120, 30},
        {1, 1, 20, 130},
        {0, 0, 43, 30}, // centre 35 of 154 -> 57.7 of 254
    };
    for (const Case &c : cases) {
        Gadget *win = MainLikeWindow();
        Gadget *g = CreatePanel(10, 20, 50, 30, win, 0);
        SetGadgetLayout(g, 1, 0, c.top, c.bottom);
        SimulateWindowResize(win, 278, 254);
        EXPECT_EQ(g->y, c.y) << "locks " << c.top << "," << c.bottom;
        EXPECT_EQ(g->h, c.h) << "locks " << c.top << "," << c.bottom;
        EXPECT_EQ(g->x, 10);
        EXPECT_EQ(g->w, 50);
    }
}

TEST(GadgetLayout, NestedPanels_AreLaidOutInsideTheirParent) {
    HVN_REQUIRE_GUI();
    Gadget *win = MainLikeWindow();
    Gadget *outer = CreatePanel(0, 0, 278, 121, win, 0);
    SetGadgetLayout(outer, 1, 1, 1, 1);
    Gadget *track = CreatePanel(2, 90, 55, 30, outer, PANEL_ACTIVE);
    SetGadgetLayout(track, 0, 0, 0, 1);
    Gadget *knob = CreatePanel(30, 4, 5, 22, track, PANEL_ACTIVE);

    SimulateWindowResize(win, 278, 204);

    EXPECT_EQ(outer->h, 171);
    EXPECT_EQ(track->y, 140);
    EXPECT_EQ(knob->y, 4); // default locks: kept at the top-left of its track
    EXPECT_EQ(knob->view->widget->x(), 2 + 30);
    EXPECT_EQ(knob->view->widget->y(), 140 + 4);
}

TEST(GadgetLayout, ReshapedGadget_IsLaidOutFromItsNewShape) {
    HVN_REQUIRE_GUI();
    Gadget *win = MainLikeWindow();
    Gadget *g = CreatePanel(0, 100, 20, 20, win, 0);
    SetGadgetLayout(g, 0, 0, 0, 1);
    SetGadgetShape(g, 5, 50, 20, 20);
    SimulateWindowResize(win, 278, 254);
    EXPECT_EQ(g->y, 150);
    EXPECT_EQ(g->x, 5 + 0); // both horizontal edges free and the width unchanged
}

TEST(GadgetLayout, WindowShapeFromTheProgram_IsClampedAndNotReported) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = MainLikeWindow();
    Gadget *bottom = CreatePanel(0, 124, 30, 30, win, 0);
    SetGadgetLayout(bottom, 0, 0, 0, 1);

    SetGadgetShape(win, 40, 50, 278, 5000);
    EXPECT_EQ(win->h, 600);
    EXPECT_EQ(ClientHeight(win), 600);
    EXPECT_EQ(bottom->y, 570);

    SetGadgetShape(win, 40, 50, 278, 100);
    EXPECT_EQ(win->h, 154);
    EXPECT_EQ(bottom->y, 124);
    EXPECT_TRUE(rec.From(win, WindowSize).empty());
}

TEST(GadgetLayout, CentredWindow_IsPlacedInTheMiddleOfTheDesktop) {
    HVN_REQUIRE_GUI();
    Gadget *win = CreateWindow(" Test", 0, 0, 278, 154, nullptr, kHiddenWindow | WINDOW_CENTER);
    EXPECT_EQ(win->x, (DesktopWidth() - 278) / 2);
    EXPECT_EQ(win->y, (DesktopHeight() - 154) / 2);
    EXPECT_GT(win->x, 0);
}

TEST(GadgetLayout, HiddenParent_HidesItsChildren) {
    HVN_REQUIRE_GUI();
    Gadget *win = MainLikeWindow();
    EXPECT_FALSE(GadgetVisible(win)); // created hidden
    ShowGadget(win);
    Gadget *page = CreatePanel(0, 0, 278, 154, win, 0);
    Gadget *label = CreateLabel("x", 0, 0, 10, 10, page, 0);
    EXPECT_TRUE(GadgetVisible(label));
    HideGadget(page);
    EXPECT_FALSE(GadgetVisible(label));
    EXPECT_FALSE(label->view->widget->visible_r());
    ShowGadget(page);
    EXPECT_TRUE(GadgetVisible(label));
    HideGadget(win);
}

TEST(GadgetLayout, VideoModeHeight_IsTheScreenHeightOr480) {
    HVN_REQUIRE_GUI();
    const int h = VideoModeHeight();
    EXPECT_TRUE(h == Fl::h() || h == 480) << h;
}

} // namespace
} // namespace hvn

namespace hvn {
namespace {

TEST(GadgetLayout, CanvasInAPanel_MovesWithItsLocks) {
    HVN_REQUIRE_GUI();
    Gadget *win = MainLikeWindow();
    Gadget *page = CreatePanel(0, 0, 278, 154, win, 0);
    SetGadgetLayout(page, 1, 1, 1, 1);
    Gadget *meter = CreateCanvas(211, 133, 10, 15, page, 0);
    SetGadgetLayout(meter, 0, 0, 0, 1);
    Gadget *spectrum = CreateCanvas(2, 33, 274, 87, page, 0);
    SetGadgetLayout(spectrum, 0, 0, 1, 0);
    ASSERT_NE(meter->view->widget, nullptr);

    SimulateWindowResize(win, 278, 254);

    EXPECT_EQ(meter->y, 233);
    EXPECT_EQ(meter->view->widget->y(), 233);
    EXPECT_EQ(meter->view->widget->h(), 15);
    EXPECT_EQ(spectrum->view->widget->y(), 33);
}

} // namespace
} // namespace hvn
