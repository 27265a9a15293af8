#include "app/about.h"
#include "app/gadgets.h"
#include "app/window.h"
#include "app_env.h"
#include "gui/gui.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace hvn {
namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        ASSERT_TRUE(test::EnsureTestWindow());
        HiddenToTray = 0;
        SetGadgetShape(MainWindow, GadgetX(MainWindow), GadgetY(MainWindow), 278, 154);
        PollSystem();
    }
};

struct Shape {
    const char *name;
    Gadget **gadget;
    Gadget **parent;
    int x, y, w, h;
    int dy, dh; // change after the window grows by 100 pixels
};

// clang-format off
const Shape kShapes[] = {
    {"StationListPage", &StationListPage, &MainWindow, 0, 0, 278, 154, 0, 100},
    {"StationListBox", &StationListBox, &StationListPage, -1, -1, 280, 121, 0, 100},
    {"CategoryComboBox", &CategoryComboBox, &StationListPage, 33, 124, 152, 28, 100, 0},
    {"NowPlayingButton", &NowPlayingButton, &StationListPage, 2, 123, 30, 30, 100, 0},
    {"FavouritesToggleButton", &FavouritesToggleButton, &StationListPage, 186, 123, 30, 30, 100, 0},
    {"OptionsButton", &OptionsButton, &StationListPage, 216, 123, 30, 30, 100, 0},
    {"AboutButton", &AboutButton, &StationListPage, 246, 123, 30, 30, 100, 0},
    {"TrayPanel", &TrayPanel, &MainWindow, 0, 0, 0, 0, 0, 0},
    {"BusyLabel", &BusyLabel, &MainWindow, 0, 3, 278, 16, 0, 0},
    {"ConnectingPage", &ConnectingPage, &MainWindow, 0, 0, 278, 154, 0, 100},
    {"ConnectingLogoPanel", &ConnectingLogoPanel, &ConnectingPage, 2, 33, 274, 87, 0, 0},
    {"ConnectingTitleLabel", &ConnectingTitleLabel, &ConnectingPage, 0, 3, 278, 16, 0, 0},
    {"ConnectingStatusLabel", &ConnectingStatusLabel, &ConnectingPage, 0, 19, 278, 16, 0, 0},
    {"ConnectingInfoLabel", &ConnectingInfoLabel, &ConnectingPage, 0, 64, 278, 16, 0, 0},
    {"ConnectLamp1", &ConnectLamp1, &ConnectingPage, 2, 133, 16, 16, 100, 0},
    {"ConnectLamp4", &ConnectLamp4, &ConnectingPage, 59, 133, 16, 16, 100, 0},
    {"ConnectingBackButton", &ConnectingBackButton, &ConnectingPage, 246, 123, 30, 30, 100, 0},
    {"ConnectingStopButton", &ConnectingStopButton, &ConnectingPage, 136, 123, 30, 30, 100, 0},
    {"NextUrlButton", &NextUrlButton, &ConnectingPage, 166, 123, 30, 30, 100, 0},
    {"PlayerPage", &PlayerPage, &MainWindow, 0, 0, 278, 154, 0, 100},
    {"StationTitleLabel", &StationTitleLabel, &PlayerPage, 0, 3, 278, 16, 0, 0},
    {"StationStatusLabel", &StationStatusLabel, &PlayerPage, 0, 19, 278, 16, 0, 0},
    {"SpectrumCanvas", &SpectrumCanvas, &PlayerPage, 2, 33, 274, 87, 0, 0},
    {"HistoryToggleButton", &HistoryToggleButton, &PlayerPage, 64, 141, 12, 12, 100, 0},
    {"PlayerListPanel0", &PlayerListPanels[0], &PlayerPage, 0, 119, 278, 0, 0, 100},
    {"PlayerListPanel1", &PlayerListPanels[1], &PlayerPage, 0, 119, 278, 0, 0, 100},
    {"LeftLevelCanvas", &LeftLevelCanvas, &PlayerPage, 211, 133, 10, 15, 100, 0},
    {"RightLevelCanvas", &RightLevelCanvas, &PlayerPage, 222, 133, 10, 15, 100, 0},
    {"VolumeTrackPanel", &VolumeTrackPanel, &PlayerPage, 2, 123, 55, 30, 100, 0},
    {"PlayerBackButton", &PlayerBackButton, &PlayerPage, 246, 123, 30, 30, 100, 0},
    {"NextStationButton", &NextStationButton, &PlayerPage, 166, 123, 30, 30, 100, 0},
    {"StopButton", &StopButton, &PlayerPage, 106, 123, 30, 30, 100, 0},
    {"MuteButton", &MuteButton, &PlayerPage, 136, 123, 30, 30, 100, 0},
    {"PreviousStationButton", &PreviousStationButton, &PlayerPage, 76, 123, 30, 30, 100, 0},
    {"AboutPage", &AboutPage, &MainWindow, 0, 0, 278, 154, 0, 100},
    {"AboutHeaderPanel", &AboutHeaderPanel, &AboutPage, 0, 0, 278, 76, 0, 0},
    {"AboutNameLabel", &AboutNameLabel, &AboutHeaderPanel, 2, 3, 192, 16, 0, 0},
    {"AboutMakerLabel", &AboutMakerLabel, &AboutHeaderPanel, 2, 19, 192, 16, 0, 0},
    {"AboutBuildLabel", &AboutBuildLabel, &AboutHeaderPanel, 2, 39, 192, 16, 0, 0},
    {"AboutVersionLabel", &AboutVersionLabel, &AboutHeaderPanel, 2, 55, 192, 16, 0, 0},
    {"AboutNoticeLabel1", &AboutNoticeLabel1, &AboutPage, 2, 83, 272, 16, 0, 0},
    {"AboutNoticeLabel2", &AboutNoticeLabel2, &AboutPage, 2, 99, 272, 16, 0, 0},
    {"AboutLogoPanel", &AboutLogoPanel, &AboutHeaderPanel, 220, 18, 40, 40, 0, 0},
    {"AboutBackButton", &AboutBackButton, &AboutPage, 246, 123, 30, 30, 100, 0},
    {"UpdateNowButton", &UpdateNowButton, &AboutPage, 2, 123, 30, 30, 100, 0},
    {"CreatorButton", &CreatorButton, &AboutPage, 32, 123, 30, 30, 100, 0},
    {"OptionsPage", &OptionsPage, &MainWindow, 0, 0, 278, 154, 0, 100},
    {"OptionsScrollPanel", &OptionsScrollPanel, &OptionsPage, 0, 0, 278, 121, 0, 100},
    {"LanguageComboBox", &LanguageComboBox, &OptionsClient, 2, 2, 180, 28, 0, 0},
    {"SkinComboBox", &SkinComboBox, &OptionsClient, 2, 36, 140, 28, 0, 0},
    {"BufferSizeComboBox", &BufferSizeComboBox, &OptionsClient, 2, 70, 60, 28, 0, 0},
    {"LanguageCaption", &LanguageCaption, &OptionsClient, 187, 5, 68, 22, 0, 0},
    {"SaveWindowPositionCheckBox", &SaveWindowPositionCheckBox, &OptionsClient, 2, 97, 227, 28, 0, 0},
    {"CustomColorCheckBox", &CustomColorCheckBox, &OptionsClient, 2, 153, 16, 28, 0, 0},
    {"BackgroundColorSwatch", &BackgroundColorSwatch, &OptionsClient, 20, 157, 32, 16, 0, 0},
    {"LabelColorSwatch", &LabelColorSwatch, &OptionsClient, 61, 157, 32, 16, 0, 0},
    {"UpdateServerField", &UpdateServerField, &OptionsClient, 20, 209, 220, 22, 0, 0},
    {"ForceOpenGLCheckBox", &ForceOpenGLCheckBox, &OptionsClient, 2, 321, 227, 28, 0, 0},
    {"OptionsCloseButton", &OptionsCloseButton, &OptionsPage, 246, 123, 30, 30, 100, 0},
    {"CreditsPage", &CreditsPage, &MainWindow, 0, 0, 278, 154, 0, 100},
    {"CreditsScrollPanel", &CreditsScrollPanel, &CreditsPage, 0, 0, 278, 121, 0, 100},
    {"CreditsBackButton", &CreditsBackButton, &CreditsPage, 246, 123, 30, 30, 100, 0},
    {"CreatorPage", &CreatorPage, &MainWindow, 0, 0, 278, 154, 0, 100},
    {"CreatorScrollPanel", &CreatorScrollPanel, &CreatorPage, 0, 0, 278, 118, 0, 100},
    {"CreatorNameField", &CreatorNameField, &CreatorClient, 2, 2, 253, 22, 0, 0},
    {"CreatorUrlComboBox", &CreatorUrlComboBox, &CreatorClient, 2, 74, 218, 22, 0, 0},
    {"CreatorRemoveUrlLabel", &CreatorRemoveUrlLabel, &CreatorClient, 225, 74, 35, 22, 0, 0},
    {"CreatorGenreComboBox", &CreatorGenreComboBox, &CreatorClient, 2, 122, 253, 22, 0, 0},
    {"CreatorLogoPreview", &CreatorLogoPreview, &CreatorClient, 2, 170, 220, 70, 0, 0},
    {"CreatorChooseLogoLabel", &CreatorChooseLogoLabel, &CreatorClient, 225, 170, 30, 22, 0, 0},
    {"CreatorSaveButton", &CreatorSaveButton, &CreatorPage, 216, 123, 30, 30, 100, 0},
    {"CreatorCancelButton", &CreatorCancelButton, &CreatorPage, 246, 123, 30, 30, 100, 0},
    {"UpdatePage", &UpdatePage, &MainWindow, 0, 0, 278, 154, 0, 100},
    {"UpdateStatusLabel", &UpdateStatusLabel, &UpdatePage, 2, 3, 232, 16, 0, 0},
    {"UpdatePercentLabel", &UpdatePercentLabel, &UpdatePage, 234, 3, 40, 16, 0, 0},
    {"UpdateProgressBar", &UpdateProgressBar, &UpdatePage, 0, 19, 278, 16, 0, 0},
    {"UpdateTreeView", &UpdateTreeView, &UpdatePage, -1, 38, 282, 82, 0, 100},
    {"UpdateBuildLabel", &UpdateBuildLabel, &UpdatePage, 2, 129, 181, 22, 100, 0},
    {"UpdateMiddleLabel", &UpdateMiddleLabel, &UpdatePage, 113, 129, 102, 22, 100, 0},
    {"UpdateRightLabel", &UpdateRightLabel, &UpdatePage, 217, 129, 16, 22, 100, 0},
    {"UpdateBackButton", &UpdateBackButton, &UpdatePage, 246, 123, 30, 30, 100, 0},
};
// clang-format on

