#include "catalogue/station_list.h"

#include "app/app_env.h"
#include "app/gadgets.h"
#include "catalogue/station_files.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/time_format.h"
#include "playback/current_station.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

namespace hvn {
namespace {

// The list page's three gadgets in a window of their own; the rest of the window is not
// needed to fill the list.
void BuildListGadgets() {
    static bool built = false;
    if (built)
        return;
    built = true;
    RegisterEmbeddedFiles();
    InitTranslationsModule();
    LoadTranslations(4);
    MainWindow = CreateWindow("list", 0, 0, 278, 154, nullptr, 227);
    StationListBox = CreateListBox(-1, -1, 280, 121, MainWindow, 0);
    NowPlayingButton = CreatePanel(2, 123, 30, 30, MainWindow, 4);
    FavouritesToggleButton = CreatePanel(186, 123, 30, 30, MainWindow, 4);
}

class StationListTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        ASSERT_TRUE(InitGui());
        BuildListGadgets();
        dir_ = std::make_unique<test::ProgramDir>();
        CurrentStationName = "";
        RecentStations.clear();
        ListFavouritesOnly = 0;
    }
    void TearDown() override {
        StationMap.clear();
        dir_.reset();
    }

    // Stations a.hvn .. with the given genres and ratings; fav per station.
    void Catalogue(const std::vector<std::tuple<std::string, std::string, int, int, int>> &rows) {
        for (const auto &[file, name, genre, rating, fav] : rows) {
            test::WriteStation(file, name, genre);
            test::WriteRating(file, rating, fav);
        }
        LoadStationCatalogue();
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < CountGadgetItems(StationListBox); ++i)
            names.push_back(GadgetItemText(StationListBox, i));
        return names;
    }

    std::unique_ptr<test::ProgramDir> dir_;
};

using NameList = std::vector<std::string>;

TEST_F(StationListTest, AllStations_keyOrder_itemsCarryTipIconAndFile) {
    Catalogue(
        {{"b.hvn", "Bravo", 17, 4, 0}, {"a.hvn", "Alpha", 0, 0, 1}, {"C.hvn", "Charlie", 3, 2, 0}});
    FillStationList(0, 0);
    EXPECT_EQ(Names(), (NameList{"Alpha", "Bravo", "Charlie"}));
    EXPECT_EQ(GadgetItemTooltip(StationListBox, 1), "Jazz & Soul (Good)");
    EXPECT_EQ(GadgetItemTooltip(StationListBox, 0), "Unknown (Unrated)");
    EXPECT_EQ(GadgetItemIcon(StationListBox, 0), 6);
    EXPECT_EQ(GadgetItemIcon(StationListBox, 1), 4);
    EXPECT_EQ(GadgetItemExtra(StationListBox, 2).value_or(""), "C.hvn");
    EXPECT_EQ(StationListBatch.total, 0);
    EXPECT_TRUE(StationListBatch.items.empty());
    EXPECT_EQ(FocusedGadget(), StationListBox);
}

TEST_F(StationListTest, Newest_fileTimes_newestFirstAndMissingLast) {
    Catalogue({{"a.hvn", "Old", 1, 0, 0},
               {"b.hvn", "Gone", 1, 0, 0},
               {"c.hvn", "New", 1, 0, 0},
               {"d.hvn", "Middle", 1, 0, 0}});
    const std::pair<const char *, time_t> times[] = {
        {"stations/a.hvn", 1000000}, {"stations/c.hvn", 3000000}, {"stations/d.hvn", 2000000}};
    for (const auto &[path, t] : times) {
        utimbuf stamp{t, t};
        ASSERT_EQ(::utime(path, &stamp), 0);
    }
    // The file times are read by the catalogue load; a record whose file is missing
    // (added without a load) comes last.
    DeleteFile("stations/b.hvn");
    LoadStationCatalogue();
    trecord::Add("Gone", "b.hvn", 1, 0, 0);
    FillStationList(0, 1);
    EXPECT_EQ(Names(), (NameList{"New", "Middle", "Old", "Gone"}));
}

TEST_F(StationListTest, Newest_manyStations_sortedByTime) {
    for (int i = 0; i < 200; ++i) {
        const std::string file = "s" + std::to_string(i) + ".hvn";
        test::WriteStation(file, std::to_string(i), 1);
        const time_t t = 1000000 + (i * 7919) % 200 * 100; // a scrambled order of times
        utimbuf stamp{t, t};
        ::utime(("stations/" + file).c_str(), &stamp);
    }
    LoadStationCatalogue();
    FillStationList(0, 1);
    ASSERT_EQ(CountGadgetItems(StationListBox), 200);
    int64_t previous = INT64_MAX;
    for (int i = 0; i < 200; ++i) {
        const int64_t t = FileTime("stations/" + GadgetItemExtra(StationListBox, i).value_or(""));
        EXPECT_LE(t, previous) << i;
        previous = t;
    }
}

TEST_F(StationListTest, TopRated_fiveThenFour_lowerRatingsLeftOut) {
    Catalogue({{"a.hvn", "First", 1, 5, 0},
               {"b.hvn", "Second", 1, 4, 0},
               {"c.hvn", "Third", 1, 5, 0},
               {"d.hvn", "Three", 1, 3, 0},
               {"e.hvn", "Zero", 1, 0, 0},
               {"f.hvn", "Six", 1, 6, 0}});
    FillStationList(0, 2);
    EXPECT_EQ(Names(), (NameList{"First", "Third", "Second"}));
}

