#include "gadget_test_support.h"
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Window.H>

namespace hvn {
namespace {

constexpr int kWindowStyle =
    WINDOW_TITLEBAR | WINDOW_RESIZABLE | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN;

Gadget *TestWindow(int style = kWindowStyle) {
    return CreateWindow(" Test", 10, 10, 278, 154, nullptr, style);
}

std::vector<std::string> BrowserTexts(Gadget *list) {
    auto *b = static_cast<Fl_Browser *>(list->view->widget);
    std::vector<std::string> out;
    for (int i = 1; i <= b->size(); ++i)
        out.push_back(b->text(i));
    return out;
}

int BrowserSelected(Gadget *list) {
    return static_cast<Fl_Browser *>(list->view->widget)->value() - 1;
}

TEST(GadgetItems, EditsOfAList_KeepSelectionAndWidgetInStep) {
    HVN_REQUIRE_GUI();
    Gadget *win = TestWindow();
    Gadget *list = CreateListBox(0, 0, 200, 100, win, 0);
    AddGadgetItem(list, "a");
    AddGadgetItem(list, "b", GADGETITEM_DEFAULT);
    AddGadgetItem(list, "c");
    ASSERT_EQ(SelectedGadgetItem(list), 1);

    InsertGadgetItem(list, 0, "first");
    EXPECT_EQ(SelectedGadgetItem(list), 2); // still "b"
    RemoveGadgetItem(list, 0);
    EXPECT_EQ(SelectedGadgetItem(list), 1);
    ModifyGadgetItem(list, 2, "C", GADGETITEM_DEFAULT, 3, "tip", "extra");
    EXPECT_EQ(SelectedGadgetItem(list), 2);
    EXPECT_EQ(BrowserTexts(list), (std::vector<std::string>{"a", "b", "C"}));
    EXPECT_EQ(BrowserSelected(list), 2);
    RemoveGadgetItem(list, 2);
    EXPECT_EQ(SelectedGadgetItem(list), -1);
    EXPECT_EQ(BrowserSelected(list), -1);

    SelectGadgetItem(list, 1);
    DeselectGadgetItem(list, 0); // not the selected one: no change
    EXPECT_EQ(SelectedGadgetItem(list), 1);
    DeselectGadgetItem(list, 1);
    EXPECT_EQ(SelectedGadgetItem(list), -1);
    SelectGadgetItem(list, 7);
    EXPECT_EQ(SelectedGadgetItem(list), -1);

    ClearGadgetItems(list);
    EXPECT_EQ(CountGadgetItems(list), 0);
    EXPECT_TRUE(BrowserTexts(list).empty());
}

TEST(GadgetItems, ItemValues_AreKeptPerItemAndSafeOutOfRange) {
    HVN_REQUIRE_GUI();
    Gadget *win = TestWindow();
    Gadget *list = CreateListBox(0, 0, 200, 100, win, 0);
    AddGadgetItem(list, "@bold? no", 0, 7, "Genre", "stations/x.hvn");
    AddGadgetItem(list, "plain");
    std::vector<GadgetItem> many(3);
    many[1].text = "m1";
    many[1].flags = GADGETITEM_DEFAULT;
    AddGadgetItems(list, many);

    EXPECT_EQ(CountGadgetItems(list), 5);
    EXPECT_EQ(SelectedGadgetItem(list), 3);
    EXPECT_EQ(GadgetItemText(list, 0), "@bold? no");
    EXPECT_EQ(BrowserTexts(list)[0], "@bold? no");
    EXPECT_EQ(GadgetItemIcon(list, 0), 7);
    EXPECT_EQ(GadgetItemTooltip(list, 0), "Genre");
    EXPECT_EQ(GadgetItemExtra(list, 0), "stations/x.hvn");
    EXPECT_EQ(GadgetItemExtra(list, 1), std::nullopt);
    for (int bad : {-1, 5, 100}) {
        EXPECT_EQ(GadgetItemText(list, bad), "");
        EXPECT_EQ(GadgetItemIcon(list, bad), -1);
        EXPECT_EQ(GadgetItemExtra(list, bad), std::nullopt);
        RemoveGadgetItem(list, bad);
        ModifyGadgetItem(list, bad, "x");
    }
    EXPECT_EQ(CountGadgetItems(list), 5);
}

TEST(GadgetItems, ListClicks_SelectActivateAndOpenTheMenu) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    Gadget *list = CreateListBox(0, 0, 200, 100, win, 0);
    for (const char *t : {"a", "b", "c"})
        AddGadgetItem(list, t);

    SimulateItemClick(list, 1, false);
    SimulateItemClick(list, 2, true);
    SimulateItemContextClick(list, 0);