void ExpectShape(const Shape &s, int dy, int dh) {
    SCOPED_TRACE(s.name);
    Gadget *g = *s.gadget;
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->parent, *s.parent);
    EXPECT_EQ(g->x, s.x);
    EXPECT_EQ(g->y, s.y + dy);
    EXPECT_EQ(g->w, s.w);
    EXPECT_EQ(g->h, s.h + dh);
}

TEST_F(WindowTest, Construction_everyGadget_hasItsParentAndShape) {
    for (const Shape &s : kShapes)
        ExpectShape(s, 0, 0);
    EXPECT_EQ(ClientWidth(MainWindow), 278);
    EXPECT_EQ(ClientHeight(MainWindow), 154);
    EXPECT_EQ(StreamUrlListBox->parent, PlayerListPanels[0]);
    EXPECT_EQ(SongHistoryListBox->parent, PlayerListPanels[1]);
}

TEST_F(WindowTest, Construction_volumeKnob_startsAtHalfTheVolume) {
    // Settings defaults: volume 100. (A knob drag test in the same process moves it.)
    if (Volume == 100) {
        EXPECT_EQ(VolumeKnob->x, 50);
    }
    EXPECT_EQ(VolumeKnob->parent, VolumeTrackPanel);
    EXPECT_EQ(VolumeKnob->y, 4);
    EXPECT_EQ(VolumeKnob->w, 5);
    EXPECT_EQ(VolumeKnob->h, 22);
}

