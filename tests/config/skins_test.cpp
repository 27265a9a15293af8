// Skins on gadgets made by the test: the chooser's items from a real "skins" directory
// and archives written with the ZIP writer.
#include "config/skins.h"

#include "app/gadgets.h"
#include "config/embedded_files.h"
#include "config/settings.h"
#include "core/embedded.h"
#include "core/fs.h"
#include "core/zip.h"
#include "playback/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace hvn {
namespace {

bool HaveDisplay() {
    const char *d = std::getenv("DISPLAY");
    return d && *d;
}

bool ServicesRequired() {
    const char *v = std::getenv("HALVANE_TEST_SERVICES");
    return v && std::string(v) == "1";
}

std::string Embedded(const std::string &name) {
    return EmbeddedFile("Incbin::./data/" + name).value_or("");
}

bool SameImage(const PixmapPtr &a, const PixmapPtr &b) {
    return a && b && a->width == b->width && a->height == b->height && a->pixels == b->pixels;
}

class Skins : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterEmbeddedFiles();
        if (!HaveDisplay() || !InitGui()) {
            return;
        }
        window_ = CreateWindow("skins test", 0, 0, 278, 154, nullptr,
                               WINDOW_TITLEBAR | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN);
        for (Gadget **g :
             {&PreviousStationButton, &StopButton, &ConnectingStopButton, &MuteButton,
              &NextStationButton, &PlayerBackButton, &AboutBackButton, &UpdateNowButton,
              &AboutButton, &FavouritesToggleButton, &NextUrlButton}) {
            *g = CreatePanel(0, 0, 30, 30, window_, PANEL_ACTIVE);
        }
        VolumeTrackPanel = CreatePanel(0, 0, 55, 30, window_, PANEL_ACTIVE);
        VolumeKnob = CreatePanel(0, 4, 5, 22, VolumeTrackPanel, PANEL_ACTIVE);
        OptionsPage = CreatePanel(0, 0, 278, 154, window_, 0);
    }

    void SetUp() override {
        if (!window_) {
            if (ServicesRequired()) {
                FAIL() << "no X display";
            }
            GTEST_SKIP() << "DISPLAY is not set";
        }
        SkinComboBox = CreateComboBox(0, 0, 140, 28, window_, 0);
        oldDir_ = CurrentDir();
        dir_ = std::filesystem::temp_directory_path() /
               ("hvn-skins-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        ASSERT_TRUE(ChangeDir(dir_.string()));
        ListFavouritesOnly = 0;
        SkinName = "";
    }

    void TearDown() override {
        if (!window_) {
            return;
        }
        ChangeDir(oldDir_);
        std::filesystem::remove_all(dir_);
    }

    void WriteSkin(const std::string &file, const std::vector<ZipMember> &members) {
        std::filesystem::create_directories("skins");
        ASSERT_TRUE(WriteZip("skins/" + file, members));
    }

    std::vector<std::string> Items() {
        std::vector<std::string> items;
        for (int i = 0; i < CountGadgetItems(SkinComboBox); ++i) {
            items.push_back(GadgetItemText(SkinComboBox, i));
        }
        return items;
    }

    static inline Gadget *window_ = nullptr;
    std::string oldDir_;
    std::filesystem::path dir_;
};

TEST_F(Skins, FillSkinList_ListsArchivesAndSelectsExactName) {
    WriteSkin("Blue.skn", {});
    WriteSkin("old.skn.bak", {});
    WriteSkin(".skn", {});
    WriteSkin("readme.txt", {});
    SkinName = "Blue.skn";
    FillSkinList();
    std::vector<std::string> items = Items();
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0], "hvn_default");
    std::vector<std::string> rest(items.begin() + 1, items.end());
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<std::string>{"Blue", "old"}));
    EXPECT_EQ(GadgetItemText(SkinComboBox, SelectedGadgetItem(SkinComboBox)), "Blue");
}

TEST_F(Skins, FillSkinList_NameDiffersInCase_SelectsBuiltIn) {
    WriteSkin("Blue.skn", {});
    SkinName = "blue.skn";
    FillSkinList();
    EXPECT_EQ(SelectedGadgetItem(SkinComboBox), 0);
}

TEST_F(Skins, FillSkinList_NoDirectory_OnlyBuiltIn) {
    SkinName = "Blue.skn";
    FillSkinList();
    EXPECT_EQ(Items(), std::vector<std::string>{"hvn_default"});
    EXPECT_EQ(SelectedGadgetItem(SkinComboBox), 0);
}

