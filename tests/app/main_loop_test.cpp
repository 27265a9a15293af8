#include "app/main_loop.h"

#include "app/about.h"
#include "app/gadgets.h"
#include "app/menus.h"
#include "app/startup.h"
#include "app/window.h"
#include "app_env.h"
#include "catalogue/station_list.h"
#include "config/settings.h"
#include "core/fs.h"
#include "core/text_file.h"
#include "events/queue.h"
#include "gui/canvas/draw2d.h"
#include "playback/current_station.h"
#include "playback/spectrum.h"

#include <gtest/gtest.h>

namespace hvn {
namespace {

class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        static bool hooked = Hook();
        ASSERT_TRUE(hooked);
        test::WindowFresh() = false;
        CurrentStationName = "";
        CurrentStationFile = "";
        ListFavouritesOnly = 0;
        HoverGadget = nullptr;
        VolumeDragging = 0;
        for (const char *dir : {"stations", "db"})
            for (const std::string &name : ReadDirectory(dir).value_or(std::vector<std::string>{}))
                DeleteFile(std::string(dir) + "/" + name);
        StationMap.clear();
        ClearGadgetItems(StationListBox);
        ShowPage(0);
    }

    static bool Hook() {
        if (!test::EnsureTestWindow())
            return false;
        AddEmitHook(0, SpectrumPaintFilterHook);
        return true;
    }

    // Queues one event as the toolkit or a timer would and runs one pass of the loop.
    static void Pass(int id, const void *source, int data = 0, int x = 0, int y = 0) {
        FlushEvents();
        Event event;
        event.id = id;
        event.source = source;
        event.data = data;
        event.x = x;
        event.y = y;
        ASSERT_TRUE(QueueEvent(event));
        RunMainLoopPass();
    }

    // Stations in the catalogue whose files are then removed, so that playing one
    // returns at once instead of connecting.
    static void ListOf(const std::vector<std::string> &names) {
        for (size_t i = 0; i < names.size(); ++i)
            test::WriteStation("s" + std::to_string(i) + ".hvn", names[i], 1);
        LoadStationCatalogue();
        for (size_t i = 0; i < names.size(); ++i)
            DeleteFile("stations/s" + std::to_string(i) + ".hvn");
        FillStationList(0, 0);
    }
};

TEST_F(MainLoopTest, PaintFilter_spectrumCanvasPaint_neverQueued) {
    auto event = [](int id, const void *source) {
        Event e;
        e.id = id;
        e.source = source;
        return e;
    };
    FlushEvents();
    EmitEvent(event(GadgetPaint, SpectrumCanvas));
    EXPECT_EQ(QueuedEventCount(), 0);
    EmitEvent(event(GadgetPaint, LeftLevelCanvas));
    EmitEvent(event(MouseUp, SpectrumCanvas));
    EXPECT_EQ(QueuedEventCount(), 2);
    FlushEvents();
}

TEST_F(MainLoopTest, WheelScroll_optionsPanel_movesTwentyFivePixelsPerEvent) {
    ScrollScrollPanel(OptionsScrollPanel, 0, 0);
    const std::pair<int, int> steps[] = {{1, 0}, {-1, 25}, {-3, 50}, {2, 25}, {0, 0}, {5, 0}};
    for (const auto &[data, y] : steps) {
        Pass(MouseWheel, OptionsScrollPanel, data);
        EXPECT_EQ(ScrollPanelY(OptionsScrollPanel), y) << data;
    }
}

TEST_F(MainLoopTest, WheelScroll_creditsAndCreator_scrollToo) {
    ShowPage(5);
    for (Gadget *panel : {CreditsScrollPanel, CreatorScrollPanel}) {
        ScrollScrollPanel(panel, 0, 0);
        Pass(MouseWheel, panel, -1);
        EXPECT_EQ(ScrollPanelY(panel), 25);
        Pass(MouseDown, panel, 1); // not a wheel event: nothing
        EXPECT_EQ(ScrollPanelY(panel), 25);
    }
}

