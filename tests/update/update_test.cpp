// The station-list update: its text helpers, then whole runs in the real window against
// a loopback update server.
#include "update/update.h"
#include "update/update_env.h"

#include "catalogue/station_files.h"
#include "config/settings.h"
#include "gui/gui.h"

#include <set>

namespace hvn {
namespace {

TEST(UpdateText, LineKeyAndValue_lines_splitAtFirstEquals) {
    struct Case {
        std::string line, key, value;
    };
    const std::vector<Case> cases = {
        {"abc.hvn=12345", "abc.hvn", "12345"},
        {"a=b=c", "a", "b=c"},
        {"no equals", "", "no equals"},
        {"=5", "", "5"},
        {"x.hvn=", "x.hvn", ""},
        {"", "", ""},
        {"x.hvn=12\r", "x.hvn", "12\r"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(LineKey(c.line), c.key) << c.line;
        EXPECT_EQ(LineValue(c.line), c.value) << c.line;
    }
}

TEST(UpdateText, SizeText_lengths_pointBeforeLastThree) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"12345", "12.345"}, {"1234567", "1234.567"}, {"999", "999"}, {"1000", "1.000"}, {"", ""},
        {"abcd", "a.bcd"},
    };
    for (const auto &[value, shown] : cases)
        EXPECT_EQ(SizeText(value), shown) << value;
}

TEST(UpdateText, ParseDecimal_texts_decimalPrefixOnly) {
    const std::vector<std::pair<std::string, int64_t>> cases = {
        {"12345", 12345}, {"  42x", 42},
        {"-7", -7},       {"+8", 8},
        {"$10", 0},       {"%101", 0},
        {"", 0},          {"abc", 0},
        {"12\r", 12},     {"99999999999999999999999", INT64_MAX},
    };
    for (const auto &[text, value] : cases)
        EXPECT_EQ(ParseDecimal(text), value) << text;
}

TEST(UpdateText, SafeStationKey_names_onlyPlainFileNames) {
    for (const char *good : {"abc.hvn", "Abc Radio.hvn", "x", "..hvn", "a..b.hvn"})
        EXPECT_TRUE(SafeStationKey(good)) << good;
    for (const char *bad : {"", ".", "..", "../x.hvn", "/etc/passwd", "sub/x.hvn", "x.hvn/"})
        EXPECT_FALSE(SafeStationKey(bad)) << bad;
    EXPECT_FALSE(SafeStationKey(std::string("a\0b.hvn", 7)));
}

TEST(UpdateText, ParseBuildInfo_currentFiles_numberAndText) {
    struct Case {
        std::string text;
        int64_t number;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"51", 51, ""},      {"51\n", 51, "#"}, {" 52 \r\n 2.0 beta \r\nignored", 52, "#2.0 beta"},
        {"new\n1", 0, "#1"}, {"", 0, ""},
    };
    for (const auto &c : cases) {
        const BuildInfo info = ParseBuildInfo(c.text);
        EXPECT_EQ(info.number, c.number) << c.text;
        EXPECT_EQ(info.text, c.shown) << c.text;
    }
}

TEST(UpdateText, StartedPercent_shares_truncatedFromSinglePrecision) {
    EXPECT_EQ(StartedPercent(7, 10), 69);
    EXPECT_EQ(StartedPercent(4, 10), 40);
    EXPECT_EQ(StartedPercent(10, 10), 100);
    EXPECT_EQ(StartedPercent(4, 401), 0);
    EXPECT_EQ(StartedPercent(5, 401), 1);
}

Event MakeEvent(int id, const void *source, int data = 0) {
    Event e;
    e.id = id;
    e.source = source;
    e.data = data;
    return e;
}

class UpdateRunTest : public test::UpdateFixture {
protected:
    void SetUp() override {
        UpdateFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        StartServer();
    }