TEST_F(StationListTest, Recent_staleName_droppedForGood) {
    Catalogue({{"a.hvn", "Alpha", 1, 0, 0}, {"b.hvn", "Bravo", 1, 0, 1}});
    RecentStations = {"B.HVN", "GONE.HVN", "A.HVN"};
    FillStationList(1, 3);
    EXPECT_EQ(Names(), (NameList{"Bravo"}));
    EXPECT_EQ(RecentStations, (std::vector<std::string>{"B.HVN", "A.HVN"}));
    FillStationList(0, 3);
    EXPECT_EQ(Names(), (NameList{"Bravo", "Alpha"}));
}

TEST_F(StationListTest, Genres_eachCategory_listsItsGenreOnly) {
    for (int genre = 0; genre <= 25; ++genre)
        test::WriteStation("g" + std::to_string(genre) + ".hvn", "G" + std::to_string(genre),
                           genre);
    LoadStationCatalogue();
    for (int category = 4; category <= 27; ++category) {
        FillStationList(0, category);
        EXPECT_EQ(Names(), (NameList{"G" + std::to_string(category - 3)})) << category;
    }
}

TEST_F(StationListTest, OutOfRangeCategory_emptyListButButtonUpdated) {
    Catalogue({{"a.hvn", "Alpha", 1, 0, 0}});
    CurrentStationName = "Alpha";
    for (int category : {28, -1}) {
        DisableGadget(NowPlayingButton);
        FillStationList(0, category);
        EXPECT_EQ(CountGadgetItems(StationListBox), 0) << category;
        EXPECT_TRUE(NowPlayingButton->enabled);
        EXPECT_EQ(GadgetTooltip(NowPlayingButton), "Alpha");
        EXPECT_EQ(FocusedGadget(), StationListBox);
    }
}

TEST_F(StationListTest, FavouritesOnly_keepsOnlyMarkOne_inEveryCategory) {
    Catalogue({{"a.hvn", "One", 2, 5, 1}, {"b.hvn", "Two", 2, 5, 2}, {"c.hvn", "None", 2, 5, 0}});
    RecentStations = {"A.HVN", "B.HVN", "C.HVN"};
    for (int category : {0, 1, 2, 3, 5}) {
        FillStationList(1, category);
        EXPECT_EQ(Names(), (NameList{"One"})) << category;
        EXPECT_EQ(GadgetItemIcon(StationListBox, 0), 11);
    }
    FillStationList(0, 0);
    EXPECT_EQ(GadgetItemIcon(StationListBox, 1), 11); // mark 2 still shows as favourite
}

TEST_F(StationListTest, CurrentStation_sameNames_firstSelected) {
    Catalogue({{"a.hvn", "Twin", 1, 0, 0}, {"b.hvn", "twin", 1, 0, 0}, {"c.hvn", "Twin", 1, 0, 0}});
    CurrentStationName = "Twin";
    FillStationList(0, 0);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), 0);
    CurrentStationName = "TWIN";
    FillStationList(0, 0);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), -1);
    CurrentStationName = "";
    FillStationList(0, 0);
    EXPECT_FALSE(NowPlayingButton->enabled);
    EXPECT_EQ(GadgetTooltip(NowPlayingButton), "*");
}

TEST_F(StationListTest, EmptyCatalogue_currentName_buttonEnabledNothingSelected) {
    LoadStationCatalogue();
    CurrentStationName = "Somewhere";
    FillStationList(0, 0);
    EXPECT_EQ(CountGadgetItems(StationListBox), 0);
    EXPECT_TRUE(NowPlayingButton->enabled);
    EXPECT_EQ(SelectedGadgetItem(StationListBox), -1);
}

TEST_F(StationListTest, Filter_ignoresCase_andSwitchesToAllStations) {
    Catalogue({{"a.hvn", "Smooth Jazz", 1, 0, 0},
               {"b.hvn", "Rock", 1, 0, 1},
               {"c.hvn", "jazzy", 1, 0, 0}});
    ListFavouritesOnly = 1;
    CurrentStationName = "Rock";
    FilterStationList("JAZZ");
    const NameList upper = Names();
    FilterStationList("jazz");
    EXPECT_EQ(Names(), upper);
    EXPECT_EQ(upper, (NameList{"Smooth Jazz", "jazzy"}));
    EXPECT_EQ(ListFavouritesOnly, 0);
    EXPECT_EQ(GadgetTooltip(FavouritesToggleButton), "List Favourite Stations");
    EXPECT_EQ(FavouritesToggleButton->pixmap, FavouritesPixmap);
    FilterStationList("");
    EXPECT_EQ(Names(), (NameList{"Smooth Jazz", "Rock", "jazzy"}));
    EXPECT_EQ(SelectedGadgetItem(StationListBox), -1);
    EXPECT_EQ(GadgetItemIcon(StationListBox, 1), 6);
}

TEST(SortRecentObj, Compare_byDate_newerSortsFirst) {
    auto older = TSortRecentObj::Create(10, "o", "o.hvn", 0, 1, 2);
    auto newer = TSortRecentObj::Create(20, "n", "n.hvn", 1, 3, 4);
    EXPECT_EQ(older->Compare(newer.get()), 1);
    EXPECT_EQ(newer->Compare(older.get()), -1);
    EXPECT_EQ(older->Compare(older.get()), 0);
    EXPECT_EQ(older->Compare(nullptr), 0);
    EXPECT_EQ(newer->Rating, 4);
}

TEST(FormatTime, MissingFile_givesTheEpoch) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(FormatFileTime("/nonexistent/file", "%d/%m/%Y"), "01/01/1970");
    EXPECT_EQ(FormatCurrentTime("%Y %m"), FormatTime(CurrentTime(), "%Y %m"));
    EXPECT_EQ(FormatCurrentTime(""), "");
}

} // namespace
} // namespace hvn
