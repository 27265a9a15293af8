// Real pointer input from the X server (xdotool), through FLTK, to the gadgets' events.
#include "gadget_test_support.h"
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Tree.H>
#include <FL/Fl_Tree_Item.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <chrono>
#include <cstdlib>
#include <string>

namespace hvn {
namespace {

bool HaveXdotool() {
    return std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

// Runs the toolkit until `done` holds or `seconds` pass.
template <typename Done> bool PumpUntil(Done done, double seconds = 5.0) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Fl::wait(0.05);
    }
    return true;
}

// Raises the window first: other tests' windows may be shown on the same server.
void Xdotool(Gadget *win, const std::string &args) {
    auto *fl = static_cast<Fl_Window *>(win->view->widget);
    const std::string id = std::to_string(fl_xid(fl));
    const std::string cmd = "xdotool windowraise " + id + " mousemove --window " + id + " " + args;
    // A connection dropped while the server sets it up fails before anything is done.
    int rc = -1;
    for (int attempt = 0; attempt < 3 && rc != 0; ++attempt)
        rc = std::system(cmd.c_str());
    ASSERT_EQ(rc, 0) << cmd;
}

// One test, so that no two of them move the one pointer at the same time.
TEST(GadgetX11Input, RealClicks_ReachTheGadgetUnderThePointer) {
    HVN_REQUIRE_GUI();
    if (!HaveXdotool()) {
        if (std::getenv("HALVANE_TEST_SERVICES"))
            FAIL() << "xdotool missing";
        GTEST_SKIP() << "no xdotool";
    }
    gadgettest::EventRecorder rec;
    Gadget *win = CreateWindow(" Input", 600, 420, 300, 260, nullptr,
                               WINDOW_TITLEBAR | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN);
    Gadget *page = CreatePanel(0, 0, 300, 260, win, 0);
    Gadget *button = CreatePanel(246, 123, 30, 30, page, PANEL_ACTIVE);
    Gadget *list = CreateListBox(0, 0, 200, 100, page, 0);
    for (const char *t : {"one", "two", "three"})
        AddGadgetItem(list, t);
    Gadget *tree = CreateTreeView(-1, 160, 282, 82, page, 0);
    Gadget *cat = AddTreeViewNode("Jazz", TreeViewRoot(tree));
    Gadget *node = AddTreeViewNode("j.hvn", cat, -1, "10 Bytes");
    ShowGadget(win);
    auto *fl = static_cast<Fl_Window *>(win->view->widget);
    ASSERT_TRUE(PumpUntil([&] { return fl->shown() && fl->visible(); }));
    PumpUntil([] { return false; }, 0.2); // mapped, exposed and drawn

    Xdotool(win, "250 130 click 3");
    ASSERT_TRUE(PumpUntil([&] { return !rec.From(button, MouseUp).empty(); }));
    auto downs = rec.From(button, MouseDown);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].data, 2); // the right button
    EXPECT_EQ(downs[0].x, 4);
    EXPECT_EQ(downs[0].y, 7);

    int y = 0;
    while (y < 100 && ListIndexAt(list, y) != 1)
        ++y;
    ASSERT_LT(y, 100);
    Xdotool(win, "20 " + std::to_string(y + 1) + " click --repeat 2 --delay 50 1");
    ASSERT_TRUE(PumpUntil([&] { return !rec.From(list, GadgetAction).empty(); }));
    EXPECT_EQ(rec.From(list, GadgetAction)[0].data, 1);
    EXPECT_EQ(SelectedGadgetItem(list), 1);

    // A double click on a tree node selects and activates it.
    Fl_Tree_Item *item = node->view->treeItem;
    ASSERT_GT(item->h(), 0);
    Xdotool(win, std::to_string(item->label_x() + 5) + " " +
                     std::to_string(item->y() + item->h() / 2) + " click --repeat 2 --delay 50 1");
    ASSERT_TRUE(PumpUntil([&] { return !rec.From(tree, GadgetAction).empty(); }));
    EXPECT_EQ(SelectedTreeViewNode(tree), node);
    EXPECT_FALSE(rec.From(tree, GadgetSelect).empty());
    HideGadget(win);
}

} // namespace
} // namespace hvn