TEST_F(MainLoopTest, Hover_firstEnteredGadget_getsFocusUntilLeft) {
    Pass(MouseEnter, VolumeTrackPanel);
    EXPECT_EQ(HoverGadget, VolumeTrackPanel);
    Pass(MouseEnter, AboutButton);
    EXPECT_EQ(HoverGadget, VolumeTrackPanel);
    Pass(MouseLeave, AboutButton);
    EXPECT_EQ(HoverGadget, nullptr);
    Pass(MouseEnter, OptionsScrollPanel);
    EXPECT_EQ(FocusedGadget(), OptionsScrollPanel);
    Pass(MouseLeave, OptionsScrollPanel);
    Pass(MouseEnter, AboutButton);
    EXPECT_EQ(HoverGadget, OptionsScrollPanel); // a scroll panel stays remembered
}

TEST_F(MainLoopTest, UpdateTree_selectStationNode_addsDetailsOnce) {
    test::WriteStation("jazz.hvn", "Jazz FM", 17);
    LoadStationCatalogue();
    ClearTreeView(UpdateTreeView);
    Gadget *node = AddTreeViewNode("jazz.hvn", TreeViewRoot(UpdateTreeView), -1, "512 Bytes");
    Gadget *group = AddTreeViewNode("New Stations", TreeViewRoot(UpdateTreeView));
    SelectTreeViewNode(node);
    Pass(GadgetSelect, UpdateTreeView);
    Pass(GadgetSelect, UpdateTreeView);
    ASSERT_EQ(CountTreeViewNodes(node), 3);
    EXPECT_EQ(node->children[0]->text, "Jazz FM");
    EXPECT_EQ(node->children[1]->text, "Jazz & Soul");
    EXPECT_EQ(node->children[2]->text, "512 Bytes");
    SelectTreeViewNode(group);
    Pass(GadgetSelect, UpdateTreeView);
    EXPECT_EQ(CountTreeViewNodes(group), 0);
}

TEST_F(MainLoopTest, UpdateTree_actionOnOtherNode_onlySetsTheCurrentFile) {
    ClearTreeView(UpdateTreeView);
    Gadget *group = AddTreeViewNode("New Stations", TreeViewRoot(UpdateTreeView));
    SelectTreeViewNode(group);
    CurrentStationName = "Kept";
    ShowPage(3);
    Pass(GadgetAction, UpdateTreeView);
    EXPECT_EQ(CurrentStationFile, "New Stations");
    EXPECT_EQ(CurrentStationName, "Kept");
    EXPECT_FALSE(UpdatePage->hidden);
}

TEST_F(MainLoopTest, StationList_action_playsTheSelectedFile) {
    ListOf({"Alpha", "Bravo"});
    SelectGadgetItem(StationListBox, 1);
    ActivateGadget(CategoryComboBox);
    Pass(GadgetAction, StationListBox, 1);
    EXPECT_EQ(CurrentStationFile, "s1.hvn");
    EXPECT_EQ(FocusedGadget(), StationListBox);
    const int redraws = StationListBox->redraws;
    Pass(GadgetSelect, StationListBox, 0);
    EXPECT_GT(StationListBox->redraws, redraws);
}

TEST_F(MainLoopTest, HistoryToggle_action_swapsTheListPanels) {
    SetButtonState(HistoryToggleButton, true);
    Pass(GadgetAction, HistoryToggleButton);
    EXPECT_TRUE(PlayerListPanels[0]->hidden);
    EXPECT_FALSE(PlayerListPanels[1]->hidden);
    EXPECT_EQ(GadgetTooltip(HistoryToggleButton), "Server Url");
    SetButtonState(HistoryToggleButton, false);
    Pass(GadgetAction, HistoryToggleButton);
    EXPECT_FALSE(PlayerListPanels[0]->hidden);
    EXPECT_TRUE(PlayerListPanels[1]->hidden);
    EXPECT_EQ(GadgetTooltip(HistoryToggleButton), "Song History");
}

