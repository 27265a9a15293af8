#include "creator_env.h"

#include "core/strings.h"
#include "core/text_file.h"
#include "core/zip.h"
#include "stationcreator/creator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace hvn {
namespace {

using Items = std::vector<std::string>;

Items ItemTexts(Gadget *g) {
    Items out;
    for (int i = 0; i < CountGadgetItems(g); ++i)
        out.push_back(GadgetItemText(g, i));
    return out;
}

std::string SourcePng() {
    return LoadText(std::string(HALVANE_SOURCE_DIR) + "/resources/data/hvn40.png").value_or("");
}

class CreatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        ASSERT_TRUE(test::EnsureCreatorWindow());
        dir_ = std::make_unique<test::ProgramDir>();
        HiddenToTray = 0;
        SetRequesterHook(nullptr);
        ShowPage(0);
    }
    void TearDown() override {
        SetRequesterHook(nullptr);
        dir_.reset();
    }
    // Answers the file requester with `path` and records its title.
    void AnswerFile(const std::string &path) {
        SetRequesterHook([this, path](const std::string &kind, const std::string &text) {
            asked_ = kind + ": " + text;
            return path;
        });
    }
    std::unique_ptr<test::ProgramDir> dir_;
    std::string asked_;
};

void ExpectFields(const std::string &name, const std::string &homepage, const std::string &file) {
    EXPECT_EQ(GadgetText(CreatorNameField), name);
    EXPECT_EQ(GadgetText(CreatorHomepageField), homepage);
    EXPECT_EQ(GadgetText(CreatorFileNameField), file);
    EXPECT_EQ(GadgetText(CreatorUrlField), "http://");
}

TEST_F(CreatorTest, EmptyPath_resetCreatorShown) {
    SetGadgetText(CreatorNameField, "stale");
    AddGadgetItem(CreatorUrlComboBox, "http://stale/");
    SelectGadgetItem(CreatorGenreComboBox, 7);
    CreatorCustom = 0;
    SaveBytes("creator/hvn_station_ico.png", SourcePng());

    CreatorLoadFile("");

    ExpectFields("Unknown Station", "http://www.", "!!!_hvn_station.hvn");
    EXPECT_EQ(ItemTexts(CreatorUrlComboBox), Items{"0"});
    EXPECT_EQ(SelectedGadgetItem(CreatorUrlComboBox), 0);
    EXPECT_EQ(SelectedGadgetItem(CreatorGenreComboBox), 0);
    EXPECT_EQ(GadgetItemText(CreatorLogoComboBox, 0), "(No Logo)");
    EXPECT_EQ(SelectedGadgetItem(CreatorLogoComboBox), 0);
    ASSERT_NE(CreatorLogoPreview->pixmap, nullptr);
    EXPECT_EQ(CreatorLogoPreview->pixmapFlags, PIXMAP_FIT);
    EXPECT_EQ(CreatorCustom, 1);
    EXPECT_EQ(FileType("creator/hvn_station_ico.png"), FileKind::None);
    EXPECT_TRUE(GadgetVisible(CreatorPage));
    EXPECT_FALSE(GadgetVisible(StationListPage));
}

