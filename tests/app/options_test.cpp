#include "app/gadgets.h"
#include "app/main_loop.h"
#include "app/texts.h"
#include "app/window.h"
#include "app_env.h"
#include "config/settings.h"
#include "config/translations.h"
#include "events/queue.h"
#include "playback/current_station.h"

#include <gtest/gtest.h>

namespace hvn {
namespace {

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        ASSERT_TRUE(test::EnsureTestWindow());
        test::WindowFresh() = false;
        CurrentStationName = "";
        ShowPage(2);
    }
    void TearDown() override { SetRequesterHook(nullptr); }

    static void Pass(int id, Gadget *source, int data = 0) {
        FlushEvents();
        Event event;
        event.id = id;
        event.source = source;
        event.data = data;
        QueueEvent(event);
        RunMainLoopPass();
    }

    static void Answer(const std::string &colour) {
        SetRequesterHook([colour](const std::string &, const std::string &) { return colour; });
    }
};

TEST_F(OptionsTest, Language_otherChoice_relabelsAtOnce) {
    ASSERT_EQ(LanguageIndex, 4);
    SelectGadgetItem(LanguageComboBox, 4);
    Pass(GadgetAction, LanguageComboBox, 4);
    EXPECT_EQ(ExitMenuItem->text, "Exit HVN");
    SelectGadgetItem(LanguageComboBox, 0);
    ActivateGadget(StationListBox);
    Pass(GadgetAction, LanguageComboBox, 0);
    EXPECT_EQ(LanguageIndex, 0);
    EXPECT_NE(ExitMenuItem->text, "Exit HVN");
    EXPECT_EQ(ExitMenuItem->text, Tr(LABELS_POPMENU, 5));
    EXPECT_EQ(FocusedGadget(), OptionsScrollPanel);
    SelectGadgetItem(LanguageComboBox, 4);
    Pass(GadgetAction, LanguageComboBox, 4);
    EXPECT_EQ(ExitMenuItem->text, "Exit HVN");
}

TEST_F(OptionsTest, BufferSize_choice_storesTheIndexOnly) {
    SelectGadgetItem(BufferSizeComboBox, 2);
    Pass(GadgetAction, BufferSizeComboBox, 2);
    EXPECT_EQ(BufferSizeIndex, 2);
    SelectGadgetItem(BufferSizeComboBox, 0);
    Pass(GadgetSelect, BufferSizeComboBox, 0); // not an action
    EXPECT_EQ(BufferSizeIndex, 2);
}

TEST_F(OptionsTest, CheckBoxes_action_copyTheirStateIntoTheSetting) {
    const std::pair<Gadget **, int *> boxes[] = {
        {&SaveWindowPositionCheckBox, &SaveWindowPosition},
        {&SaveStationCheckBox, &SaveStation},
        {&AutoUpdateCheckBox, &AutoUpdate},
        {&ShowErrorsCheckBox, &ShowErrors},
        {&ShowSpectrumCheckBox, &ShowSpectrumAnalyser},
        {&StartMinimizedCheckBox, &StartMinimized},
    };
    for (const auto &[box, setting] : boxes) {
        for (bool state : {true, false, true}) {
            SetButtonState(*box, state);
            Pass(GadgetAction, *box);
            EXPECT_EQ(*setting, state ? 1 : 0) << (*box)->text;
        }
    }
}

TEST_F(OptionsTest, UpdateServer_emptyFieldKeepsTheServer) {
    UpdateServer = "http://old.invalid/hvn/";
    SetGadgetText(UpdateServerField, "");
    Pass(GadgetAction, UpdateServerField);
    EXPECT_EQ(UpdateServer, "http://old.invalid/hvn/");
    SetGadgetText(UpdateServerField, " http://new.invalid/x");
    Pass(GadgetAction, UpdateServerField);
    EXPECT_EQ(UpdateServer, " http://new.invalid/x");
}

TEST_F(OptionsTest, CustomColor_cleared_forgetsBothColours) {
    BackgroundRed = 10, BackgroundGreen = 20, BackgroundBlue = 30;
    LabelRed = 200, LabelGreen = 100, LabelBlue = 0;
    SetButtonState(CustomColorCheckBox, true);
    Pass(GadgetAction, CustomColorCheckBox);
    EXPECT_EQ(CustomWindowColor, 1);
    EXPECT_EQ(MainWindow->background, (Rgb{10, 20, 30}));
    SetButtonState(CustomColorCheckBox, false);
    Pass(GadgetAction, CustomColorCheckBox);
    const Rgb toolkit = LookupGuiColor(0);
    EXPECT_EQ(CustomWindowColor, 0);
    EXPECT_EQ(BackgroundRed, toolkit.r);
    EXPECT_EQ(BackgroundBlue, toolkit.b);
    EXPECT_EQ(LabelRed, -1);
    EXPECT_EQ(LabelBlue, -1);
    EXPECT_EQ(MainWindow->background, toolkit);
    EXPECT_EQ(BackgroundColorSwatch->background, toolkit);
}

TEST_F(OptionsTest, Swatches_pickedColour_storedAndShown) {
    CustomWindowColor = 0;
    Answer("1,2,3");
    Pass(MouseDown, BackgroundColorSwatch, 1);
    EXPECT_EQ(BackgroundGreen, 2);
    EXPECT_EQ(BackgroundColorSwatch->background, (Rgb{1, 2, 3}));
    EXPECT_NE(MainWindow->background, (Rgb{1, 2, 3})); // box clear: only the swatch
    CustomWindowColor = 1;
    Answer("4,5,6");
    Pass(MouseDown, LabelColorSwatch, 1);
    EXPECT_EQ(LabelRed, 4);
    EXPECT_EQ(LabelColorSwatch->background, (Rgb{4, 5, 6}));
    Answer(""); // cancelled
    Pass(MouseDown, BackgroundColorSwatch, 1);
    EXPECT_EQ(BackgroundRed, 1);
    CustomWindowColor = 0;
}

TEST_F(OptionsTest, Close_returnsToPlayerWithAStationElseToTheList) {
    CurrentStationName = "Radio";
    Pass(MouseDown, OptionsCloseButton, 1);
    EXPECT_TRUE(OptionsPage->hidden);
    EXPECT_FALSE(PlayerPage->hidden);
    EXPECT_TRUE(StationListPage->hidden);
    ShowPage(2);
    CurrentStationName = "";
    Pass(MouseDown, OptionsCloseButton, 1);
    EXPECT_FALSE(StationListPage->hidden);
    EXPECT_TRUE(PlayerPage->hidden);
    EXPECT_EQ(FocusedGadget(), StationListBox);
}

} // namespace
} // namespace hvn