TEST_F(MainLoopTest, StreamUrlList_action_hidesPlayerAndNextUrlButton) {
    ShowPage(1);
    ShowGadget(NextUrlButton);
    Pass(GadgetAction, StreamUrlListBox);
    EXPECT_TRUE(PlayerPage->hidden);
    EXPECT_TRUE(NextUrlButton->hidden);
}

struct PressCase {
    const char *name;
    Gadget **button;
    Gadget **shownPage;
};

TEST_F(MainLoopTest, PageButtons_press_showTheirPage) {
    const PressCase cases[] = {
        {"about", &AboutButton, &AboutPage},
        {"options", &OptionsButton, &OptionsPage},
        {"credits", &AboutMakerLabel, &CreditsPage},
        {"player back", &PlayerBackButton, &StationListPage},
    };
    for (const PressCase &c : cases) {
        SCOPED_TRACE(c.name);
        ShowPage(7);
        Pass(MouseUp, *c.button, 1); // only a press counts
        EXPECT_TRUE((*c.shownPage)->hidden);
        Pass(MouseDown, *c.button, 1);
        EXPECT_FALSE((*c.shownPage)->hidden);
        EXPECT_TRUE(ConnectingPage->hidden);
    }
    EXPECT_EQ(ScrollPanelY(CreditsScrollPanel), 0);
    EXPECT_EQ(CreditsLineCount, 48);
}

TEST_F(MainLoopTest, PlayerBack_currentStation_selectedInTheList) {
    ListOf({"Alpha", "Bravo", "Charlie"});
    CurrentStationName = "Bravo";
    SelectGadgetItem(StationListBox, 0);
    Pass(MouseDown, PlayerBackButton, 1);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 1);
    CurrentStationName = "Nobody";
    Pass(MouseDown, PlayerBackButton, 1);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 1);
}

TEST_F(MainLoopTest, NextAndPrevious_stopAtTheListEnds) {
    ListOf({"Alpha", "Bravo", "Charlie"});
    SelectGadgetItem(StationListBox, 1);
    Pass(MouseDown, NextStationButton, 1);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 2);
    EXPECT_EQ(CurrentStationFile, "s2.hvn");
    EXPECT_FALSE(ConnectingPage->hidden);
    ShowPage(0);
    Pass(MouseDown, NextStationButton, 1);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 2);
    EXPECT_FALSE(StationListPage->hidden); // nothing changed at the end
    SelectGadgetItem(StationListBox, 0);
    Pass(MouseDown, PreviousStationButton, 1);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 0);
    Pass(MouseDown, PreviousStationButton, 2);
    SelectGadgetItem(StationListBox, 1);
    Pass(MouseDown, PreviousStationButton, 1);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 0);
}

TEST_F(MainLoopTest, Next_noSelection_switchesToAllStationsFirst) {
    ListOf({"Alpha", "Bravo", "Charlie"});
    ListFavouritesOnly = 1;
    ClearGadgetItems(StationListBox);
    CurrentStationName = "Alpha";
    PlayNextStation();
    EXPECT_EQ(ListFavouritesOnly, 0);
    EXPECT_EQ(CountGadgetItems(StationListBox), 3);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 1);
    CurrentStationName = "Nobody";
    ClearGadgetItems(StationListBox);
    PlayPreviousStation();
    EXPECT_EQ(SelectedGadgetItem(StationListBox), -1);
}

TEST_F(MainLoopTest, CategoryChooser_choiceRefillsAndTypingFilters) {
    test::WriteStation("a.hvn", "Smooth Jazz", 17);
    test::WriteStation("b.hvn", "Rock One", 20);
    LoadStationCatalogue();
    SelectGadgetItem(CategoryComboBox, 20); // genre 17
    Pass(GadgetAction, CategoryComboBox, 20);
    EXPECT_EQ(CategoryIndex, 20);
    ASSERT_EQ(CountGadgetItems(StationListBox), 1);
    EXPECT_EQ(GadgetItemText(StationListBox, 0), "Smooth Jazz");
    SetGadgetText(CategoryComboBox, "rock");
    Pass(GadgetAction, CategoryComboBox, -1);
    ASSERT_EQ(CountGadgetItems(StationListBox), 1);
    EXPECT_EQ(GadgetItemText(StationListBox, 0), "Rock One");
    SelectGadgetItem(CategoryComboBox, 0);
}