    ASSERT_EQ(rec.events.size(), 4u);
    EXPECT_EQ(rec.events[0].id, GadgetSelect);
    EXPECT_EQ(rec.events[0].data, 1);
    EXPECT_EQ(rec.events[1].id, GadgetSelect);
    EXPECT_EQ(rec.events[2].id, GadgetAction);
    EXPECT_EQ(rec.events[2].data, 2);
    EXPECT_EQ(rec.events[3].id, GadgetMenu);
    EXPECT_EQ(SelectedGadgetItem(list), 0);
    EXPECT_EQ(BrowserSelected(list), 0);
}

TEST(GadgetItems, RightPressOnTheWidget_SelectsTheItemUnderThePointer) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow(kWindowStyle & ~WINDOW_HIDDEN);
    Gadget *list = CreateListBox(0, 0, 200, 100, win, 0);
    for (const char *t : {"a", "b", "c"})
        AddGadgetItem(list, t);
    PollSystem();
    Fl_Widget *w = list->view->widget;
    int y = 0;
    while (y < 100 && ListIndexAt(list, w->y() + y) != 1)
        ++y;
    ASSERT_LT(y, 100) << "no row of item 1";

    SimulateMouse(list, MouseDown, 2, 10, y);
    auto menus = rec.From(list, GadgetMenu);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(SelectedGadgetItem(list), 1);

    SimulateMouse(list, MouseDown, 2, 10, 99); // below the items: nothing
    EXPECT_EQ(rec.From(list, GadgetMenu).size(), 1u);

    rec.events.clear();
    SimulateMouse(list, MouseDown, 1, 10, y); // a left press selects it too
    EXPECT_EQ(rec.From(list, GadgetSelect).size(), 1u);
    HideGadget(win);
}

TEST(GadgetItems, ComboItems_BuildTheToolkitMenu) {
    HVN_REQUIRE_GUI();
    Gadget *win = TestWindow();
    Gadget *combo = CreateComboBox(2, 2, 180, 28, win, 0);
    AddGadgetItem(combo, "16 KB");
    AddGadgetItem(combo, "32 KB", GADGETITEM_DEFAULT);
    InsertGadgetItem(combo, 0, "8 KB");
    auto *choice = static_cast<Fl_Choice *>(combo->view->widget);
    EXPECT_EQ(choice->size(), 4); // three items and the terminator
    EXPECT_EQ(choice->value(), 2);
    EXPECT_EQ(GadgetText(combo), "32 KB");
    RemoveGadgetItem(combo, 2);
    EXPECT_EQ(choice->value(), -1);
    EXPECT_EQ(GadgetText(combo), "");
}

PixmapPtr StripPixmap(int icons, int size) {
    auto p = std::make_shared<Pixmap>();
    p->width = icons * size;
    p->height = size;
    p->pixels.resize(static_cast<size_t>(p->width) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < p->width; ++x)
            p->pixels[static_cast<size_t>(y) * p->width + x] = 0xff000000u | (x / size) << 8 | y;
    return p;
}

TEST(GadgetItems, IconStripIcons_AreCutAtTheirIndex) {
    auto strip = std::make_shared<IconStrip>();
    strip->pixmap = StripPixmap(3, 4);
    strip->count = 3;
    strip->size = 4;
    for (int index : {0, 2}) {
        PixmapPtr icon = CutIconPixmap(strip, index);
        ASSERT_TRUE(icon);
        EXPECT_EQ(icon->width, 4);
        EXPECT_EQ(icon->pixels[2 * 4 + 1], 0xff000000u | index << 8 | 2);
    }
    for (int bad : {-1, 3})
        EXPECT_FALSE(CutIconPixmap(strip, bad));
    strip->count = 5; // more icons claimed than the image holds
    EXPECT_FALSE(CutIconPixmap(strip, 4));
    EXPECT_FALSE(CutIconPixmap(nullptr, 0));
}

TEST(GadgetItems, ComboWithIconStrip_ShowsIconsAndKeepsTexts) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = TestWindow();
    Gadget *combo = CreateComboBox(2, 2, 180, 28, win, COMBOBOX_EDITABLE);
    auto strip = std::make_shared<IconStrip>();
    strip->pixmap = StripPixmap(2, 16);
    strip->count = 2;
    strip->size = 16;
    SetGadgetIconStrip(combo, strip);
    AddGadgetItem(combo, "English", 0, 0);
    AddGadgetItem(combo, "Deutsch", GADGETITEM_DEFAULT, 1);
    EXPECT_EQ(combo->view->multiLabels.size(), 2u);
    EXPECT_EQ(GadgetText(combo), "Deutsch");
    SimulateComboChoice(combo, 0);
    EXPECT_EQ(GadgetText(combo), "English");
    ASSERT_EQ(rec.From(combo, GadgetAction).size(), 1u);
    EXPECT_EQ(rec.From(combo, GadgetAction)[0].data, 0);
}

} // namespace
} // namespace hvn
