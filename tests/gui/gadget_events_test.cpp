#include "events/timer.h"
#include "gadget_test_support.h"
#include "gui/gadget_view.h"
#include "gui/gui_internal.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <chrono>

namespace hvn {
namespace {

constexpr int kWindowStyle =
    WINDOW_TITLEBAR | WINDOW_RESIZABLE | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN;

Gadget *TestWindow(int style = kWindowStyle) {
    return CreateWindow(" Test", 10, 10, 278, 154, nullptr, style);
}

TEST(GadgetEvents, MousePanels_ReportButtonsPositionAndWheelSign) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    Gadget *panel = CreatePanel(20, 30, 60, 40, win, PANEL_ACTIVE);
    struct Case {
        int kind, data, id, wantData;
    } cases[] = {
        {MouseDown, 1, MouseDown, 1},     {MouseDown, 2, MouseDown, 2},
        {MouseUp, 3, MouseUp, 3},         {MouseWheel, 1, MouseWheel, 1},
        {MouseWheel, -2, MouseWheel, -2}, {MouseEnter, 0, MouseEnter, 0},
        {MouseLeave, 0, MouseLeave, 0},
    };
    for (const Case &c : cases) {
        rec.events.clear();
        SimulateMouse(panel, c.kind, c.data, 5, 7);
        auto got = rec.From(panel);
        ASSERT_EQ(got.size(), 1u) << std::hex << c.kind;
        EXPECT_EQ(got[0].id, c.id);
        EXPECT_EQ(got[0].data, c.wantData) << std::hex << c.kind;
        EXPECT_EQ(got[0].x, 5);
        EXPECT_EQ(got[0].y, 7);
    }
}

TEST(GadgetEvents, PlainPanelsAndLabels_ReportOnlyWhenMouseSensitive) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    Gadget *plain = CreatePanel(0, 0, 50, 50, win, 0);
    Gadget *label = CreateLabel("[+]", 100, 0, 35, 22, win, LABEL_CENTER);
    SimulateMouse(plain, MouseDown, 1, 1, 1);
    SimulateMouse(label, MouseUp, 1, 1, 1);
    EXPECT_TRUE(rec.events.empty());

    SetGadgetSensitivity(plain, SENSITIZE_MOUSE);
    SetGadgetSensitivity(label, SENSITIZE_MOUSE);
    SimulateMouse(plain, MouseDown, 1, 1, 1);
    SimulateMouse(label, MouseUp, 1, 3, 4);
    ASSERT_EQ(rec.From(plain, MouseDown).size(), 1u);
    ASSERT_EQ(rec.From(label, MouseUp).size(), 1u);
    EXPECT_EQ(rec.From(label, MouseUp)[0].x, 3);
}

TEST(GadgetEvents, PressOnAChild_IsReportedByTheChildOnly) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    Gadget *track = CreatePanel(2, 100, 55, 30, win, PANEL_ACTIVE);
    Gadget *knob = CreatePanel(30, 4, 5, 22, track, PANEL_ACTIVE);

    SimulateMouse(track, MouseDown, 1, 32, 10); // on the knob
    ASSERT_EQ(rec.From(knob, MouseDown).size(), 1u);
    EXPECT_EQ(rec.From(knob, MouseDown)[0].x, 2);
    EXPECT_EQ(rec.From(knob, MouseDown)[0].y, 6);
    EXPECT_TRUE(rec.From(track).empty());

    SimulateMouse(track, MouseDown, 1, 10, 10); // beside it
    EXPECT_EQ(rec.From(track, MouseDown).size(), 1u);
    EXPECT_EQ(rec.From(knob, MouseDown).size(), 1u);
}