TEST_F(WindowTest, Resize_hundredPixelsTaller_listPanelsGrowAndBottomGadgetsMove) {
    SetGadgetShape(MainWindow, GadgetX(MainWindow), GadgetY(MainWindow), 278, 254);
    PollSystem();
    // Inside the scroll panels' clients the gadgets follow the client, whose resizing is
    // the gadget layer's matter; they are checked at construction only.
    for (const Shape &s : kShapes)
        if (*s.parent != OptionsClient && *s.parent != CreatorClient)
            ExpectShape(s, s.dy, s.dh);
    EXPECT_EQ(StreamUrlListBox->h, 98);
    EXPECT_EQ(SongHistoryListBox->h, 98);
    EXPECT_EQ(StreamUrlListBox->w, 280);
}

TEST_F(WindowTest, Construction_unsavedPosition_windowCentredWithFixedWidth) {
    EXPECT_EQ(MainWindow->style, 739);
    EXPECT_EQ(MainWindow->text, " Halvane");
    EXPECT_EQ(GadgetX(MainWindow), (DesktopWidth() - 278) / 2);
    EXPECT_EQ(GadgetY(MainWindow), (DesktopHeight() - 154) / 2);
}

TEST_F(WindowTest, Construction_stacking_followsCreationOrder) {
    const auto &top = MainWindow->children;
    auto index = [&](Gadget *g) { return std::find(top.begin(), top.end(), g) - top.begin(); };
    EXPECT_LT(index(TrayPanel), index(StationListPage));
    EXPECT_LT(index(StationListPage), index(ConnectingPage));
    EXPECT_LT(index(ConnectingPage), index(BusyLabel));
    EXPECT_LT(index(BusyLabel), index(PlayerPage));
    EXPECT_LT(index(PlayerPage), index(AboutPage));
    EXPECT_LT(index(AboutPage), index(OptionsPage));
    EXPECT_LT(index(OptionsPage), index(CreditsPage));
    EXPECT_LT(index(CreditsPage), index(CreatorPage));
    EXPECT_LT(index(CreatorPage), index(UpdatePage));
    // The image buttons come last on their pages, after the menus were made.
    EXPECT_EQ(StationListPage->children.back(), AboutButton);
    EXPECT_EQ(PlayerPage->children.back(), PreviousStationButton);
}

