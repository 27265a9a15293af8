#include "catalogue/rating.h"

#include "app/app_env.h"
#include "app/gadgets.h"
#include "catalogue/station_files.h"
#include "catalogue/station_list.h"
#include "core/fs.h"
#include "core/strings.h"
#include "playback/current_station.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utime.h>

namespace hvn {
namespace {

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool Exists(const std::string &path) {
    return FileType(path) != FileKind::None;
}

struct Request {
    std::string kind, text;
};

// The real window, a fresh program directory per test, and a catalogue of three stations
// listed in the all-stations category.
class RatingTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        ASSERT_TRUE(test::EnsureTestWindow());
        dir_ = std::make_unique<test::ProgramDir>();
        CurrentStationName = "";
        RecentStations.clear();
        test::WriteStation("a.hvn", "Alpha", 17);
        test::WriteStation("b.hvn", "Bravo", 3);
        test::WriteStation("c.hvn", "Charlie", 12);
        test::WriteRating("a.hvn", 4, 1);
        test::WriteRating("b.hvn", 2, 0);
        LoadStationCatalogue();
        FillStationList(0, 0);
        SetRequesterHook([this](const std::string &kind, const std::string &text) {
            requests_.push_back({kind, text});
            return answer_;
        });
    }
    void TearDown() override {
        SetRequesterHook(nullptr);
        if (StationListBox)
            ClearGadgetItems(StationListBox);
        StationMap.clear();
        RecentStations.clear();
        dir_.reset();
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < CountGadgetItems(StationListBox); ++i)
            names.push_back(GadgetItemText(StationListBox, i));
        return names;
    }

    const trecord &Record(const std::string &key) { return *StationMap.at(key); }

    void ShowPlayer() {
        ShowGadget(PlayerPage);
        HideGadget(StationListPage);
    }

    std::unique_ptr<test::ProgramDir> dir_;
    std::vector<Request> requests_;
    std::string answer_ = "no";
};

using NameList = std::vector<std::string>;

TEST_F(RatingTest, Rating_changes_iconTooltipAndFile) {
    struct Case {
        std::string file;
        int index, rating, fav;
        std::string content; // "" for no rating file
        int icon;
        std::string tip;
    };
    const Case cases[] = {
        {"b.hvn", 1, 0, 0, "", 0, "Alternative (Unrated)"}, // no favourite: file deleted
        {"b.hvn", 1, 3, 0, "3\r\n0\r\n", 3, "Alternative (Fair)"},
        {"a.hvn", 0, 5, 1, "5\r\n1\r\n", 11, "Jazz & Soul (Great)"},
        {"a.hvn", 0, 0, 1, "0\r\n1\r\n", 6, "Jazz & Soul (Unrated)"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file + " rating " + std::to_string(c.rating));
        SelectGadgetItem(StationListBox, c.index);
        SetStationRating(c.file, static_cast<unsigned char>(c.rating),
                         static_cast<unsigned char>(c.fav));
        const std::string db = RatingFilePath(c.file);
        EXPECT_EQ(Exists(db), !c.content.empty());
        if (!c.content.empty()) {
            EXPECT_EQ(ReadAll(db), c.content);
        }
        EXPECT_EQ(Record(Upper(c.file)).rating, c.rating);
        EXPECT_EQ(GadgetItemIcon(StationListBox, c.index), c.icon);
        EXPECT_EQ(GadgetItemTooltip(StationListBox, c.index), c.tip);
        EXPECT_EQ(GadgetItemExtra(StationListBox, c.index).value_or(""), c.file);
        EXPECT_EQ(SelectedGadgetItem(StationListBox), c.index);
    }
    EXPECT_EQ(Names(), (NameList{"Alpha", "Bravo", "Charlie"}));
}