    // Texts of the four group nodes and their children.
    std::vector<std::string> Groups() {
        std::vector<std::string> texts;
        for (Gadget *g : test::GroupNodes())
            texts.push_back(GadgetText(g));
        return texts;
    }
    std::vector<std::string> Children(int group) {
        return test::NodeLines(test::GroupNodes().at(size_t(group)));
    }
    std::vector<std::string> StationRequests() {
        std::vector<std::string> paths;
        for (const auto &p : server_.Paths())
            if (p.rfind("/hvn/stations/", 0) == 0)
                paths.push_back(p.substr(14));
        return paths;
    }
    void WriteLocal(const std::string &file, const std::string &bytes) {
        ASSERT_TRUE(SaveBytes("stations/" + file, bytes));
    }
};

TEST_F(UpdateRunTest, UpdateStationList_mixedList_filesNodesAndCatalogue) {
    const std::string current = test::StationBytes("Current FM");
    const std::string changedOld = test::StationBytes("Changed FM");
    const std::string changedNew = test::StationBytes("Changed FM 2");
    const std::string fresh = test::StationBytes("New FM");
    const std::string lower = test::StationBytes("Lower FM");
    WriteLocal("current.hvn", current);
    WriteLocal("changed.hvn", changedOld);
    WriteLocal("dropped.hvn", test::StationBytes("Dropped FM"));
    WriteLocal("mine.hvn", test::StationBytes("My FM", true));
    WriteLocal("Abc.hvn", test::StationBytes("Upper FM"));
    WriteLocal("notes.txt", "not a station"); // outside the catalogue: never deleted
    LoadStationCatalogue();
    ASSERT_EQ(StationMap.size(), 5u);
    ServeStation("changed.hvn", changedNew);
    ServeStation("new.hvn", fresh);
    ServeStation("abc.hvn", lower);
    const auto size = [](const std::string &s) { return std::to_string(s.size()); };
    ServeArchive("current.hvn=" + size(current) + "\r\nchanged.hvn=" + size(changedOld) +
                 "1\r\nnew.hvn=" + size(fresh) + "\r\nabc.hvn=" + size(lower) + "\r\n");
    SetGadgetText(UpdateMiddleLabel, "left over");
    ListFavouritesOnly = 1;

    EXPECT_EQ(UpdateStationList(), 0);

    EXPECT_EQ(server_.Requests().at(0),
              "GET /hvn/hvn_stationlist.zip HTTP/1.0 | Host: " + ServerHost());
    EXPECT_EQ(StationFiles(), (std::vector<std::string>{"abc.hvn", "changed.hvn", "current.hvn",
                                                        "mine.hvn", "new.hvn", "notes.txt"}));
    EXPECT_EQ(test::ReadFile("stations/changed.hvn"), changedNew);
    EXPECT_EQ(test::ReadFile("stations/new.hvn"), fresh);
    EXPECT_EQ(test::ReadFile("stations/current.hvn"), current);
    const auto requested = StationRequests();
    EXPECT_EQ(std::set<std::string>(requested.begin(), requested.end()),
              (std::set<std::string>{"changed.hvn", "new.hvn", "abc.hvn"}));

    EXPECT_EQ(Groups(), (std::vector<std::string>{"New Stations (2)", "Updated Stations (1)",
                                                  "Current Stations (1)", "Deleted Stations (2)"}));
    EXPECT_EQ(Children(1), std::vector<std::string>{"changed.hvn | " +
                                                    SizeText(size(changedOld) + "1") + " Bytes"});
    EXPECT_EQ(Children(2),
              std::vector<std::string>{"current.hvn | " + SizeText(size(current)) + " Bytes"});
    // In the catalogue's key order; Deleted nodes carry no extra value.
    EXPECT_EQ(Children(3), (std::vector<std::string>{"Abc.hvn", "dropped.hvn"}));

    EXPECT_EQ(GadgetText(UpdatePercentLabel), "100%");
    EXPECT_DOUBLE_EQ(UpdateProgressBar->progress, 1.0);
    EXPECT_EQ(GadgetText(UpdateStatusLabel), "");
    EXPECT_EQ(GadgetText(UpdateMiddleLabel), "");
    EXPECT_EQ(GadgetText(UpdateBuildLabel), "");
    EXPECT_EQ(GadgetTooltip(UpdateBackButton), "Back");
    EXPECT_EQ(GadgetTooltip(FavouritesToggleButton), "List Favourite Stations");
    EXPECT_EQ(ListFavouritesOnly, 0);
    EXPECT_TRUE(StationMap.count("NEW.HVN"));
    EXPECT_FALSE(StationMap.count("DROPPED.HVN"));
    EXPECT_EQ(CountGadgetItems(StationListBox), 5);
    EXPECT_EQ(FileType("hvn_stationlist.zip"), FileKind::File);
}