TEST_F(MainLoopTest, SpectrumCanvas_rightReleases_cycleTheStyle) {
    SpectrumStyle = 0;
    const int expected[] = {1, 2, 0};
    for (int style : expected) {
        Pass(MouseUp, SpectrumCanvas, 2);
        EXPECT_EQ(SpectrumStyle, style);
    }
    Pass(MouseDown, SpectrumCanvas, 2);
    EXPECT_EQ(SpectrumStyle, 0);
}

struct DragCase {
    int volume;
    int pressX;
    int moveX;
    int knobX;
    int newVolume;
};

TEST_F(MainLoopTest, VolumeKnob_drag_movesInStepsOfTwoWithinTheTrack) {
    const DragCase cases[] = {
        {60, 2, 82, 50, 100}, // 80 pixels right from 60 stops at the end
        {60, 2, -80, 0, 0},   // beyond the left end
        {40, 1, 4, 23, 46},   // three pixels: volume in steps of 2
        {99, 0, 0, 49, 98},   // 99 starts at x 49
    };
    for (const DragCase &c : cases) {
        SCOPED_TRACE(c.volume);
        Volume = c.volume;
        SetGadgetShape(VolumeKnob, Volume / 2, 4, 5, 22);
        Pass(MouseDown, VolumeKnob, 1, c.pressX, 5);
        Pass(MouseMove, VolumeKnob, 0, c.moveX, 5);
        Pass(MouseUp, VolumeKnob, 1, c.moveX, 5);
        EXPECT_EQ(VolumeKnob->x, c.knobX);
        EXPECT_EQ(VolumeKnob->y, 4);
        EXPECT_EQ(VolumeKnob->w, 5);
        EXPECT_EQ(Volume, c.newVolume);
        EXPECT_EQ(VolumeDragging, 0);
    }
    EXPECT_EQ(GadgetTooltip(VolumeKnob), "Volume 98%");
}

TEST_F(MainLoopTest, VolumeKnob_moveWithoutPress_doesNothing) {
    Volume = 60;
    SetGadgetShape(VolumeKnob, 30, 4, 5, 22);
    Pass(MouseMove, VolumeKnob, 0, 20, 5);
    Pass(MouseDown, VolumeTrackPanel, 1, 45, 5);
    EXPECT_EQ(VolumeKnob->x, 30);
    EXPECT_EQ(Volume, 60);
}

TEST_F(MainLoopTest, NowPlaying_press_showsThePlayerOnlyWithAStation) {
    Pass(MouseDown, NowPlayingButton, 1);
    EXPECT_TRUE(PlayerPage->hidden);
    ListOf({"Alpha", "Bravo"});
    CurrentStationName = "Bravo";
    Pass(MouseDown, NowPlayingButton, 1);
    EXPECT_FALSE(PlayerPage->hidden);
    EXPECT_TRUE(StationListPage->hidden);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 1);
}

TEST_F(MainLoopTest, FavouritesToggle_press_switchesModeListAndLook) {
    test::WriteStation("a.hvn", "Fav", 1);
    test::WriteStation("b.hvn", "Plain", 1);
    test::WriteRating("a.hvn", 0, 1);
    LoadStationCatalogue();
    SelectGadgetItem(CategoryComboBox, 0);
    Pass(MouseDown, FavouritesToggleButton, 1);
    EXPECT_EQ(ListFavouritesOnly, 1);
    EXPECT_EQ(CountGadgetItems(StationListBox), 1);
    EXPECT_EQ(GadgetTooltip(FavouritesToggleButton), "List All Stations");
    Pass(MouseDown, FavouritesToggleButton, 1);
    EXPECT_EQ(ListFavouritesOnly, 0);
    EXPECT_EQ(CountGadgetItems(StationListBox), 2);
    EXPECT_EQ(GadgetTooltip(FavouritesToggleButton), "List Favourite Stations");
}