TEST_F(CreatorTest, Playlists_fillPageFromFile) {
    struct Case {
        const char *file;
        std::string bytes;
        std::string name, homepage;
        Items urls; // count line first
    };
    const Case cases[] = {
        {"a.pls",
         "[playlist]\r\nNumberOfEntries=2\r\nFile1=http://x/Live\r\nTitle1=Pls Radio\r\n"
         "File2=http://y/2\r\n",
         "Pls Radio",
         "http://www.",
         {"2", "http://x/Live", "http://y/2"}},
        {"b.m3u8",
         "\xEF\xBB\xBF#EXTM3U\n#EXTINF:-1, M3u Radio\nhttp://z/1\n",
         "M3u Radio",
         "http://www.",
         {"1", "http://z/1"}},
        {"c.asx",
         "<ASX><TITLE>Asx Radio</TITLE><entry>\r\n<Author>http://home</Author>\r\n"
         "<REF HREF=\"http://q/1\" />\r\n</entry></ASX>",
         "Asx Radio",
         "http://home",
         {"1", "http://q/1"}},
        {"d.txt", "stream=http://t/1\n", "Unknown Station", "http://www.", {"1", "http://t/1"}},
        {"missing.pls", "", "Unknown Station", "http://www.", {"0"}},
    };
    for (const Case &c : cases) {
        if (!c.bytes.empty())
            SaveBytes(c.file, c.bytes);
        ShowPage(0);
        CreatorCustom = 0;
        CreatorLoadFile(c.file);
        ExpectFields(c.name, c.homepage, "!!!_hvn_station.hvn");
        EXPECT_EQ(ItemTexts(CreatorUrlComboBox), c.urls) << c.file;
        EXPECT_EQ(SelectedGadgetItem(CreatorUrlComboBox), 0) << c.file;
        EXPECT_EQ(CreatorCustom, 1) << c.file;
        EXPECT_TRUE(GadgetVisible(CreatorPage)) << c.file;
    }
}

TEST_F(CreatorTest, StationFile_fillsPageWithItsLogo) {
    const std::string png = SourcePng();
    ASSERT_FALSE(png.empty());
    const std::string text = "Mine\r\nhttp://mine.example\r\n24\r\n2\r\nhttp://a/1\r\nhttp://a/2";
    ASSERT_TRUE(
        WriteZip("stations/Mixed.Case.hvn",
                 {{"station_id.txt", text, 0}, {"station_ico.png", png, 0}, {"custom", "", 0}}));
    DeleteDir("creator", true); // the first import on a fresh install

    CreatorLoadFile("stations/Mixed.Case.hvn");

    ExpectFields("Mine", "http://mine.example", "Mixed.Case.hvn");
    EXPECT_EQ(ItemTexts(CreatorUrlComboBox), (Items{"2", "http://a/1", "http://a/2"}));
    EXPECT_EQ(SelectedGadgetItem(CreatorGenreComboBox), 24);
    EXPECT_EQ(CreatorCustom, 1);
    EXPECT_EQ(LoadText("creator/hvn_station_ico.png").value_or(""), png);
    const int logo = SelectedGadgetItem(CreatorLogoComboBox);
    ASSERT_GT(logo, 0);
    EXPECT_EQ(GadgetItemText(CreatorLogoComboBox, logo), "hvn_station_ico.png");
    ASSERT_NE(CreatorLogoPreview->pixmap, nullptr);
    EXPECT_EQ(CreatorLogoPreview->pixmap->width, 40);

    // The next import starts without the previous station's logo.
    SaveBytes("x.m3u", "http://b/1\n");
    CreatorLoadFile("x.m3u");
    EXPECT_EQ(FileType("creator/hvn_station_ico.png"), FileKind::None);
    EXPECT_EQ(SelectedGadgetItem(CreatorLogoComboBox), 0);
    EXPECT_EQ(SelectedGadgetItem(CreatorGenreComboBox), 0);
}

TEST_F(CreatorTest, NothingToImport_creatorLeftAsItWas) {
    CreatorLoadFile("");
    SetGadgetText(CreatorNameField, "Being edited");
    SetGadgetText(CreatorUrlField, "http://kept/1");
    CreatorAddUrl();
    SelectGadgetItem(CreatorGenreComboBox, 3);
    SaveBytes("notes.txt", "no address here\n");

    CreatorLoadFile("notes.txt");

    EXPECT_EQ(GadgetText(CreatorNameField), "Being edited");
    EXPECT_EQ(ItemTexts(CreatorUrlComboBox), (Items{"1", "http://kept/1"}));
    EXPECT_EQ(SelectedGadgetItem(CreatorGenreComboBox), 3);

    // From another page the failed import does not bring the creator up.
    ShowPage(0);
    CreatorLoadFile("notes.txt");
    EXPECT_FALSE(GadgetVisible(CreatorPage));
}

