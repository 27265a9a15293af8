#include "app/gadgets.h"
#include "app/main_loop.h"
#include "app/menus.h"
#include "app/window.h"
#include "app_env.h"
#include "catalogue/station_files.h"
#include "catalogue/station_list.h"
#include "config/settings.h"
#include "core/fs.h"
#include "core/text_file.h"
#include "events/queue.h"
#include "playback/current_station.h"

#include <gtest/gtest.h>

namespace hvn {
namespace {

class MenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        ASSERT_TRUE(test::EnsureTestWindow());
        test::WindowFresh() = false;
        for (const char *dir : {"stations", "db"})
            for (const std::string &name : ReadDirectory(dir).value_or(std::vector<std::string>{}))
                DeleteFile(std::string(dir) + "/" + name);
        CurrentStationName = "";
        ShowPage(0);
    }
    void TearDown() override { SetRequesterHook(nullptr); }

    // Popups and questions answer through the hook; `asked` records the popup shown.
    void Answer(const std::string &menuTag, const std::string &confirm = "no") {
        SetRequesterHook(
            [this, menuTag, confirm](const std::string &kind, const std::string &text) {
                if (kind == "menu") {
                    asked = text;
                    return menuTag;
                }
                return kind == "confirm" ? confirm : std::string();
            });
    }

    // One event through the loop, then the menu choice it may have queued.
    static void PassWithChoice(int id, const void *source, int data) {
        FlushEvents();
        Event event;
        event.id = id;
        event.source = source;
        event.data = data;
        QueueEvent(event);
        RunMainLoopPass();
        if (QueuedEventCount() > 0)
            RunMainLoopPass();
    }

    static std::string RatingFile(const std::string &file) {
        return LoadText(RatingFilePath(file)).value_or("(none)");
    }

    std::string asked;
};

TEST_F(MenusTest, RatingMenu_noSelection_opensOnTheFirstItemWithItsTicks) {
    test::WriteStation("a.hvn", "Alpha", 1);
    test::WriteStation("b.hvn", "Bravo", 1);
    test::WriteRating("a.hvn", 4, 1);
    LoadStationCatalogue();
    FillStationList(0, 0);
    ASSERT_EQ(GadgetItemIcon(StationListBox, 0), 10);
    SelectGadgetItem(StationListBox, 0);
    DeselectGadgetItem(StationListBox, 0);
    Answer("");
    PassWithChoice(GadgetMenu, StationListBox, 0);
    EXPECT_EQ(asked, "Popupmenu_Rating");
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 0);
    EXPECT_EQ(RatingMenuStationFile, "a.hvn");
    EXPECT_TRUE(MenuChecked(Rating4MenuItem));
    EXPECT_FALSE(MenuChecked(Rating0MenuItem));
    EXPECT_TRUE(MenuChecked(FavouriteMenuItem));
    EXPECT_EQ(DbRating, 4);
    EXPECT_EQ(DbFavourite, 1);
}

TEST_F(MenusTest, RatingMenu_favouriteItem_keepsTheRating) {
    test::WriteStation("a.hvn", "Alpha", 1);
    test::WriteRating("a.hvn", 4, 1);
    LoadStationCatalogue();
    FillStationList(0, 0);
    Answer("806");
    PassWithChoice(GadgetMenu, StationListBox, 0);
    EXPECT_EQ(RatingFile("a.hvn"), "4\r\n0\r\n");
    EXPECT_EQ(GadgetItemIcon(StationListBox, 0), 4);
}

TEST_F(MenusTest, RatingMenu_ratingItem_withoutRatingFile_writesTheRating) {
    test::WriteStation("b.hvn", "Bravo", 1);
    LoadStationCatalogue();
    FillStationList(0, 0);
    Answer("803");
    PassWithChoice(GadgetMenu, StationListBox, 0);
    EXPECT_EQ(RatingFile("b.hvn"), "3\r\n0\r\n");
    EXPECT_EQ(GadgetItemIcon(StationListBox, 0), 3);
    Answer("800");
    PassWithChoice(GadgetMenu, StationListBox, 0);
    EXPECT_EQ(FileType(RatingFilePath("b.hvn")), FileKind::None);
}

TEST_F(MenusTest, RatingMenu_emptyList_opensNothing) {
    LoadStationCatalogue();
    FillStationList(0, 0);
    Answer("805");
    PassWithChoice(GadgetMenu, StationListBox, 0);
    EXPECT_EQ(asked, "");
}

TEST_F(MenusTest, RatingMenu_deleteItem_confirmedRemovesTheStation) {
    test::WriteStation("a.hvn", "Alpha", 1);
    test::WriteStation("b.hvn", "Bravo", 1);
    LoadStationCatalogue();
    FillStationList(0, 0);
    SelectGadgetItem(StationListBox, 1);
    Answer("807", "yes");
    PassWithChoice(GadgetMenu, StationListBox, 0);
    EXPECT_EQ(FileType("stations/b.hvn"), FileKind::None);
    EXPECT_EQ(CountGadgetItems(StationListBox), 1);
}

TEST(TickRatingMenu, Values_setTheTicks) {
    HVN_REQUIRE_DISPLAY();
    ASSERT_TRUE(test::EnsureTestWindow());
    DbFavourite = 0;
    TickRatingMenu(2);
    EXPECT_TRUE(MenuChecked(Rating2MenuItem));
    TickRatingMenu(9); // out of range: ticks kept
    EXPECT_TRUE(MenuChecked(Rating2MenuItem));
    EXPECT_EQ(DbRating, 9);
    TickRatingMenu(-1);
    EXPECT_FALSE(MenuChecked(Rating2MenuItem));
    EXPECT_FALSE(MenuChecked(FavouriteMenuItem));
}

TEST_F(MenusTest, MainMenu_rightPressOnTheListPage_opensIt) {
    Answer("900");
    PassWithChoice(MouseDown, StationListPage, 2);
    EXPECT_EQ(asked, "Popupmenu");
    EXPECT_FALSE(AboutPage->hidden);
    asked = "";
    Answer("902");
    PassWithChoice(MouseDown, StationTitleLabel, 1); // a left press opens nothing
    EXPECT_EQ(asked, "");
    PassWithChoice(MouseDown, AboutHeaderPanel, 2);
    EXPECT_EQ(asked, "Popupmenu");
    EXPECT_FALSE(StationListPage->hidden);
}

TEST_F(MenusTest, UpdateNow_press_clearsTheUpdatePageAndRunsTheUpdate) {
    UpdateServer = "http://127.0.0.1:1/hvn/"; // refused at once
    SetGadgetText(UpdateMiddleLabel, "old");
    UpdateProgBar(UpdateProgressBar, 0.5);
    AddTreeViewNode("old", TreeViewRoot(UpdateTreeView));
    PassWithChoice(MouseDown, UpdateNowButton, 1);
    EXPECT_FALSE(UpdatePage->hidden);
    EXPECT_EQ(GadgetText(UpdateMiddleLabel), "");
    EXPECT_EQ(UpdateProgressBar->progress, 0.0);
    for (Gadget *node : TreeViewRoot(UpdateTreeView)->children)
        EXPECT_NE(node->text, "old");
}

} // namespace
} // namespace hvn