TEST_F(MainLoopTest, BackButtons_returnToPlayerOrList) {
    struct Case {
        Gadget **button;
        Gadget **page;
        const char *station;
        Gadget **shown;
    };
    const Case cases[] = {{&AboutBackButton, &AboutPage, "Radio", &PlayerPage},
                          {&AboutBackButton, &AboutPage, "", &StationListPage},
                          {&CreditsBackButton, &CreditsPage, "Radio", &PlayerPage},
                          {&CreditsBackButton, &CreditsPage, "", &StationListPage}};
    for (const Case &c : cases) {
        ShowPage((*c.page == AboutPage) ? 4 : 5);
        CurrentStationName = c.station;
        Pass(MouseDown, *c.button, 1);
        EXPECT_TRUE((*c.page)->hidden);
        EXPECT_FALSE((*c.shown)->hidden);
        Gadget *other = *c.shown == PlayerPage ? StationListPage : PlayerPage;
        EXPECT_TRUE(other->hidden);
    }
}

TEST_F(MainLoopTest, CreatorCancel_press_deletesTheWorkFileAndShowsTheList) {
    CreateDir("creator");
    ASSERT_TRUE(SaveBytes("creator/station_id.txt", "x"));
    ShowPage(6);
    Pass(MouseDown, CreatorCancelButton, 1);
    EXPECT_EQ(FileType("creator/station_id.txt"), FileKind::None);
    EXPECT_TRUE(CreatorPage->hidden);
    EXPECT_FALSE(StationListPage->hidden);
}

TEST_F(MainLoopTest, UpdateBack_press_returnsToTheAboutPage) {
    ShowPage(3);
    Pass(MouseDown, UpdateBackButton, 1);
    EXPECT_TRUE(UpdatePage->hidden);
    EXPECT_FALSE(AboutPage->hidden);
}

TEST_F(MainLoopTest, WindowSize_redrawsTheWindow) {
    const int redraws = MainWindow->redraws;
    Pass(WindowSize, MainWindow);
    EXPECT_GT(MainWindow->redraws, redraws);
}

TEST_F(MainLoopTest, MenuTags_showTheirPages) {
    const std::pair<int, Gadget **> cases[] = {
        {900, &AboutPage}, {901, &OptionsPage}, {902, &StationListPage}, {907, &CreditsPage}};
    for (const auto &[tag, page] : cases) {
        ShowPage(7);
        Pass(MenuAction, nullptr, tag);
        EXPECT_FALSE((*page)->hidden) << tag;
        EXPECT_TRUE(ConnectingPage->hidden) << tag;
    }
    ShowPage(7);
    Pass(MenuAction, nullptr, 999);
    EXPECT_FALSE(ConnectingPage->hidden);
}

TEST_F(MainLoopTest, Menus_builtWithTheirTagsAndTexts) {
    ASSERT_NE(TrayMenu, nullptr);
    EXPECT_EQ(TrayMenu->text, "Popupmenu");
    EXPECT_EQ(RatingMenu->text, "Popupmenu_Rating");
    const std::pair<Gadget **, int> tags[] = {
        {&MuteMenuItem, 908},          {&AboutMenuItem, 900},      {&OptionsMenuItem, 901},
        {&StationListMenuItem, 902},   {&CreditsMenuItem, 907},    {&ExitMenuItem, 905},
        {&Rating0MenuItem, 800},       {&Rating5MenuItem, 805},    {&FavouriteMenuItem, 806},
        {&DeleteStationMenuItem, 807}, {&EditStationMenuItem, 809}};
    for (const auto &[item, tag] : tags)
        EXPECT_EQ((*item)->tag, tag);
    EXPECT_EQ(TrayMenu->children.size(), 7u);
    EXPECT_EQ(RatingMenu->children.size(), 10u);
    EXPECT_EQ(ExitMenuItem->text, "Exit HVN");
}