TEST_F(CreatorTest, ImportUrlLines_listOrOne) {
    SaveBytes("urls.txt", "#EXTINF:-1,http://not/\nFile1=http://a/1\nhttp://b/2\n");
    EXPECT_EQ(CreatorImportUrlLines("urls.txt"), 0);
    EXPECT_EQ(ItemTexts(CreatorUrlComboBox), (Items{"2", "http://a/1", "http://b/2"}));
    SaveBytes("none.txt", "# https://commented/\nftp://other/\n");
    EXPECT_EQ(CreatorImportUrlLines("none.txt"), 1);
    EXPECT_EQ(CountGadgetItems(CreatorUrlComboBox), 0);
    EXPECT_EQ(CreatorImportUrlLines("absent.txt"), 1);
}

TEST_F(CreatorTest, AddAndRemove_countLineFollowsList) {
    struct Step {
        enum { Add, Remove } op;
        std::string arg; // Add: the entry text; Remove: the item to select ("" none)
        Items after;
    };
    const Step steps[] = {
        {Step::Add, "  http://a/1 \t", {"1", "http://a/1"}},
        {Step::Add, "http://", {"1", "http://a/1"}},
        {Step::Add, "   ", {"1", "http://a/1"}},
        {Step::Add, "http://a/1", {"2", "http://a/1", "http://a/1"}},
        {Step::Add, "ftp://b c", {"3", "http://a/1", "http://a/1", "ftp://b c"}},
        {Step::Remove, "0", {"3", "http://a/1", "http://a/1", "ftp://b c"}},
        {Step::Remove, "", {"3", "http://a/1", "http://a/1", "ftp://b c"}},
        {Step::Remove, "2", {"2", "http://a/1", "ftp://b c"}},
        {Step::Remove, "2", {"1", "http://a/1"}},
        {Step::Remove, "1", {"0"}},
    };
    CreatorLoadFile("");
    for (const Step &s : steps) {
        if (s.op == Step::Add) {
            SetGadgetText(CreatorUrlField, s.arg);
            CreatorAddUrl();
            EXPECT_EQ(GadgetText(CreatorUrlField), Trim(s.arg).empty() ? s.arg : "http://");
        } else {
            if (s.arg.empty())
                DeselectGadgetItem(CreatorUrlComboBox, SelectedGadgetItem(CreatorUrlComboBox));
            else
                SelectGadgetItem(CreatorUrlComboBox, std::stoi(s.arg));
            CreatorRemoveUrl();
        }
        EXPECT_EQ(ItemTexts(CreatorUrlComboBox), s.after) << s.arg;
    }
}

TEST_F(CreatorTest, LogoList_pngNamesOfWorkArea) {
    for (const char *name : {"a.png", "B.PNG", "c.png.bak", ".png", "d.jpg"})
        SaveBytes(std::string("creator/") + name, "x");
    CreateDir("creator/e.png");
    CreatorFillLogoList();
    Items names = ItemTexts(CreatorLogoComboBox);
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "(No Logo)");
    std::sort(names.begin() + 1, names.end());
    EXPECT_EQ(names, (Items{"(No Logo)", "a.png", "c.png.bak", "e.png"}));

    DeleteDir("creator", true);
    CreatorFillLogoList();
    EXPECT_EQ(ItemTexts(CreatorLogoComboBox), Items{"(No Logo)"});
    EXPECT_EQ(FileType("creator"), FileKind::Dir);
}