TEST(GadgetEvents, ScrollPanelWheel_IsReportedAndDoesNotScroll) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    Gadget *scroll = CreateScrollPanel(0, 0, 278, 121, win, SCROLLPANEL_HNEVER);
    SetGadgetSensitivity(scroll, SENSITIZE_MOUSE);
    Gadget *client = ScrollPanelClient(scroll);
    SetGadgetSensitivity(client, SENSITIZE_MOUSE);
    CreateLabel("bottom", 0, 300, 100, 20, client, 0);
    FitScrollPanelClient(scroll);
    ScrollScrollPanel(scroll, 0, 50);

    SimulateMouse(scroll, MouseWheel, -1, 10, 10);
    SimulateMouse(scroll, MouseWheel, 1, 10, 10);

    auto wheels = rec.From(scroll, MouseWheel);
    ASSERT_EQ(wheels.size(), 2u);
    EXPECT_LT(wheels[0].data, 0);
    EXPECT_GE(wheels[1].data, 0);
    EXPECT_TRUE(rec.From(client, MouseWheel).empty());
    EXPECT_EQ(ScrollPanelY(scroll), 50);
}

TEST(GadgetEvents, ScrollPanelEnter_ComesBeforeItsClients) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    Gadget *scroll = CreateScrollPanel(0, 0, 278, 121, win, SCROLLPANEL_HNEVER);
    SetGadgetSensitivity(scroll, SENSITIZE_MOUSE);
    Gadget *client = ScrollPanelClient(scroll);
    SetGadgetSensitivity(client, SENSITIZE_MOUSE);
    FitScrollPanelClient(scroll);
    SetGadgetShape(client, 0, 0, 278, 121);

    SimulateMouse(scroll, MouseEnter, 0, 10, 10);
    std::vector<const void *> sources;
    for (const Event &e : rec.events)
        if (e.id == MouseEnter)
            sources.push_back(e.source);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0], scroll);
    EXPECT_EQ(sources[1], client);
}

TEST(GadgetEvents, CheckBoxesAndToggleButtons_ReportTheirState) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    for (int style : {int(BUTTON_CHECKBOX), BUTTON_CHECKBOX | BUTTON_PUSH}) {
        rec.events.clear();
        Gadget *box = CreateButton("Save & go", 2, 97, 227, 28, win, style);
        SimulateToggle(box);
        EXPECT_TRUE(ButtonState(box));
        SimulateToggle(box);
        EXPECT_FALSE(ButtonState(box));
        auto actions = rec.From(box, GadgetAction);
        ASSERT_EQ(actions.size(), 2u) << style;
        EXPECT_EQ(actions[0].data, 1);
        EXPECT_EQ(actions[1].data, 0);
        SetButtonState(box, true);
        EXPECT_EQ(rec.From(box).size(), 2u) << "a program change is not input";
    }
}

TEST(GadgetEvents, TypingIntoFields_ReportsActionsAndText) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    Gadget *field = CreateTextField(20, 209, 220, 22, win, 0);
    Gadget *combo = CreateComboBox(2, 2, 180, 28, win, COMBOBOX_EDITABLE);
    AddGadgetItem(combo, "All", GADGETITEM_DEFAULT);

    SimulateTyping(field, "abc");
    SimulateTyping(combo, "roc");

    ASSERT_FALSE(rec.From(field, GadgetAction).empty());
    EXPECT_EQ(GadgetText(field), "abc");
    auto typed = rec.From(combo, GadgetAction);
    ASSERT_FALSE(typed.empty());
    EXPECT_EQ(typed.back().data, -1);
    EXPECT_EQ(GadgetText(combo), "Allroc");

    rec.events.clear();
    SetGadgetText(field, "set");
    EXPECT_EQ(GadgetText(field), "set");
    EXPECT_TRUE(rec.events.empty());
}

TEST(GadgetEvents, ComboChoice_ReportsTheIndexAndShowsTheItem) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    for (int style : {0, int(COMBOBOX_EDITABLE)}) {
        rec.events.clear();
        Gadget *combo = CreateComboBox(2, 2, 180, 28, win, style);
        for (const char *t : {"All", "Rock & Roll", "Jazz"})
            AddGadgetItem(combo, t);
        SimulateComboChoice(combo, 1);
        auto actions = rec.From(combo, GadgetAction);
        ASSERT_EQ(actions.size(), 1u) << style;
        EXPECT_EQ(actions[0].data, 1);
        EXPECT_EQ(SelectedGadgetItem(combo), 1);
        EXPECT_EQ(GadgetText(combo), "Rock & Roll") << style;
    }
}