TEST_F(RatingTest, Favourite_changes_iconAndFileButNotTooltip) {
    struct Case {
        std::string file;
        int index, rating, fav;
        bool fileKept;
        std::string content;
        int icon;
    };
    const Case cases[] = {{"c.hvn", 2, 0, 1, true, "0\r\n1\r\n", 6}, // mark an unrated station
                          {"c.hvn", 2, 0, 0, false, "", 0}, // unmark it again: no file left
                          {"b.hvn", 1, 2, 1, true, "2\r\n1\r\n", 8},  // mark keeps the rating
                          {"a.hvn", 0, 4, 0, true, "4\r\n0\r\n", 4}}; // unmark a rated favourite
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file + " fav " + std::to_string(c.fav));
        SelectGadgetItem(StationListBox, c.index);
        const std::string tip = GadgetItemTooltip(StationListBox, c.index);
        SetStationFavourite(c.file, static_cast<unsigned char>(c.rating),
                            static_cast<unsigned char>(c.fav));
        const std::string db = RatingFilePath(c.file);
        EXPECT_EQ(Exists(db), c.fileKept);
        if (c.fileKept) {
            EXPECT_EQ(ReadAll(db), c.content);
        }
        EXPECT_EQ(GadgetItemIcon(StationListBox, c.index), c.icon);
        EXPECT_EQ(GadgetItemTooltip(StationListBox, c.index), tip);
        EXPECT_EQ(Record(Upper(c.file)).fav, c.fav);
    }
}

TEST_F(RatingTest, Rating_stationFileVanished_unknownGenreAndFileWritten) {
    DeleteFile("stations/c.hvn");
    LoadStationCatalogue();
    SelectGadgetItem(StationListBox, 2);
    SetStationRating("c.hvn", 4, 0);
    EXPECT_EQ(GadgetItemTooltip(StationListBox, 2), "Unknown (Good)");
    EXPECT_EQ(ReadAll("db/c.db"), "4\r\n0\r\n");
    LoadStationCatalogue();
    EXPECT_FALSE(Exists("db/c.db"));
}

TEST_F(RatingTest, NoSelection_listLeftAlone) {
    DeselectGadgetItem(StationListBox, SelectedGadgetItem(StationListBox));
    ASSERT_EQ(SelectedGadgetItem(StationListBox), -1);
    const std::vector<GadgetItem> before = StationListBox->items;
    SetStationRating("b.hvn", 5, 0);
    SetStationFavourite("b.hvn", 5, 1);
    DeleteSelectedStation();
    EXPECT_TRUE(requests_.empty());
    ASSERT_EQ(StationListBox->items.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(GadgetItemIcon(StationListBox, int(i)), before[i].icon);
        EXPECT_EQ(GadgetItemTooltip(StationListBox, int(i)), before[i].tip);
    }
    EXPECT_EQ(ReadAll("db/b.db"), "5\r\n1\r\n");
    EXPECT_TRUE(Exists("stations/b.hvn"));
}

TEST_F(RatingTest, DeleteQuestion_sizesAndDate_exactText) {
    std::tm noon{};
    noon.tm_year = 2006 - 1900;
    noon.tm_mon = 11;
    noon.tm_mday = 7;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    const time_t stamp = std::mktime(&noon);
    const std::pair<uintmax_t, std::string> sizes[] = {
        {512, "512"}, {4096, "4.096"}, {1234567, "1234.567"}};
    for (const auto &[size, text] : sizes) {
        SCOPED_TRACE(text);
        ASSERT_LT(std::filesystem::file_size("stations/b.hvn"), size);
        std::filesystem::resize_file("stations/b.hvn", size);
        utimbuf times{stamp, stamp};
        ASSERT_EQ(::utime("stations/b.hvn", &times), 0);
        requests_.clear();
        SelectGadgetItem(StationListBox, 1);
        DeleteSelectedStation();
        ASSERT_EQ(requests_.size(), 1u);
        EXPECT_EQ(requests_[0].kind, "confirm");
        EXPECT_EQ(requests_[0].text,
                  "Delete this station?\n\nBravo\n\nb.hvn (" + text + " Bytes, 07/12/2006)");
        std::filesystem::resize_file("stations/b.hvn", 100); // below the next size
    }
}