TEST_F(UpdateRunTest, UpdateStationList_allCurrent_noDownloadLoop) {
    const std::string bytes = test::StationBytes("Current FM");
    WriteLocal("current.hvn", bytes);
    LoadStationCatalogue();
    ServeArchive("current.hvn=" + std::to_string(bytes.size()));
    UpdateStationList();
    EXPECT_TRUE(StationRequests().empty());
    EXPECT_EQ(Groups(), (std::vector<std::string>{"New Stations (0)", "Updated Stations (0)",
                                                  "Current Stations (1)", "Deleted Stations (0)"}));
    EXPECT_EQ(GadgetText(UpdatePercentLabel), "100%");
    EXPECT_DOUBLE_EQ(UpdateProgressBar->progress, 1.0);
    EXPECT_EQ(GadgetText(UpdateStatusLabel), "");
}

// Keys that would reach outside "stations/", and keys naming nothing, are never fetched.
TEST_F(UpdateRunTest, UpdateStationList_unsafeKeys_refused) {
    ServeStation("ok.hvn", "ok");
    ServeArchive("../escape.hvn=3\n/tmp/abs.hvn=3\nsub/x.hvn=3\n=5\n\nno line\n..=1\n"
                 "ok.hvn=2\n");
    UpdateStationList();
    EXPECT_EQ(StationRequests(), std::vector<std::string>{"ok.hvn"});
    EXPECT_EQ(FileType("escape.hvn"), FileKind::None);
    EXPECT_EQ(StationFiles(), std::vector<std::string>{"ok.hvn"});
    EXPECT_EQ(Groups().at(0), "New Stations (1)");
}

TEST_F(UpdateRunTest, UpdateStationList_unusableArchive_failsWithoutChanges) {
    struct Case {
        const char *name;
        test::HttpResponse archive;
    };
    std::vector<ZipMember> noList = {{"readme.txt", "x", 0}};
    ASSERT_TRUE(WriteZip("nolist.zip", noList));
    const std::vector<Case> cases = {
        {"garbage", test::HttpResponse::Ok("this is not a zip")},
        {"error page", test::HttpResponse::With(404, "<html>Not Found</html>")},
        {"no list member", test::HttpResponse::Ok(test::ReadFile("nolist.zip"))},
    };
    DeleteFile("nolist.zip");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ResetUpdatePage();
        WriteLocal("kept.hvn", test::StationBytes("Kept FM"));
        LoadStationCatalogue();
        server_.Serve("/hvn/hvn_stationlist.zip", c.archive);
        SetGadgetText(UpdatePercentLabel, "7%");
        UpdateStationList();
        EXPECT_EQ(GadgetText(UpdateStatusLabel), "hvn_stationlist.zip - File not found.");
        EXPECT_EQ(GadgetTooltip(UpdateBackButton), "Back");
        EXPECT_EQ(Groups(),
                  (std::vector<std::string>{"New Stations (0)", "Updated Stations (0)",
                                            "Current Stations (0)", "Deleted Stations (0)"}));
        EXPECT_EQ(GadgetText(UpdatePercentLabel), "7%");
        EXPECT_EQ(StationFiles(), std::vector<std::string>{"kept.hvn"});
    }
}