TEST(GadgetEvents, WindowClose_IsReportedAndLeavesTheWindowOpen) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow(kWindowStyle & ~WINDOW_HIDDEN);
    auto *fl = static_cast<Fl_Window *>(win->view->widget);
    ASSERT_TRUE(fl->shown());
    SimulateWindowClose(win);
    EXPECT_EQ(rec.From(win, WindowClose).size(), 1u);
    EXPECT_TRUE(fl->shown());
    HideGadget(win);
    EXPECT_FALSE(fl->shown());
}

TEST(GadgetEvents, FileDrop_ReportsThePathOnlyWhereFilesAreAccepted) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *accepting = TestWindow(kWindowStyle | WINDOW_ACCEPTFILES);
    Gadget *other = TestWindow();
    SimulateFileDrop(accepting, "/tmp/my station%.hvn");
    SimulateFileDrop(other, "/tmp/x.hvn");
    auto drops = rec.From(accepting, WindowAccept);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].extra, "/tmp/my station%.hvn");
    EXPECT_TRUE(rec.From(other).empty());
}

TEST(GadgetEvents, DroppedUriLists_GiveLocalPaths) {
    struct Case {
        const char *text;
        std::vector<std::string> paths;
    } cases[] = {
        {"file:///tmp/a%20b.pls\r\n", {"/tmp/a b.pls"}},
        {"file://host/x/y.m3u\r\nfile:///z.asx", {"/x/y.m3u", "/z.asx"}},
        {"/plain/path.hvn\n", {"/plain/path.hvn"}},
        {"file:///bad%zzescape", {"/bad%zzescape"}},
        {"\r\n\r\n", {}},
        {"file://nohostpath", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DroppedPaths(c.text), c.paths) << c.text;
}

TEST(GadgetEvents, FocusGoesToFieldsAndPanels) {
    HVN_REQUIRE_GUI();
    Gadget *win = TestWindow(kWindowStyle & ~WINDOW_HIDDEN);
    Gadget *scroll = CreateScrollPanel(0, 0, 278, 121, win, 0);
    Gadget *field = CreateTextField(2, 2, 100, 22, ScrollPanelClient(scroll), 0);
    Gadget *combo = CreateComboBox(2, 30, 100, 22, win, COMBOBOX_EDITABLE);
    gadgettest::EventRecorder rec;
    ActivateGadget(field);
    EXPECT_EQ(FocusedGadget(), field);
    ActivateGadget(scroll);
    EXPECT_EQ(FocusedGadget(), scroll);
    EXPECT_EQ(rec.From(field, GadgetLostFocus).size(), 1u);
    ActivateGadget(combo);
    EXPECT_EQ(FocusedGadget(), combo);
    HideGadget(win);
}

TEST(GadgetEvents, WindowUnmappedByTheServer_CountsAsMinimisedUntilRestored) {
    HVN_REQUIRE_GUI();
    Gadget *win = TestWindow(kWindowStyle & ~WINDOW_HIDDEN);
    auto *fl = static_cast<Fl_Window *>(win->view->widget);
    auto pumpUntil = [](auto done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!done() && std::chrono::steady_clock::now() < end)
            Fl::wait(0.05);
        return done();
    };
    ASSERT_TRUE(pumpUntil([&] { return fl->visible() != 0; }));
    EXPECT_FALSE(WindowMinimized(win));

    XUnmapWindow(fl_display, fl_xid(fl)); // what a window manager's iconify does
    XFlush(fl_display);
    ASSERT_TRUE(pumpUntil([&] { return WindowMinimized(win); }));

    RestoreWindow(win);
    EXPECT_TRUE(pumpUntil([&] { return fl->visible() && !WindowMinimized(win); }));
    HideGadget(win);
    EXPECT_FALSE(WindowMinimized(win));
}

TEST(GadgetEvents, TimerTicks_ArriveThroughTheToolkitWait) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    TimerPtr timer = Timer::Create(50.0);
    auto ticked = [&] {
        for (const Event &e : rec.events)
            if (e.id == TimerTick)
                return true;
        return false;
    };
    // The pump InitGui installed: FLTK's wait, woken by the timer pipe.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!ticked() && std::chrono::steady_clock::now() < end)
        PumpEvents(0.25);
    timer->Stop();
    EXPECT_TRUE(ticked());
}

} // namespace
} // namespace hvn