TEST_F(RatingTest, DeleteNo_changesNothing) {
    RecentStations = {"B.HVN", "A.HVN"};
    ShowPlayer();
    SelectGadgetItem(StationListBox, 1);
    DeleteSelectedStation();
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(Names(), (NameList{"Alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(StationMap.size(), 3u);
    EXPECT_EQ(RecentStations, (NameList{"B.HVN", "A.HVN"}));
    EXPECT_TRUE(Exists("stations/b.hvn"));
    EXPECT_EQ(ReadAll("db/b.db"), "2\r\n0\r\n");
    EXPECT_TRUE(GadgetVisible(PlayerPage));
}

TEST_F(RatingTest, DeleteYes_removesFilesItemRecordAndRecent) {
    answer_ = "yes";
    RecentStations = {"B.HVN", "A.HVN", "B.HVN"};
    ShowPlayer();
    SelectGadgetItem(StationListBox, 1);
    DeleteSelectedStation();
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_FALSE(Exists("stations/b.hvn"));
    EXPECT_FALSE(Exists("db/b.db"));
    EXPECT_EQ(Names(), (NameList{"Alpha", "Charlie"}));
    EXPECT_EQ(StationMap.count("B.HVN"), 0u);
    EXPECT_EQ(StationMap.size(), 2u);
    EXPECT_EQ(Record("A.HVN").rating, 4); // rebuilt with the other rating files intact
    EXPECT_EQ(RecentStations, (NameList{"A.HVN"}));
    EXPECT_TRUE(PlayerPage->hidden);
    EXPECT_FALSE(StationListPage->hidden);
}

TEST_F(RatingTest, DeleteVanishedFile_removedWithoutAsking) {
    answer_ = "yes";
    RecentStations = {"B.HVN"};
    ShowPlayer();
    DeleteFile("stations/b.hvn");
    SelectGadgetItem(StationListBox, 1);
    DeleteSelectedStation();
    EXPECT_TRUE(requests_.empty());
    EXPECT_EQ(Names(), (NameList{"Alpha", "Charlie"}));
    EXPECT_EQ(StationMap.count("B.HVN"), 0u);
    EXPECT_FALSE(Exists("db/b.db")); // the rebuild drops the orphaned rating file
    EXPECT_TRUE(RecentStations.empty());
    EXPECT_TRUE(PlayerPage->hidden);
    EXPECT_FALSE(StationListPage->hidden);
}

TEST_F(RatingTest, DeleteFails_alertAndOnlyRecentChanged) {
    answer_ = "yes";
    RecentStations = {"B.HVN", "A.HVN"};
    ShowPlayer();
    // A directory under the station's name cannot be unlinked, even by root.
    ASSERT_TRUE(DeleteFile("stations/b.hvn"));
    ASSERT_TRUE(CreateDir("stations/b.hvn"));
    std::ofstream("stations/b.hvn/inner") << "x";
    SelectGadgetItem(StationListBox, 1);
    DeleteSelectedStation();
    ASSERT_EQ(requests_.size(), 2u);
    EXPECT_EQ(requests_[0].kind, "confirm");
    EXPECT_EQ(requests_[1].kind, "notify");
    EXPECT_EQ(requests_[1].text, "Unknown error.");
    EXPECT_TRUE(Exists("stations/b.hvn/inner"));
    EXPECT_EQ(ReadAll("db/b.db"), "2\r\n0\r\n");
    EXPECT_EQ(Names(), (NameList{"Alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(StationMap.count("B.HVN"), 1u);
    EXPECT_EQ(RecentStations, (NameList{"A.HVN"}));
    EXPECT_TRUE(GadgetVisible(PlayerPage));
}

} // namespace
} // namespace hvn
