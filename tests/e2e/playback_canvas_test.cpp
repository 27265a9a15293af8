// What the player draws for a real tone, skins chosen in the options page, and a
// language change, on the window BuildMainWindow made.
#include "app/gadgets.h"
#include "app/startup.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/embedded.h"
#include "core/fs.h"
#include "core/zip.h"
#include "e2e/playback_harness.h"
#include "events/queue.h"
#include "gui/canvas/draw2d.h"
#include "playback/current_station.h"
#include "playback/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace hvn {
namespace {

struct Color {
    int r, g, b;
};

Color PixelAt(const std::vector<uint32_t> &px, int width, int x, int y) {
    const uint32_t p = px.at(static_cast<size_t>(y) * width + x);
    return {int(p & 0xff), int((p >> 8) & 0xff), int((p >> 16) & 0xff)};
}

bool Near(Color a, Color b, int slack = 3) {
    return std::abs(a.r - b.r) <= slack && std::abs(a.g - b.g) <= slack &&
           std::abs(a.b - b.b) <= slack;
}

Color OverWhite(Color c, int alpha) {
    auto mix = [alpha](int s) { return (s * alpha + 255 * (255 - alpha)) / 255; };
    return {mix(c.r), mix(c.g), mix(c.b)};
}

std::string Show(Color c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) +
           ")";
}

const Color kWhite{255, 255, 255};

class PlaybackCanvas : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const test::World &world = test::StartWorld();
        started_ = world.started;
        deadUrl_ = world.deadUrl;
    }

    void SetUp() override {
        HVN_E2E_REQUIRE(started_);
        test::EndScriptedTicks();
    }

    void Play(const std::string &name) {
        test::BeginScriptedTicks([](int) { return CurrentStreamUrl == deadUrl_ ? 2 : 40; });
        SimulateItemClick(StationListBox, test::ListIndexOf(name), true);
        test::DispatchQueued();
        test::EndScriptedTicks();
        ASSERT_TRUE(CurrentChannel) << name << " does not play";
        const bool heard = test::WaitUntil([] {
            std::vector<float> left(64, 0.0f);
            CurrentChannel->GetSpectrum(left.data(), 64, 0, 1);
            return std::accumulate(left.begin(), left.end(), 0.0f) > 0.01f;
        });
        ASSERT_TRUE(heard) << "the analyser never saw " << name << "'s tone";
    }

    // Right-button releases on the canvas until the style is `style`.
    void ChooseStyle(int style) {
        for (int i = 0; i < 3 && SpectrumStyle != style; ++i) {
            test::Dispatch(test::Release(SpectrumCanvas, 2));
        }
        ASSERT_EQ(SpectrumStyle, style);
    }

    // One 30 Hz frame, with the spectrum the engine reports just after it.
    std::vector<uint32_t> Frame(std::vector<float> *left = nullptr,
                                std::vector<float> *right = nullptr) {
        test::Dispatch(test::Tick(SpectrumTimer.get()));
        for (auto [values, channel] : {std::pair{left, 0}, std::pair{right, 1}}) {
            if (values) {
                values->assign(64, 0.0f);
                CurrentChannel->GetSpectrum(values->data(), 64, channel, 1);
            }
        }
        return ReadCanvasPixels(SpectrumCanvas);
    }

    // A frame in which the analyser reports the tone (it may lag just after a start).
    std::vector<uint32_t> ToneFrame(std::vector<float> &left, std::vector<float> &right) {
        std::vector<uint32_t> px;
        for (int i = 0; i < 20; ++i) {
            px = Frame(&left, &right);
            const int k = Strongest(left);
            // The frame's own reads must have seen it too: something drawn next to the
            // middle in the tone's row.
            const bool drawn =
                px.size() == 274u * 87u && ((PixelAt(px, 274, 139, 81 - 5 * k + 2).b != 255) ||
                                            (PixelAt(px, 274, 1 + 8 * k, 2).g != 255));
            if (drawn && left[k] * 500 > 10 && right[Strongest(right)] * 500 > 10) {
                break;
            }
            test::WaitMs(100);
        }
        return px;
    }

    static int Strongest(const std::vector<float> &v) {
        return int(std::max_element(v.begin(), v.begin() + 17) - v.begin());
    }

    static inline std::string deadUrl_;
    static inline bool started_ = false;
};

