// The main loop's rows that hand events to the station creator.
#include "app/gadgets.h"
#include "app/main_loop.h"
#include "app/menus.h"
#include "app/window.h"
#include "app_env.h"
#include "catalogue/station_list.h"
#include "core/fs.h"
#include "core/text_file.h"
#include "events/queue.h"
#include "playback/current_station.h"

#include <gtest/gtest.h>

namespace hvn {
namespace {

class CreatorRowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        ASSERT_TRUE(test::EnsureTestWindow());
        test::WindowFresh() = false;
        CurrentStationName = "";
        ShowPage(0);
    }

    static void Pass(int id, const void *source, int data = 0,
                     std::optional<std::string> extra = {}) {
        FlushEvents();
        Event event;
        event.id = id;
        event.source = source;
        event.data = data;
        event.extra = std::move(extra);
        QueueEvent(event);
        RunMainLoopPass();
    }
};

TEST_F(CreatorRowsTest, CreatorButton_press_opensAnEmptyCreator) {
    SetGadgetText(CreatorNameField, "left over");
    Pass(MouseDown, CreatorButton, 1);
    EXPECT_FALSE(CreatorPage->hidden);
    EXPECT_NE(GadgetText(CreatorNameField), "left over");
}

TEST_F(CreatorRowsTest, EditTag_selectedStation_fillsTheCreator) {
    test::WriteStation("edit.hvn", "Edit Me", 5, {"http://127.0.0.1:9/a", "http://127.0.0.1:9/b"});
    LoadStationCatalogue();
    FillStationList(0, 0);
    SelectGadgetItem(StationListBox, 0);
    Pass(MenuAction, EditStationMenuItem, 809);
    EXPECT_FALSE(CreatorPage->hidden);
    EXPECT_EQ(GadgetText(CreatorNameField), "Edit Me");
    EXPECT_EQ(SelectedGadgetItem(CreatorGenreComboBox), 5);
    DeleteFile("stations/edit.hvn");
    ShowPage(0);
    Pass(MenuAction, EditStationMenuItem, 809); // the file is gone: nothing
    EXPECT_TRUE(CreatorPage->hidden);
}

TEST_F(CreatorRowsTest, FileDrop_playlist_importedIntoTheCreator) {
    ASSERT_TRUE(SaveBytes("drop.pls", "[playlist]\r\nNumberOfEntries=1\r\n"
                                      "File1=http://127.0.0.1:9/dropped\r\nTitle1=Dropped\r\n"));
    Pass(WindowAccept, MainWindow, 0, CurrentDir() + "/drop.pls");
    EXPECT_FALSE(CreatorPage->hidden);
    bool listed = false;
    for (int i = 0; i < CountGadgetItems(CreatorUrlComboBox); ++i)
        listed |= GadgetItemText(CreatorUrlComboBox, i) == "http://127.0.0.1:9/dropped";
    EXPECT_TRUE(listed);
}

TEST_F(CreatorRowsTest, AddUrlLink_leftRelease_addsTheEntry) {
    Pass(MouseDown, CreatorButton, 1);
    const int before = CountGadgetItems(CreatorUrlComboBox);
    SetGadgetText(CreatorUrlField, "http://127.0.0.1:9/new");
    Pass(MouseUp, CreatorAddUrlLabel, 2); // right button: nothing
    EXPECT_EQ(CountGadgetItems(CreatorUrlComboBox), before);
    ActivateGadget(StationListBox);
    Pass(MouseUp, CreatorAddUrlLabel, 1);
    EXPECT_GT(CountGadgetItems(CreatorUrlComboBox), before);
    EXPECT_EQ(FocusedGadget(), CreatorScrollPanel);
}

} // namespace
} // namespace hvn
