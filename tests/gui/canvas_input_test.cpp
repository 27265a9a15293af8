// Real X input on a canvas: xdotool moves the pointer and presses buttons on the test X
// server, and the canvas must report them as events with its gadget as the source.
#include "gui/canvas/draw2d.h"

#include <gtest/gtest.h>

#include <FL/Fl_Box.H>
#include <string>

#include "canvas_test_support.h" // last: it pulls in Xlib
#include <FL/x.H>

namespace hvn {
namespace {

using namespace canvastest;

bool RunXdotool(const std::string &args) {
    return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0;
}

class CanvasInput : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        if (std::system("command -v xdotool >/dev/null 2>&1") != 0) {
            if (std::getenv("HALVANE_TEST_SERVICES"))
                FAIL() << "xdotool is missing";
            GTEST_SKIP() << "no xdotool";
        }
    }
};

const Event *Find(const std::vector<Event> &events, int id, const void *source, int data) {
    for (const Event &e : events)
        if (e.id == id && e.source == source && e.data == data)
            return &e;
    return nullptr;
}

TEST_F(CanvasInput, PointerAndButtons_EmittedWithCanvasCoordinates) {
    CanvasHost host({{20, 10, 60, 40}});
    ASSERT_TRUE(host.exposed());
    Gadget *canvas = host.canvas(0);
    auto &events = host.recorder().events;
    const std::string win = std::to_string(fl_xid(static_cast<Fl_Window *>(host.widget(0))));

    // Start outside the canvas, then move in.
    ASSERT_TRUE(
        RunXdotool("mousemove --window " + std::to_string(fl_xid(host.window())) + " 150 100"));
    events.clear();
    ASSERT_TRUE(RunXdotool("mousemove --window " + win + " 4 6"));
    ASSERT_TRUE(PumpUntil([&] { return Find(events, MouseEnter, canvas, 0); }));
    ASSERT_TRUE(RunXdotool("mousemove --window " + win + " 5 7"));
    ASSERT_TRUE(PumpUntil([&] {
        const Event *e = Find(events, MouseMove, canvas, 0);
        return e && e->x == 5 && e->y == 7;
    }));

    const struct { int xButton, data; } buttons[] = {{1, 1}, {3, 2}, {2, 3}};
    for (const auto &b : buttons) {
        events.clear();
        ASSERT_TRUE(RunXdotool("click " + std::to_string(b.xButton)));
        ASSERT_TRUE(PumpUntil([&] { return Find(events, MouseUp, canvas, b.data); }))
            << "button " << b.xButton;
        const Event *down = Find(events, MouseDown, canvas, b.data);
        ASSERT_TRUE(down) << "button " << b.xButton;
        EXPECT_EQ(down->x, 5);
        EXPECT_EQ(down->y, 7);
    }

    // Wheel away from the user (X button 4) is a positive step, towards it negative.
    for (const auto &[xButton, data] : {std::pair{4, 1}, std::pair{5, -1}}) {
        events.clear();
        ASSERT_TRUE(RunXdotool("click " + std::to_string(xButton)));
        ASSERT_TRUE(PumpUntil([&] { return Find(events, MouseWheel, canvas, data); }))
            << "wheel button " << xButton;
    }

    events.clear();
    ASSERT_TRUE(
        RunXdotool("mousemove --window " + std::to_string(fl_xid(host.window())) + " 150 100"));
    EXPECT_TRUE(PumpUntil([&] { return Find(events, MouseLeave, canvas, 0); }));
}

TEST_F(CanvasInput, Flip_ShowsTheFrameOnScreen) {
    CanvasHost host({{0, 0, 16, 8}});
    ASSERT_TRUE(host.exposed());
    ASSERT_TRUE(SetGraphics(host.canvas(0)));
    SetBlend(SOLIDBLEND);
    SetClsColor(10, 200, 30);
    Cls();
    Flip(0);
    XSync(fl_display, False);
    const Window xid = fl_xid(static_cast<Fl_Window *>(host.widget(0)));
    XImage *image = XGetImage(fl_display, xid, 0, 0, 16, 8, AllPlanes, ZPixmap);
    ASSERT_TRUE(image);
    const unsigned long px = XGetPixel(image, 8, 4);
    XDestroyImage(image);
    EXPECT_EQ(px & 0xffffff, 0x0ac81eu); // 10, 200, 30 on a 24-bit TrueColor screen
}

} // namespace
} // namespace hvn