TEST_F(PlaybackCanvas, StyleNone_OnlyTheLogoWhileMetersShowTheLevel) {
    Play("Left Station");
    ChooseStyle(0);
    ShowSpectrumAnalyser = 1;
    std::vector<float> left;
    std::vector<uint32_t> px = Frame(&left);
    ASSERT_EQ(px.size(), 274u * 87u);
    int notWhite = 0;
    for (uint32_t p : px) {
        notWhite += (p & 0xffffff) != 0xffffff;
    }
    EXPECT_EQ(notWhite, 0) << "style 0 draws the logo alone";

    // The left meter rises by sum / 64 * 400 rows; the right channel is silent.
    double sum = 0;
    for (float v : left) {
        sum += v;
    }
    const int level = std::min(15, int(sum / 64 * 400));
    const Color bg{BackgroundRed, BackgroundGreen, BackgroundBlue};
    const Color meter{SpectrumColors[0], SpectrumColors[1], SpectrumColors[2]};
    auto filledRows = [&](Gadget *canvas, Color color) {
        std::vector<uint32_t> m = ReadCanvasPixels(canvas);
        int rows = 0;
        for (int y = 0; y < 15 && !m.empty(); ++y) {
            rows += Near(PixelAt(m, 10, 5, y), color, 1);
        }
        return rows;
    };
    // The test tone (-18 dB) sums to about one row or less; the unit tests fill meters.
    EXPECT_GT(sum, 0.01) << "the analyser sees the tone";
    EXPECT_NEAR(filledRows(LeftLevelCanvas, meter), level, 1);
    EXPECT_EQ(filledRows(RightLevelCanvas, bg), 15);
}

TEST_F(PlaybackCanvas, Bars_ToneBinInItsRowAndColourOnBothSides) {
    Play("Two URL Station");
    ChooseStyle(1);
    std::vector<float> left, right;
    std::vector<uint32_t> px = ToneFrame(left, right);
    ASSERT_EQ(px.size(), 274u * 87u);
    const int i = Strongest(left);
    const float v = left[i] * 500;
    ASSERT_GT(v, 10.0f) << "the tone's bin " << i << " is too weak to show";
    const int row = 81 - 5 * i + 2; // inside the bar, clear of its outline
    const Color bar = OverWhite({std::min(32 * i, 255), std::min(16 * i, 255), 128 + 2 * i}, 204);
    EXPECT_TRUE(Near(PixelAt(px, 274, 139, row), bar)) << Show(PixelAt(px, 274, 139, row));
    EXPECT_TRUE(Near(PixelAt(px, 274, 137 + int(v * 0.7f), row), bar));
    EXPECT_TRUE(Near(PixelAt(px, 274, std::min(273, 137 + int(v * 1.3f) + 3), row), kWhite));
    EXPECT_TRUE(Near(PixelAt(px, 274, 135, row), bar)) << "the right channel's bar";
    // A bin far above the tone draws no bar, and both edge lines are dark.
    EXPECT_TRUE(Near(PixelAt(px, 274, 140, 81 - 5 * 16 + 2), kWhite));
    EXPECT_TRUE(Near(PixelAt(px, 274, 0, 40), OverWhite({0, 0, 0}, 204)));
    EXPECT_TRUE(Near(PixelAt(px, 274, 273, 40), OverWhite({0, 0, 0}, 204)));
    ChooseStyle(0);
}