TEST_F(WindowTest, Construction_contents_areTheInitialOnes) {
    if (!test::WindowFresh())
        GTEST_SKIP() << "the window was driven by another test of this process";
    ASSERT_EQ(CountGadgetItems(CategoryComboBox), 28);
    EXPECT_EQ(GadgetItemText(CategoryComboBox, 0), "(All Genre)");
    EXPECT_EQ(GadgetItemText(CategoryComboBox, 3), "(My Playlist)");
    EXPECT_EQ(GadgetItemText(CategoryComboBox, 17), "Folk & Latino");
    EXPECT_EQ(GadgetItemText(CategoryComboBox, 26), "Soundtrack & Movie");
    EXPECT_EQ(SelectedGadgetItem(CategoryComboBox), 0);
    EXPECT_EQ(CategoryComboBox->style, 1);
    ASSERT_EQ(CountGadgetItems(CreatorGenreComboBox), 25);
    EXPECT_EQ(GadgetItemTooltip(CreatorGenreComboBox, 0), "0");
    EXPECT_EQ(GadgetItemTooltip(CreatorGenreComboBox, 24), "24");
    EXPECT_EQ(CountGadgetItems(LanguageComboBox), 17);
    EXPECT_EQ(SelectedGadgetItem(LanguageComboBox), 4);
    EXPECT_EQ(CountGadgetItems(BufferSizeComboBox), 4);
    EXPECT_EQ(GadgetItemText(BufferSizeComboBox, 3), "64 KB");
    EXPECT_EQ(GadgetText(StationTitleLabel), "Halvane");
    EXPECT_EQ(GadgetText(ConnectingStatusLabel), "Connecting to radio station...");
    EXPECT_EQ(GadgetText(AboutBuildLabel), " #060813 (Linux TEST BUILD) ");
    EXPECT_EQ(GadgetText(ForceOpenGLCheckBox), "OpenGL Driver");
    EXPECT_FALSE(ForceOpenGLCheckBox->enabled);
    EXPECT_TRUE(ForceOpenGLCheckBox->hidden);
    EXPECT_TRUE(StartMinimizedCheckBox->hidden);
    EXPECT_TRUE(ButtonState(ShowErrorsCheckBox));
    EXPECT_FALSE(ButtonState(SaveStationCheckBox));
    EXPECT_EQ(GadgetText(UpdateServerField), UpdateServer);
    EXPECT_TRUE(BusyLabel->hidden);
    EXPECT_TRUE(HistoryToggleButton->hidden);
    EXPECT_EQ(HistoryToggleButton->style, 10);
    EXPECT_TRUE(AboutLogoPanel->pixmap != nullptr);
    for (Gadget *b : {PlayerBackButton, StopButton, UpdateBackButton}) {
        EXPECT_EQ(b->style, 4);
        EXPECT_EQ(b->lockBottom, 1);
        EXPECT_EQ(b->lockTop, 0);
    }
}

