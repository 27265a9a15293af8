#include "gadget_test_support.h"
#include "gui/gadget_view.h"
#include "gui/gui_internal.h"

#include <FL/Fl.H>
#include <FL/Fl_Scroll.H>

namespace hvn {
namespace {

constexpr int kWindowStyle =
    WINDOW_TITLEBAR | WINDOW_RESIZABLE | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN;

struct OptionsLike {
    Gadget *win = CreateWindow(" Test", 10, 10, 278, 154, nullptr, kWindowStyle);
    Gadget *scroll = CreateScrollPanel(0, 0, 278, 121, win, SCROLLPANEL_HNEVER);
    Gadget *client = ScrollPanelClient(scroll);
    Gadget *top = nullptr, *last = nullptr, *hiddenOne = nullptr;

    OptionsLike() {
        SetGadgetLayout(scroll, 1, 1, 1, 1);
        top = CreateLabel("top", 2, 2, 180, 28, client, 0);
        last = CreateButton("last", 2, 265, 227, 28, client, BUTTON_CHECKBOX);
        hiddenOne = CreateButton("hidden", 2, 321, 227, 28, client, BUTTON_CHECKBOX);
        HideGadget(hiddenOne);
        FitScrollPanelClient(scroll);
    }
};

TEST(GadgetScroll, FittedClient_EnclosesItsVisibleChildren) {
    HVN_REQUIRE_GUI();
    OptionsLike o;
    EXPECT_EQ(o.client->w, 229);
    EXPECT_EQ(o.client->h, 293);
    EXPECT_EQ(o.last->y, 265); // fitting moves nothing
    EXPECT_EQ(o.last->h, 28);
    EXPECT_EQ(ClientHeight(o.scroll), 121); // no horizontal bar with style 32
    EXPECT_LT(ClientWidth(o.scroll), 278);  // the vertical bar takes its width
}

TEST(GadgetScroll, ScrollTo_IsClampedToTheRange) {
    HVN_REQUIRE_GUI();
    OptionsLike o;
    const int maxY = 293 - 121;
    struct Case {
        int x, y, wantX, wantY;
    } cases[] = {
        {0, 25, 0, 25}, {0, -25, 0, 0}, {0, 5000, 0, maxY}, {40, 10, 0, 10}, // never sideways
    };
    for (const Case &c : cases) {
        ScrollScrollPanel(o.scroll, c.x, c.y);
        EXPECT_EQ(ScrollPanelX(o.scroll), c.wantX) << c.x << "," << c.y;
        EXPECT_EQ(ScrollPanelY(o.scroll), c.wantY) << c.x << "," << c.y;
        auto *s = static_cast<Fl_Scroll *>(o.scroll->view->widget);
        EXPECT_EQ(s->yposition(), c.wantY);
        // The client's widget is moved up by the scroll position.
        EXPECT_EQ(o.top->view->widget->y(), s->y() + 2 - c.wantY);
    }
}

TEST(GadgetScroll, TallerWindow_ShrinksTheRangeAndClampsThePosition) {
    HVN_REQUIRE_GUI();
    OptionsLike o;
    // Locked to both edges, as the pages lock them: only the viewport may grow.
    SetGadgetLayout(o.client, 0, 0, 1, 1);
    SetGadgetLayout(o.last, 0, 0, 1, 1);
    ScrollScrollPanel(o.scroll, 0, 1000);
    ASSERT_EQ(ScrollPanelY(o.scroll), 293 - 121);
    SimulateWindowResize(o.win, 278, 254);
    EXPECT_EQ(o.scroll->h, 221);
    EXPECT_EQ(ScrollPanelY(o.scroll), 293 - 221);
    SimulateWindowResize(o.win, 278, 454);
    EXPECT_EQ(ScrollPanelY(o.scroll), 0);
    EXPECT_EQ(o.client->h, 293);
    EXPECT_EQ(o.last->view->widget->y(), o.scroll->view->widget->y() + 265);
    EXPECT_EQ(o.last->view->widget->h(), 28);
    EXPECT_EQ(o.top->view->widget->y(), o.scroll->view->widget->y() + 2);
}

TEST(GadgetScroll, ClientWiderThanThePanel_ScrollsBothWaysWithStyle0) {
    HVN_REQUIRE_GUI();
    Gadget *win = CreateWindow(" Test", 10, 10, 278, 154, nullptr, kWindowStyle);
    Gadget *scroll = CreateScrollPanel(0, 0, 278, 121, win, 0);
    CreatePanel(0, 0, 400, 300, ScrollPanelClient(scroll), 0);
    FitScrollPanelClient(scroll);
    ScrollScrollPanel(scroll, 1000, 1000);
    EXPECT_EQ(ScrollPanelX(scroll), 400 - ClientWidth(scroll));
    EXPECT_EQ(ScrollPanelY(scroll), 300 - ClientHeight(scroll));
    EXPECT_LT(ClientHeight(scroll), 121); // the horizontal bar is shown
}

} // namespace
} // namespace hvn