TEST_F(CreatorTest, ChooseLogo_copiedListedAndShown) {
    const std::string png = SourcePng();
    CreateDir("pictures");
    // JPEG or PNG, the copy is named .png and keeps its bytes.
    SaveBytes("pictures/My Logo.jpg", png);
    CreatorLoadFile("");
    AnswerFile(dir_->path() + "/pictures/My Logo.jpg");

    CreatorChooseLogo();

    EXPECT_EQ(asked_, "file: -> Logo Preview");
    EXPECT_EQ(LoadText("creator/My Logo.png").value_or(""), png);
    EXPECT_EQ(CreatorLogoFile, "My Logo.png");
    const int selected = SelectedGadgetItem(CreatorLogoComboBox);
    ASSERT_GT(selected, 0);
    EXPECT_EQ(GadgetItemText(CreatorLogoComboBox, selected), "My Logo.png");
    ASSERT_NE(CreatorLogoPreview->pixmap, nullptr);
    EXPECT_EQ(CreatorLogoPreview->pixmapFlags, PIXMAP_FIT);

    // Choosing the work-area copy itself must not empty it.
    AnswerFile(dir_->path() + "/creator/My Logo.png");
    CreatorChooseLogo();
    EXPECT_EQ(LoadText("creator/My Logo.png").value_or(""), png);

    // Cancelled, or a file that cannot be copied: nothing changes.
    const PixmapPtr shown = CreatorLogoPreview->pixmap;
    for (const std::string &answer : {std::string(), dir_->path() + "/pictures/gone.png"}) {
        AnswerFile(answer);
        CreatorChooseLogo();
        EXPECT_EQ(CreatorLogoPreview->pixmap, shown);
        EXPECT_EQ(CountGadgetItems(CreatorLogoComboBox), 2);
        EXPECT_EQ(FileType("creator/gone.png"), FileKind::None);
    }
    auto names = ReadDirectory("creator").value_or(std::vector<std::string>{});
    EXPECT_EQ(names, std::vector<std::string>{"My Logo.png"}) << "no temporary file left";
}

TEST_F(CreatorTest, LogoPreview_followsChosenEntry) {
    SaveBytes("creator/good.png", SourcePng());
    SaveBytes("creator/bad.png", "not a picture");
    CreatorLoadFile("");
    const Items names = ItemTexts(CreatorLogoComboBox);
    const int good = int(std::find(names.begin(), names.end(), "good.png") - names.begin());
    const int bad = int(std::find(names.begin(), names.end(), "bad.png") - names.begin());
    ASSERT_LT(good, int(names.size()));
    ASSERT_LT(bad, int(names.size()));

    SelectGadgetItem(CreatorLogoComboBox, good);
    CreatorShowLogoPreview();
    ASSERT_NE(CreatorLogoPreview->pixmap, nullptr);
    EXPECT_EQ(CreatorLogoPreview->pixmap->width, 220);
    EXPECT_EQ(CreatorLogoPreview->pixmap->height, 70);
    EXPECT_EQ(CreatorLogoPreview->pixmapFlags, PIXMAP_ICON);
    EXPECT_EQ(CreatorLogoFile, "good.png");

    SelectGadgetItem(CreatorLogoComboBox, bad);
    CreatorShowLogoPreview();
    EXPECT_EQ(CreatorLogoPreview->pixmap, nullptr);

    SelectGadgetItem(CreatorLogoComboBox, 0);
    CreatorShowLogoPreview();
    ASSERT_NE(CreatorLogoPreview->pixmap, nullptr);
    EXPECT_EQ(CreatorLogoPreview->pixmapFlags, PIXMAP_FIT);
}

TEST_F(CreatorTest, Cancel_dropsWorkFileAndShowsList) {
    CreatorLoadFile("");
    SaveBytes("creator/station_id.txt", "left over");
    SaveBytes("creator/kept.png", "x");
    CreatorCancel();
    EXPECT_EQ(FileType("creator/station_id.txt"), FileKind::None);
    EXPECT_EQ(FileType("creator/kept.png"), FileKind::File);
    EXPECT_FALSE(GadgetVisible(CreatorPage));
    EXPECT_TRUE(GadgetVisible(StationListPage));
}

} // namespace
} // namespace hvn
