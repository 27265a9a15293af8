// What the panels draw, read back from the X server. The windows stay clear of where
// the other tests put theirs.
#include "gadget_test_support.h"
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <algorithm>
#include <chrono>

namespace hvn {
namespace {

PixmapPtr Solid(int w, int h, uint32_t pixel) {
    auto p = std::make_shared<Pixmap>();
    p->width = w;
    p->height = h;
    p->pixels.assign(static_cast<size_t>(w) * h, pixel);
    return p;
}

// 0xRRGGBB of the window's pixel at x, y once the toolkit has drawn what is pending.
unsigned long PixelAt(Gadget *win, int x, int y) {
    auto *fl = static_cast<Fl_Window *>(win->view->widget);
    for (int i = 0; i < 5; ++i)
        Fl::check();
    Fl::flush();
    XRaiseWindow(fl_display, fl_xid(fl)); // other tests' windows may share the screen
    XSync(fl_display, False);
    XImage *img = XGetImage(fl_display, fl_xid(fl), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img)
        return ~0ul;
    const unsigned long p = XGetPixel(img, 0, 0) & 0xffffff;
    XDestroyImage(img);
    return p;
}

// Shows the window and waits until the server shows its background at (x, y).
bool ShowAndWaitForPaint(Gadget *win, int x, int y, unsigned long background) {
    ShowGadget(win);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (PixelAt(win, x, y) != background) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Fl::wait(0.05);
    }
    return true;
}

TEST(GadgetDrawing, PanelImages_FillOrCentreAndCanBeRemoved) {
    HVN_REQUIRE_GUI();
    Gadget *win = CreateWindow(" Draw", 350, 300, 100, 60, nullptr,
                               WINDOW_TITLEBAR | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN);
    SetGadgetColor(win, 0, 0, 255);
    Gadget *fill = CreatePanel(10, 10, 30, 30, win, PANEL_ACTIVE);
    Gadget *icon = CreatePanel(50, 10, 30, 30, win, PANEL_ACTIVE);
    SetGadgetPixmap(fill, Solid(2, 2, 0xff0000ffu), PIXMAP_FIT | PIXMAP_ICON | PIXMAP_NOTEXT);
    SetGadgetPixmap(icon, Solid(10, 10, 0xff00ff00u), PIXMAP_ICON);
    ASSERT_TRUE(ShowAndWaitForPaint(win, 5, 5, 0x0000ff));

    struct Case {
        int x, y;
        unsigned long rgb;
    } cases[] = {
        {11, 11, 0xff0000}, {38, 38, 0xff0000}, // the scaled image covers the panel
        {65, 25, 0x00ff00},                     // the icon in the middle of its panel
        {52, 12, 0x0000ff},                     // and the window around it
        {5, 5, 0x0000ff},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PixelAt(win, c.x, c.y), c.rgb) << c.x << "," << c.y;

    SetGadgetPixmap(fill, nullptr, PIXMAP_ICON);
    EXPECT_EQ(PixelAt(win, 20, 20), 0x0000ffu);
    HideGadget(win);
}

TEST(GadgetDrawing, ColouredPanelAndRelabelledLabel_RepaintTheirArea) {
    HVN_REQUIRE_GUI();
    Gadget *win = CreateWindow(" Draw", 350, 400, 100, 60, nullptr,
                               WINDOW_TITLEBAR | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN);
    SetGadgetColor(win, 255, 255, 255);
    Gadget *swatch = CreatePanel(10, 10, 32, 16, win, PANEL_ACTIVE | PANEL_SUNKEN);
    Gadget *label = CreateLabel("MMMMMMMM", 0, 30, 100, 30, win, LABEL_LEFT);
    SetGadgetFont(label, GuiFont{"clean", 24, true});
    ASSERT_TRUE(ShowAndWaitForPaint(win, 90, 5, 0xffffff));

    SetGadgetColor(swatch, 0, 128, 0);
    EXPECT_EQ(PixelAt(win, 26, 18), 0x008000u);

    // Find a dark pixel of the text, then take the text away: the spot is white again.
    int darkX = -1;
    for (int x = 0; x < 100 && darkX < 0; ++x)
        if ((PixelAt(win, x, 45) & 0xff) < 0x40)
            darkX = x;
    ASSERT_GE(darkX, 0) << "the label drew no text";
    SetGadgetText(label, "");
    EXPECT_EQ(PixelAt(win, darkX, 45), 0xffffffu);
    HideGadget(win);
}

TEST(GadgetDrawing, ComboItemIcons_AreDrawnBesideTheText) {
    HVN_REQUIRE_GUI();
    Gadget *win = CreateWindow(" Draw", 350, 500, 200, 40, nullptr,
                               WINDOW_TITLEBAR | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN);
    SetGadgetColor(win, 255, 255, 255);
    Gadget *combo = CreateComboBox(5, 5, 180, 28, win, 0);
    auto strip = std::make_shared<IconStrip>();
    strip->pixmap = Solid(32, 16, 0xff0000ffu);
    std::fill(strip->pixmap->pixels.begin(), strip->pixmap->pixels.end(), 0xff0000ffu);
    strip->count = 2;
    strip->size = 16;
    SetGadgetIconStrip(combo, strip);
    AddGadgetItem(combo, "English", GADGETITEM_DEFAULT, 1);
    ASSERT_TRUE(ShowAndWaitForPaint(win, 195, 2, 0xffffff));

    int red = 0;
    for (int x = 5; x < 60; ++x)
        red += PixelAt(win, x, 19) == 0xff0000 ? 1 : 0;
    EXPECT_EQ(red, 16);
    HideGadget(win);
}

} // namespace
} // namespace hvn