// A dead server: the archive of the last update is used as if fetched.
TEST_F(UpdateRunTest, UpdateStationList_unreachableServer_usesKeptArchive) {
    ServeArchive("gone.hvn=3\n");
    server_.Serve("/hvn/stations/gone.hvn", test::HttpResponse::Ok("abc"));
    UpdateStationList();
    ASSERT_EQ(test::ReadFile("stations/gone.hvn"), "abc");
    server_.Stop();

    ResetUpdatePage();
    UpdateStationList(); // the station is current by the kept list
    EXPECT_EQ(GadgetText(UpdateStatusLabel), "");
    EXPECT_EQ(Groups().at(2), "Current Stations (1)");

    ResetUpdatePage();
    DeleteFile("hvn_stationlist.zip");
    UpdateStationList();
    EXPECT_EQ(GadgetText(UpdateStatusLabel), "hvn_stationlist.zip - File not found.");
}

TEST_F(UpdateRunTest, UpdateStationList_failedDownloads_keepStationsAndList) {
    const std::string oldBytes = test::StationBytes("Old FM");
    WriteLocal("broken.hvn", oldBytes);
    WriteLocal("cut.hvn", oldBytes);
    LoadStationCatalogue();
    server_.Serve("/hvn/stations/broken.hvn", test::HttpResponse::With(404, "<html/>"));
    server_.Serve("/hvn/stations/cut.hvn", test::HttpResponse::Cut(std::string(9000, 'c'), 10));
    ServeArchive("broken.hvn=9000\ncut.hvn=9000\nmissing.hvn=5\n");
    UpdateStationList();
    EXPECT_EQ(test::ReadFile("stations/broken.hvn"), oldBytes);
    EXPECT_EQ(test::ReadFile("stations/cut.hvn"), oldBytes);
    EXPECT_EQ(StationFiles(), (std::vector<std::string>{"broken.hvn", "cut.hvn"}));
    EXPECT_EQ(Groups().at(0), "New Stations (1)");
    EXPECT_EQ(Groups().at(1), "Updated Stations (2)");
    EXPECT_EQ(StationMap.size(), 2u);
}

// A press on the back button during the downloads ends them; the page shown afterwards
// depends on who started the update.
TEST_F(UpdateRunTest, UpdateStationList_backButton_endsDownloads) {
    for (int automatic : {0, 1}) {
        SCOPED_TRACE(automatic);
        ResetUpdatePage();
        WriteLocal("slow.hvn", "old");
        server_.Serve("/hvn/stations/slow.hvn", test::HttpResponse::Stalled());
        server_.Serve("/hvn/stations/fast.hvn", test::HttpResponse::Ok("fast"));
        ServeArchive("slow.hvn=9\nfast.hvn=4\n");
        AutoUpdateRunning = automatic;
        // Two steps (ticks of timers of their own, so the queue keeps both), then the press.
        static int tickA, tickB;
        QueueEvent(MakeEvent(TimerTick, &tickA));
        QueueEvent(MakeEvent(TimerTick, &tickB));
        QueueEvent(MakeEvent(MouseDown, UpdateBackButton, 1));
        UpdateStationList();
        EXPECT_EQ(test::ReadFile("stations/slow.hvn"), "old");
        EXPECT_EQ(GadgetTooltip(UpdateBackButton), "Back");
        EXPECT_EQ(GadgetText(UpdatePercentLabel), "100%");
        EXPECT_EQ(GadgetVisible(UpdatePage), automatic == 1);
        EXPECT_EQ(GadgetVisible(AboutPage), automatic == 0);
        ShowPage(3);
    }
    AutoUpdateRunning = 0;
}