TEST_F(PlaybackCanvas, SkinArchive_PicturesAndGraphColoursFollowTheArchive) {
    const std::string fav = EmbeddedFile("Incbin::./data/hvn_fav.png").value_or("");
    ASSERT_FALSE(fav.empty());
    CreateDir("skins");
    ASSERT_TRUE(
        WriteZip("skins/E2E.skn", {{"hvn_stop.png", fav}, {"hvn_spec.txt", "255,0,0,0,0,255"}}));
    AddGadgetItem(SkinComboBox, "E2E");
    AddGadgetItem(SkinComboBox, "Missing");
    const int skin = CountGadgetItems(SkinComboBox) - 2;
    SimulateComboChoice(SkinComboBox, skin);
    test::DispatchQueued();
    EXPECT_EQ(SkinName, "E2E.skn");
    PixmapPtr favImage = LoadPixmapFromMemory(fav);
    ASSERT_TRUE(StopButton->pixmap);
    EXPECT_EQ(StopButton->pixmap->pixels, favImage->pixels);
    EXPECT_EQ(ConnectingStopButton->pixmap->pixels, favImage->pixels);
    EXPECT_EQ(MuteButton->pixmap, nullptr) << "no hvn_mute.png in the archive";

    Play("Two URL Station");
    ChooseStyle(2);
    std::vector<float> left, right;
    std::vector<uint32_t> px = ToneFrame(left, right);
    ASSERT_EQ(px.size(), 274u * 87u);
    const int k = Strongest(left);
    const int depth = std::min(85, int(left[k] * 500));
    ASSERT_GT(depth, 10) << "the tone's bin " << k << " is too weak to show";
    const Color red = OverWhite({255, 0, 0}, 153);
    const Color blue = OverWhite({0, 0, 255}, 153);
    EXPECT_TRUE(Near(PixelAt(px, 274, 1 + 8 * k, 1 + depth / 2), red))
        << Show(PixelAt(px, 274, 1 + 8 * k, 1 + depth / 2));
    EXPECT_TRUE(Near(PixelAt(px, 274, 272 - 8 * k, 1 + depth / 2), blue))
        << Show(PixelAt(px, 274, 272 - 8 * k, 1 + depth / 2));
    EXPECT_TRUE(Near(PixelAt(px, 274, 1 + 8 * k, 0), kWhite)) << "the curve hangs from y 1";
    EXPECT_TRUE(Near(PixelAt(px, 274, 121, 60), kWhite)) << "high bins stay shallow";
    ChooseStyle(0);

    // An archive that is not there: bare buttons, and the player goes on drawing.
    SimulateComboChoice(SkinComboBox, skin + 1);
    test::DispatchQueued();
    EXPECT_EQ(StopButton->pixmap, nullptr);
    EXPECT_EQ(PlayerBackButton->pixmap, nullptr);
    EXPECT_EQ(VolumeKnob->pixmap, nullptr);
    EXPECT_EQ(Frame().size(), 274u * 87u);

    SimulateComboChoice(SkinComboBox, 0);
    test::DispatchQueued();
    EXPECT_EQ(SkinName, "hvn_default.skn");
    EXPECT_TRUE(StopButton->pixmap);
}

// Frames that nobody would see are not drawn: the station list shown instead of the
// player, or a picture that stays the same after a stop.
TEST_F(PlaybackCanvas, ListShownOrStopped_NoFrameDrawnUntilThePlayerShowsAgain) {
    Play("Two URL Station");
    ChooseStyle(1);
    ShowSpectrumAnalyser = 1;
    Gadget *const canvases[] = {SpectrumCanvas, LeftLevelCanvas, RightLevelCanvas};
    auto drawn = [&] {
        std::vector<uint64_t> n;
        for (Gadget *c : canvases) {
            n.push_back(CanvasFramesDrawn(c));
        }
        return n;
    };
    auto ticks = [&](int n) {
        for (int i = 0; i < n; ++i) {
            test::Dispatch(test::Tick(SpectrumTimer.get()));
            test::WaitMs(35);
        }
    };
    std::vector<float> left, right;
    ASSERT_EQ(ToneFrame(left, right).size(), 274u * 87u);
    const auto playing = drawn();
    ChooseStyle(2);
    ticks(2);
    EXPECT_GT(drawn()[0], playing[0]) << "a new picture is drawn";

    test::Dispatch(test::Press(PlayerBackButton));
    ASSERT_FALSE(CanvasOnScreen(SpectrumCanvas));
    const auto listed = drawn();
    ticks(15);
    EXPECT_EQ(drawn(), listed) << "frames drawn while the station list is shown";

    test::Dispatch(test::Press(NowPlayingButton));
    ASSERT_TRUE(CanvasOnScreen(SpectrumCanvas));
    const auto back = drawn();
    ChooseStyle(1);
    ToneFrame(left, right);
    EXPECT_GT(drawn()[0], back[0]) << "the player shows again: frames again";

    test::Dispatch(test::Press(StopButton));
    ticks(3); // the logo alone, once
    const auto stopped = drawn();
    ticks(15);
    EXPECT_EQ(drawn(), stopped) << "the same logo drawn again after the stop";
    ChooseStyle(0);
}