TEST_F(Skins, ApplyArchive_MembersGoWhereTheTableSays) {
    const std::string fav = Embedded("hvn_fav.png");
    const std::string options = Embedded("hvn_options.png");
    const std::string mute = Embedded("hvn_mute.png");
    ASSERT_FALSE(fav.empty());
    WriteSkin("Red.skn", {{"HVN_STOP.PNG", fav},
                          {"hvn_updates.png", options},
                          {"hvn_mute.png", mute},
                          {"hvn_back.png", fav},
                          {"hvn_spec.txt", " 255, 0,0 ,1,2,3,4"}});
    SkinName = "Red.skn";
    FillSkinList();
    ApplySelectedSkin();
    const PixmapPtr favImage = LoadPixmapFromMemory(fav);
    EXPECT_TRUE(SameImage(StopButton->pixmap, favImage));
    EXPECT_TRUE(SameImage(ConnectingStopButton->pixmap, favImage));
    EXPECT_TRUE(SameImage(PlayerBackButton->pixmap, favImage));
    EXPECT_TRUE(SameImage(AboutBackButton->pixmap, favImage));
    EXPECT_EQ(StopButton->pixmapFlags, 26);
    // The updates picture goes on the about button; the missing about picture leaves the
    // update button bare.
    EXPECT_TRUE(SameImage(AboutButton->pixmap, LoadPixmapFromMemory(options)));
    EXPECT_EQ(UpdateNowButton->pixmap, nullptr);
    EXPECT_EQ(PreviousStationButton->pixmap, nullptr);
    EXPECT_EQ(VolumeKnob->pixmap, nullptr);
    ASSERT_TRUE(MuteIconStrip);
    EXPECT_EQ(MuteIconStrip->count, 2);
    EXPECT_TRUE(SameImage(MuteButton->pixmap, IconStripIcon(MuteIconStrip, 0)));
    EXPECT_EQ(LoadBgPixmap, nullptr);
    const int want[6] = {255, 0, 0, 1, 2, 3};
    EXPECT_TRUE(std::equal(want, want + 6, SpectrumColors));
    EXPECT_EQ(SkinName, "Red.skn");
}

TEST_F(Skins, ApplyArchive_ShortOrMissingPalette) {
    const struct {
        const char *file;
        const char *palette; // nullptr: no member
        int colors[6];
    } cases[] = {
        {"a.skn", "255,0,0", {255, 0, 0, 90, 90, 90}},
        {"b.skn", nullptr, {70, 70, 70, 90, 90, 90}},
        {"c.skn", "", {70, 70, 70, 90, 90, 90}},
        {"d.skn", "$10,%11,,x5", {16, 3, 0, 0, 90, 90}},
    };
    for (const auto &c : cases) {
        std::vector<ZipMember> members;
        if (c.palette) {
            members.push_back({"hvn_spec.txt", c.palette});
        }
        WriteSkin(c.file, members);
    }
    FillSkinList();
    for (const auto &c : cases) {
        const std::string name = std::string(c.file).substr(0, 1);
        const std::vector<std::string> items = Items();
        auto it = std::find(items.begin(), items.end(), name);
        ASSERT_NE(it, items.end()) << name;
        std::fill(SpectrumColors, SpectrumColors + 6, -5);
        SelectGadgetItem(SkinComboBox, static_cast<int>(it - items.begin()));
        ApplySelectedSkin();
        EXPECT_TRUE(std::equal(c.colors, c.colors + 6, SpectrumColors)) << c.file;
    }
}

TEST_F(Skins, ApplyMissingArchive_BareButtonsKeptStrips) {
    FillSkinList();
    ApplySelectedSkin(); // the built-in skin first
    ASSERT_NE(StopButton->pixmap, nullptr);
    const IconStripPtr mute = MuteIconStrip;
    const PixmapPtr lamp = LoadPointPixmap;
    AddGadgetItem(SkinComboBox, "Gone", GADGETITEM_DEFAULT);
    ApplySelectedSkin();
    EXPECT_EQ(StopButton->pixmap, nullptr);
    EXPECT_EQ(AboutButton->pixmap, nullptr);
    EXPECT_EQ(VolumeTrackPanel->pixmap, nullptr);
    EXPECT_EQ(MuteIconStrip, mute);
    EXPECT_EQ(LoadPointPixmap, lamp);
    EXPECT_EQ(SkinName, "Gone.skn");
}

TEST_F(Skins, ApplyBuiltIn_EmbeddedImagesAndDefaultColours) {
    ListFavouritesOnly = 1;
    FillSkinList();
    SpectrumColors[0] = 1;
    ApplySelectedSkin();
    EXPECT_TRUE(SameImage(StopButton->pixmap, LoadPixmap("Incbin::./data/hvn_stop.png")));
    EXPECT_TRUE(SameImage(AboutButton->pixmap, LoadPixmap("Incbin::./data/hvn_updates.png")));
    EXPECT_TRUE(SameImage(VolumeKnob->pixmap, LoadPixmap("Incbin::./data/hvn_volumeslider.png")));
    EXPECT_EQ(VolumeKnob->pixmapFlags, 8);
    // Favourites only: the toggle shows the all-stations picture.
    EXPECT_TRUE(SameImage(FavouritesToggleButton->pixmap, ListAllPixmap));
    ASSERT_TRUE(SpectrumLeftStrip);
    EXPECT_EQ(SpectrumLeftStrip->count, 15);
    const int want[6] = {70, 70, 70, 90, 90, 90};
    EXPECT_TRUE(std::equal(want, want + 6, SpectrumColors));
    EXPECT_EQ(SkinName, "hvn_default.skn");
}

} // namespace
} // namespace hvn