// What the page shows while the downloads run, seen at every timer tick emitted.
TEST_F(UpdateRunTest, UpdateStationList_downloads_progressShownWhileRunning) {
    std::string list;
    for (int i = 0; i < 10; ++i) {
        const std::string name = "p" + std::to_string(i) + ".hvn";
        ServeStation(name, "12345");
        list += name + "=5\n";
    }
    ServeArchive(list);
    SetGadgetText(UpdateBuildLabel, "old notice");
    std::vector<std::string> seen;
    const int hook = AddEmitHook(1, [&](Event &e) {
        if (e.id == TimerTick)
            seen.push_back(GadgetText(UpdateStatusLabel) + " | " + GadgetTooltip(UpdateBackButton) +
                           " | " + GadgetText(UpdatePercentLabel) + " | " +
                           GadgetText(UpdateBuildLabel));
        return true;
    });
    UpdateStationList();
    RemoveEmitHook(hook);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), "Downloading... | Disconnect | 0% | ");
    std::set<std::string> percents;
    for (const auto &line : seen) {
        EXPECT_EQ(line.rfind("Downloading... | Disconnect | ", 0), 0u) << line;
        percents.insert(line.substr(30, line.find('%') - 30));
    }
    for (const auto &p : percents)
        EXPECT_TRUE(p == "0" || p == "40" || p == "50" || p == "60" || p == "69" || p == "80" ||
                    p == "90" || p == "100")
            << p;
    EXPECT_EQ(Groups().at(0), "New Stations (10)");
    EXPECT_EQ(StationFiles().size(), 10u);
}

// Events the loop does not handle are dropped; the loop goes on to the end.
TEST_F(UpdateRunTest, UpdateStationList_otherEvents_dropped) {
    ServeStation("a.hvn", "aaaa");
    ServeArchive("a.hvn=4\n");
    QueueEvent(MakeEvent(MouseDown, StationListBox, 1));
    QueueEvent(MakeEvent(GadgetLostFocus, UpdateTreeView));
    QueueEvent(MakeEvent(GadgetAction, UpdateTreeView));
    const int redraws = UpdatePage->redraws;
    UpdateStationList();
    EXPECT_EQ(test::ReadFile("stations/a.hvn"), "aaaa");
    EXPECT_GT(UpdatePage->redraws, redraws);
    EXPECT_TRUE(GadgetVisible(UpdatePage));
}

TEST_F(UpdateRunTest, UpdateStationList_builds_noticeOnlyAboveOwn) {
    struct Case {
        std::string current;
        std::string notice;
    };
    const std::vector<Case> cases = {
        {"50\r\n1.50\r\n", ""}, {"51\r\n 1.51 \r\n", "Build: #1.51"},
        {"51", "Build: "},      {"51\n", "Build: #"},
        {"soon\n2.0", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.current);
        ResetUpdatePage();
        SetGadgetSensitivity(UpdateBuildLabel, 0);
        ServeArchive("", &c.current);
        UpdateStationList();
        EXPECT_EQ(GadgetText(UpdateBuildLabel), c.notice);
        if (c.notice.empty()) {
            EXPECT_EQ(UpdateBuildLabel->sensitivity, 0);
        } else {
            EXPECT_EQ(UpdateBuildLabel->sensitivity, SENSITIZE_MOUSE);
            EXPECT_EQ(GadgetTooltip(UpdateBuildLabel), "Visit Website: Halvane");
        }
    }
}

TEST_F(UpdateRunTest, UpdateStationList_hugeListMember_refused) {
    // Deflate packs these zeros small; the archive declares them whole.
    ServeArchive(std::string(17 * 1024 * 1024, '0'));
    UpdateStationList();
    EXPECT_EQ(GadgetText(UpdateStatusLabel), "hvn_stationlist.zip - File not found.");
}

} // namespace
} // namespace hvn