// (gadget, table, entry, prefix, suffix): text = prefix + entry + suffix.
struct TextRow {
    Gadget **gadget;
    const std::vector<std::string> *table;
    int index;
    const char *prefix = "";
    const char *suffix = "";
};

TEST_F(PlaybackCanvas, LanguageChange_RedrawsEveryText) {
    const std::vector<TextRow> texts = {
        {&LanguageCaption, &LABELS_OPT, 1},
        {&BufferSizeCaption, &LABELS_OPT, 2},
        {&SkinCaption, &LABELS_OPT, 6},
        {&SaveWindowPositionCheckBox, &LABELS_OPT, 3},
        {&SaveStationCheckBox, &LABELS_OPT, 4},
        {&StartMinimizedCheckBox, &LABELS_OPT, 5},
        {&ForceOpenGLCheckBox, &LABELS_OPT, 0, "OpenGL "},
        {&ShowErrorsCheckBox, &LABELS_OPT, 8},
        {&ShowSpectrumCheckBox, &LABELS_OPT, 9},
        {&AutoUpdateCheckBox, &LABELS_POPMENU, 4},
        {&ConnectingStatusLabel, &LABELS_LOAD, 0},
        {&AboutNoticeLabel1, &LABELS_ABOUT, 0},
        {&AboutNoticeLabel2, &LABELS_ABOUT, 1},
        {&AboutMenuItem, &LABELS_POPMENU, 0},
        {&OptionsMenuItem, &LABELS_POPMENU, 1},
        {&StationListMenuItem, &LABELS_POPMENU, 2},
        {&ExitMenuItem, &LABELS_POPMENU, 5},
        {&CreditsMenuItem, &LABELS_POPMENU, 7},
        {&MuteMenuItem, &LABELS_POPMENU, 8},
        {&FavouriteMenuItem, &LABELS_POPMENU, 6},
        {&DeleteStationMenuItem, &LABELS_POPMENU, 3},
        {&EditStationMenuItem, &TOOLTIP, 21},
        {&Rating0MenuItem, &LABELS_POPMENU2, 0},
        {&Rating3MenuItem, &LABELS_POPMENU2, 3},
        {&Rating5MenuItem, &LABELS_POPMENU2, 5},
        {&BusyLabel, &LABELS_LOAD, 1, "", "..."},
    };
    const std::vector<TextRow> tips = {
        {&PlayerBackButton, &TOOLTIP, 0},
        {&NextStationButton, &TOOLTIP, 15},
        {&StopButton, &TOOLTIP, 13},
        {&ConnectingStopButton, &TOOLTIP, 13},
        {&PreviousStationButton, &TOOLTIP, 16},
        {&AboutMakerLabel, &LABELS_POPMENU, 7},
        {&AboutLogoPanel, &TOOLTIP, 3, "", ": Halvane"},
        {&FavouritesToggleButton, &TOOLTIP, 6},
        {&OptionsButton, &LABELS_POPMENU, 1},
        {&AboutButton, &LABELS_POPMENU, 0},
        {&OptionsCloseButton, &TOOLTIP, 0},
        {&UpdateServerField, &TOOLTIP, 26},
        {&AboutBackButton, &TOOLTIP, 0},
        {&UpdateNowButton, &LABELS_POPMENU, 4},
        {&CreatorButton, &TOOLTIP, 21},
        {&ConnectingBackButton, &TOOLTIP, 0},
        {&CreditsBackButton, &TOOLTIP, 0},
        {&CreatorSaveButton, &TOOLTIP, 14},
        {&CreatorCancelButton, &TOOLTIP, 0},
        {&CreatorNameField, &TOOLTIP, 17},
        {&CreatorHomepageField, &TOOLTIP, 18},
        {&CreatorLogoPreview, &TOOLTIP, 19},
        {&CreatorFileNameField, &TOOLTIP, 20},
        {&CreatorUrlField, &TOOLTIP, 22},
        {&CreatorAddUrlLabel, &TOOLTIP, 23},
        {&CreatorRemoveUrlLabel, &TOOLTIP, 24},
        {&CreatorChooseLogoLabel, &TOOLTIP, 25},
        {&UpdateBackButton, &TOOLTIP, 0},
    };
    Play("Two URL Station");
    test::Dispatch(test::Press(MuteButton)); // muted: the mute tooltip reads "Unmute"
    ASSERT_EQ(Muted, 1);
    const std::string englishBack = Tr(TOOLTIP, 0);

    SimulateComboChoice(LanguageComboBox, 8); // German
    test::DispatchQueued();
    ASSERT_EQ(LanguageIndex, 8);
    ASSERT_NE(Tr(TOOLTIP, 0), englishBack) << "the German table must differ from English";
    for (const TextRow &row : texts) {
        ASSERT_TRUE(*row.gadget);
        EXPECT_EQ((*row.gadget)->text, row.prefix + Tr(*row.table, row.index) + row.suffix)
            << "entry " << row.index;
    }
    for (const TextRow &row : tips) {
        ASSERT_TRUE(*row.gadget);
        EXPECT_EQ(GadgetTooltip(*row.gadget), row.prefix + Tr(*row.table, row.index) + row.suffix)
            << "entry " << row.index;
    }
    EXPECT_EQ(GadgetTooltip(MuteButton), Tr(TOOLTIP, 2));
    EXPECT_EQ(GadgetTooltip(HistoryToggleButton),
              Tr(TOOLTIP, ButtonState(HistoryToggleButton) ? 22 : 27));
    EXPECT_EQ(GadgetTooltip(SpectrumCanvas), Tr(TOOLTIP, 3) + ": www.example.com");
    EXPECT_EQ(GadgetTooltip(ConnectingLogoPanel), Tr(TOOLTIP, 3) + ": www.example.com");
    EXPECT_EQ(GadgetTooltip(VolumeKnob), Tr(TOOLTIP, 11) + " " + std::to_string(Volume) + "%");
    EXPECT_EQ(GadgetText(ConnectingTitleLabel), "");
    EXPECT_EQ(GadgetItemText(CategoryComboBox, 0), Tr(COMBOBOX, 1));
    EXPECT_EQ(GadgetItemText(CategoryComboBox, 3), Tr(COMBOBOX, 5));
    EXPECT_EQ(GadgetItemText(CategoryComboBox, 4), "60s & 70s") << "genres stay as built";
    EXPECT_EQ(GadgetItemText(CreatorGenreComboBox, 0), Tr(COMBOBOX, 2));
    EXPECT_EQ(GadgetItemTooltip(CreatorGenreComboBox, 0), "0");

    test::Dispatch(test::Press(MuteButton));
    SimulateComboChoice(LanguageComboBox, 4);
    test::DispatchQueued();
    EXPECT_EQ(Tr(TOOLTIP, 0), englishBack);
    EXPECT_EQ(GadgetTooltip(MuteButton), "Mute");
}

} // namespace
} // namespace hvn