TEST_F(WindowTest, Construction_playerButtons_hiddenUntilThePlayerPageShows) {
    if (!test::WindowFresh())
        GTEST_SKIP() << "the window was driven by another test of this process";
    for (Gadget *b : {PlayerBackButton, NextStationButton, StopButton, MuteButton,
                      PreviousStationButton, VolumeTrackPanel})
        EXPECT_TRUE(b->hidden);
    SetPlayerButtonsHidden(2);
    for (Gadget *b : {PlayerBackButton, NextStationButton, StopButton, MuteButton,
                      PreviousStationButton, VolumeTrackPanel})
        EXPECT_FALSE(b->hidden);
    SetPlayerButtonsHidden(1);
    EXPECT_TRUE(StopButton->hidden);
}

Gadget *const *PagePanels() {
    static Gadget *const *pages[8] = {&StationListPage, &PlayerPage,    &OptionsPage,
                                      &UpdatePage,      &AboutPage,     &CreditsPage,
                                      &CreatorPage,     &ConnectingPage};
    static Gadget *panels[8];
    for (int i = 0; i < 8; ++i)
        panels[i] = *pages[i];
    return panels;
}

TEST_F(WindowTest, ShowPage_eachPage_showsOnlyItAndFocusesItsGadget) {
    Gadget *const *panels = PagePanels();
    Gadget *focus[8] = {nullptr, StationListBox,     OptionsScrollPanel, nullptr,
                        nullptr, CreditsScrollPanel, CreatorScrollPanel, nullptr};
    for (int page = 0; page < 8; ++page) {
        SCOPED_TRACE(page);
        ShowPage(page);
        for (int other = 0; other < 8; ++other)
            EXPECT_EQ(panels[other]->hidden, other != page);
        if (focus[page]) {
            EXPECT_EQ(FocusedGadget(), focus[page]);
        }
    }
    ShowPage(1);
    EXPECT_FALSE(HistoryToggleButton->hidden);
    EXPECT_FALSE(StopButton->hidden);
}

TEST_F(WindowTest, ShowPage_outOfRange_changesNoPageButRedraws) {
    ShowPage(6);
    const int redraws = MainWindow->redraws;
    for (int page : {8, -1}) {
        ShowPage(page);
        EXPECT_FALSE(CreatorPage->hidden);
        EXPECT_TRUE(StationListPage->hidden);
    }
    EXPECT_GT(MainWindow->redraws, redraws);
    EXPECT_FALSE(MainWindow->hidden);
}

TEST_F(WindowTest, ShowPage_creditsTwice_buildsTheListOnce) {
    ShowPage(5);
    ShowPage(5);
    EXPECT_EQ(CreditsLineCount, 48);
    EXPECT_EQ(CreditsClient->children.size(), 50u); // 48 labels and 2 pictures
    EXPECT_EQ(CreditsLabels[47]->y, 16 * 59 + 2);
    EXPECT_EQ(CreditsArtworkPanel->y, 115);
    ShowPage(6);
    EXPECT_TRUE(CreditsPage->hidden);
}

TEST_F(WindowTest, ShowPage_whileHidden_leavesTheWindowAlone) {
    HideGadget(MainWindow);
    HiddenToTray = 1;
    ShowPage(0);
    EXPECT_TRUE(MainWindow->hidden);
    HiddenToTray = 0;
    ShowPage(0);
    EXPECT_FALSE(MainWindow->hidden);
}

TEST_F(WindowTest, ReplaceButtonPixmap_newImage_takesTheCallersFlags) {
    auto pixmap = std::make_shared<Pixmap>();
    pixmap->width = pixmap->height = 30;
    pixmap->pixels.assign(900, 0xff0000ffu);
    ReplaceButtonPixmap(MuteButton, pixmap, 26);
    EXPECT_EQ(MuteButton->pixmap, pixmap);
    EXPECT_EQ(MuteButton->pixmapFlags, 26);
}

TEST(FormatPackedVersion, Values_giveDottedText) {
    const std::pair<unsigned, const char *> cases[] = {
        {0x44418, "4.44.18"}, {0x44400, "4.44.00"}, {0x10000, "1.00.00"}, {0, ""}, {0xA, ".10"}};
    for (const auto &[v, text] : cases)
        EXPECT_EQ(FormatPackedVersion(v), text) << std::hex << v;
}

} // namespace
} // namespace hvn