// Without a station the 30 Hz tick draws the logo alone, the meters not at all; the poll
// tick without a sound and any other timer's tick draw nothing.
TEST_F(MainLoopTest, Ticks_spectrumAndOtherTimers_runWithoutAStation) {
    ASSERT_FALSE(CurrentSound);
    ASSERT_FALSE(CurrentChannel);
    KeepCanvasFrames(true);
    ShowPage(1);
    for (int i = 0; i < 100 && !CanvasOnScreen(SpectrumCanvas); ++i)
        PumpEvents(0.05);
    ASSERT_TRUE(CanvasOnScreen(SpectrumCanvas)) << "the player page is not shown";
    SpectrumTimer = Timer::Create(30.0);
    HousekeepingTimer = Timer::Create(0.5);
    auto other = Timer::Create(4.0);
    for (Timer *timer : {SpectrumTimer.get(), HousekeepingTimer.get(), other.get()})
        timer->Stop(); // only the ticks the test posts
    const PixmapPtr logo = CreatePixmap(274, 87);
    for (size_t i = 0; i < logo->pixels.size(); ++i)
        logo->pixels[i] = 0xff000000u | uint32_t(i * 2654435761u >> 8);
    StationLogo = logo;
    const uint64_t meters = CanvasFramesDrawn(LeftLevelCanvas);

    Pass(TimerTick, SpectrumTimer.get(), 1);
    EXPECT_EQ(ReadCanvasPixels(SpectrumCanvas), logo->pixels) << "the frame is not the logo";
    EXPECT_EQ(CanvasFramesDrawn(LeftLevelCanvas), meters) << "meters drawn without a station";

    const uint64_t frames = CanvasFramesDrawn(SpectrumCanvas);
    const std::string title = GadgetText(StationTitleLabel);
    std::fill(logo->pixels.begin(), logo->pixels.end(), 0xff0000ffu);
    MarkPixmapChanged(*logo);
    IsPlaying = 1;
    Pass(TimerTick, HousekeepingTimer.get(), 1);
    Pass(TimerTick, other.get(), 1);
    Pass(TimerTick, nullptr, 1);
    IsPlaying = 0;
    EXPECT_EQ(CanvasFramesDrawn(SpectrumCanvas), frames) << "a frame drawn on another tick";
    EXPECT_EQ(GadgetText(StationTitleLabel), title);
    StationLogo.reset();
    SpectrumTimer.reset();
    HousekeepingTimer.reset();
}

// The program ends inside the pass: settings saved, exit status 0.
void ExpectShutdown(int id, const void *source, int data) {
    // The child process re-runs the set-up in a directory of its own; it saves into ours.
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    ::setenv("HVN_SHUTDOWN_DIR", CurrentDir().c_str(), 0); // the child keeps ours
    DeleteFile("hvn.ini");
    EXPECT_EXIT(
        {
            ChangeDir(std::getenv("HVN_SHUTDOWN_DIR"));
            Event event;
            event.id = id;
            event.source = source;
            event.data = data;
            FlushEvents();
            QueueEvent(event);
            RunMainLoopPass();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(FileType("hvn.ini"), FileKind::File);
    DeleteFile("hvn.ini");
}

TEST_F(MainLoopTest, Shutdown_windowClose_savesAndExits) {
    ExpectShutdown(WindowClose, MainWindow, 0);
}

TEST_F(MainLoopTest, Shutdown_terminateAndExitTag_saveAndExit) {
    ExpectShutdown(AppTerminate, nullptr, 0);
    ExpectShutdown(MenuAction, ExitMenuItem, 905);
}

} // namespace
} // namespace hvn
