#include "catalogue/station_files.h"

#include "config/translations.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/zip.h"
#include "playback/current_station.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>

namespace hvn {
namespace {

// Every test runs in a fresh directory holding "stations/" and "db/".
class StationFiles : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = CurrentDir();
        char pattern[] = "/tmp/hvn-stationfiles-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_TRUE(ChangeDir(dir_));
        ASSERT_TRUE(CreateDir("stations"));
        ASSERT_TRUE(CreateDir("db"));
        trecord::Clear();
        LABELS_POPMENU2 = {"Unrated", "Mediocre", "Bad", "Fair", "Good", "Great"};
    }
    void TearDown() override {
        trecord::Clear();
        ChangeDir(old_);
        DeleteDir(dir_, true);
    }

    static void WriteStation(const std::string &file, const std::string &description) {
        ASSERT_TRUE(WriteZip("stations/" + file, {{"station_id.txt", description, 0}}));
    }
    static void WriteStation(const std::string &file, const std::string &name, int genre) {
        WriteStation(file, name + "\r\nhttp://home.example\r\n" + std::to_string(genre) +
                               "\r\n1\r\nhttp://127.0.0.1:1/live.mp3");
    }
    static std::string Read(const std::string &path) {
        return LoadText(path).value_or("<missing>");
    }

    std::string old_;
    std::string dir_;
};

std::vector<std::string> Keys() {
    std::vector<std::string> keys;
    for (const auto &[key, record] : StationMap)
        keys.push_back(key);
    return keys;
}

TEST_F(StationFiles, LoadStationCatalogue_extensions_onlyExactLowerHvn) {
    struct Case {
        const char *file;
        bool listed;
    } cases[] = {
        {"a.hvn", true},   {"x.HVN", false}, {"x.hvn.bak", false}, {"x", false},
        {"x.y.hvn", true}, {"b.Hvn", false}, {".hvn", true},       {"hvn", false},
    };
    for (const Case &c : cases)
        WriteStation(c.file, std::string("name of ") + c.file, 1);
    LoadStationCatalogue();
    for (const Case &c : cases) {
        auto it = StationMap.find(Upper(c.file));
        EXPECT_EQ(it != StationMap.end(), c.listed) << c.file;
        if (it != StationMap.end()) {
            EXPECT_EQ(it->second->filename, c.file);
            EXPECT_EQ(it->second->name, std::string("name of ") + c.file);
        }
    }
}

TEST_F(StationFiles, LoadStationCatalogue_caseTwins_firstListedWinsAndBothRatingsApply) {
    WriteStation("a.hvn", "lower", 1);
    WriteStation("A.hvn", "upper", 2);
    SaveBytes("db/a.db", "1\r\n0\r\n");
    SaveBytes("db/A.db", "4\r\n1\r\n");
    LoadStationCatalogue();

    ASSERT_EQ(StationMap.size(), 1u);
    const trecord &record = *StationMap.at("A.HVN");
    std::vector<std::string> stations = *ReadDirectory("stations");
    std::string firstStation;
    for (const std::string &e : stations) {
        if (e == "a.hvn" || e == "A.hvn") {
            firstStation = e;
            break;
        }
    }
    EXPECT_EQ(record.filename, firstStation);
    EXPECT_EQ(record.name, firstStation == "a.hvn" ? "lower" : "upper");

    std::vector<std::string> ratings = *ReadDirectory("db");
    std::string lastRating;
    for (const std::string &e : ratings) {
        if (e == "a.db" || e == "A.db")
            lastRating = e;
    }
    EXPECT_EQ(record.rating, lastRating == "a.db" ? 1 : 4);
    EXPECT_EQ(FileType("db/a.db"), FileKind::File);
    EXPECT_EQ(FileType("db/A.db"), FileKind::File);
}

TEST_F(StationFiles, LoadStationCatalogue_genreLine_integerCutToByte) {
    struct Case {
        const char *line;
        int genre;
    } cases[] = {
        {"12abc", 12}, {"300", 44}, {"", 0},   {" \t7", 7}, {"$10", 16},
        {"%101", 5},   {"-1", 255}, {"+3", 3}, {"abc", 0},  {"24", 24},
    };
    int n = 0;
    for (const Case &c : cases)
        WriteStation("s" + std::to_string(n++) + ".hvn",
                     std::string("N\r\nH\r\n") + c.line + "\r\n0");
    LoadStationCatalogue();
    n = 0;
    for (const Case &c : cases) {
        auto it = StationMap.find("S" + std::to_string(n++) + ".HVN");
        ASSERT_NE(it, StationMap.end()) << c.line;
        EXPECT_EQ(it->second->genre, c.genre) << c.line;
    }
    EXPECT_EQ(GenreName(44), "Unknown");
}

TEST_F(StationFiles, LoadStationCatalogue_unusableDescription_leftOutFileKept) {
    struct Case {
        const char *file;
        std::string content; // description text, or a raw file when not a ZIP
        bool zip;
        bool listed;
    } cases[] = {
        {"lf.hvn", "Name\nhttp://h\n3\n1\nhttp://u", true, false},
        {"two.hvn", "Name\r\nhttp://h", true, false},
        {"empty.hvn", "", true, false},
        {"three.hvn", "Name\r\nhttp://h\r\n5", true, true},
        {"noname.hvn", "\r\n\r\n2\r\n0", true, true},
        {"garbage.hvn", "this is not a zip archive", false, false},
        {"zero.hvn", "", false, false},
    };
    for (const Case &c : cases) {
        if (c.zip) {
            WriteStation(c.file, c.content);
        } else {
            ASSERT_TRUE(SaveBytes(std::string("stations/") + c.file, c.content));
        }
    }
    ASSERT_TRUE(WriteZip("stations/nomember.hvn", {{"station_ico.png", "png", 0}}));
    LoadStationCatalogue();
    for (const Case &c : cases) {
        EXPECT_EQ(StationMap.count(Upper(c.file)), c.listed ? 1u : 0u) << c.file;
        EXPECT_EQ(FileType(std::string("stations/") + c.file), FileKind::File) << c.file;
    }
    EXPECT_EQ(StationMap.count("NOMEMBER.HVN"), 0u);
    EXPECT_EQ(StationMap.at("THREE.HVN")->genre, 5);
    EXPECT_EQ(StationMap.at("NONAME.HVN")->name, "");
}

TEST_F(StationFiles, LoadStationCatalogue_memberNameAndBom_readAnyCase) {
    ASSERT_TRUE(WriteZip("stations/upper.hvn", {{"STATION_ID.TXT", "Upper\r\nh\r\n3", 0}}));
    WriteStation("bom.hvn", "\xEF\xBB\xBF"
                            "Bom\r\nh\r\n4");
    LoadStationCatalogue();
    ASSERT_EQ(StationMap.count("UPPER.HVN"), 1u);
    EXPECT_EQ(StationMap.at("UPPER.HVN")->name, "Upper");
    ASSERT_EQ(StationMap.count("BOM.HVN"), 1u);
    EXPECT_EQ(StationMap.at("BOM.HVN")->name, "Bom");
}

TEST_F(StationFiles, LoadStationCatalogue_ratingFiles_valuesCutToByteUnchecked) {
    struct Case {
        const char *station;
        std::string content;
        int rating;
        int fav;
    } cases[] = {
        {"nine", "9\r\n1\r\n", 9, 1}, {"one", "3\r\n", 3, 0},          {"empty", "", 0, 0},
        {"lf", "2\n1\n", 2, 1},       {"big", "258\r\n257\r\n", 2, 1}, {"fav", "0\r\n1\r\n", 0, 1},
    };
    for (const Case &c : cases) {
        WriteStation(std::string(c.station) + ".hvn", c.station, 3);
        ASSERT_TRUE(SaveBytes(std::string("db/") + c.station + ".db", c.content));
    }
    WriteStation("none.hvn", "none", 3);
    LoadStationCatalogue();
    for (const Case &c : cases) {
        const trecord &r = *StationMap.at(Upper(c.station) + ".HVN");
        EXPECT_EQ(r.rating, c.rating) << c.station;
        EXPECT_EQ(r.fav, c.fav) << c.station;
    }
    EXPECT_EQ(StationMap.at("NONE.HVN")->rating, 0);
    EXPECT_EQ(StationMap.at("NONE.HVN")->fav, 0);
    EXPECT_EQ(RatingLabel(StationMap.at("NINE.HVN")->rating), "Unrated");
}

TEST_F(StationFiles, LoadStationCatalogue_orphanRatingFiles_deletedOthersKept) {
    WriteStation("x.hvn", "x", 1);
    WriteStation("keep.hvn", "keep", 1);
    for (const char *f : {"x.db", "keep.db", "gone.db", "notes.txt", "y.DB", "z.db.old"})
        ASSERT_TRUE(SaveBytes(std::string("db/") + f, "1\r\n1\r\n"));
    LoadStationCatalogue();
    EXPECT_EQ(FileType("db/gone.db"), FileKind::None);
    for (const char *f : {"x.db", "keep.db", "notes.txt", "y.DB", "z.db.old"})
        EXPECT_EQ(FileType(std::string("db/") + f), FileKind::File) << f;

    ASSERT_TRUE(DeleteFile("stations/x.hvn"));
    LoadStationCatalogue();
    EXPECT_EQ(FileType("db/x.db"), FileKind::None);
    EXPECT_EQ(FileType("db/keep.db"), FileKind::File);
    EXPECT_EQ(StationMap.count("X.HVN"), 0u);
}

TEST_F(StationFiles, LoadStationCatalogue_ratingFileWithDotDbInside_findsItsStation) {
    // Every ".db" becomes ".hvn" when the station key is formed.
    WriteStation("a.hvn.hvn", "twice", 1);
    ASSERT_TRUE(SaveBytes("db/a.db.db", "5\r\n0\r\n"));
    LoadStationCatalogue();
    EXPECT_EQ(StationMap.at("A.HVN.HVN")->rating, 5);
}

TEST_F(StationFiles, LoadStationCatalogue_missingDirectories_emptyCatalogue) {
    WriteStation("a.hvn", "a", 1);
    LoadStationCatalogue();
    ASSERT_EQ(StationMap.size(), 1u);
    ASSERT_TRUE(DeleteDir("stations", true));
    ASSERT_TRUE(DeleteDir("db", true));
    LoadStationCatalogue();
    EXPECT_TRUE(StationMap.empty());
}

TEST_F(StationFiles, trecordAdd_emptyOrTakenName_refusedAndMapKeepsByteOrder) {
    EXPECT_EQ(trecord::Add("n", "", 1, 2, 3), nullptr);
    auto first = trecord::Add("first", "Jazz.hvn", 1, 2, 1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(trecord::Add("second", "JAZZ.HVN", 9, 9, 9), nullptr);
    EXPECT_EQ(StationMap.at("JAZZ.HVN"), first);
    EXPECT_EQ(first->genre, 1);
    EXPECT_EQ(first->rating, 2);

    for (const char *f : {"z.hvn", "\xC3\xA9.hvn", "_x.hvn", "a.hvnx", "a.hvn", "AB.hvn"})
        ASSERT_NE(trecord::Add(f, f, 0, 0, 0), nullptr) << f;
    // Unsigned byte order with a prefix first: "A.HVN" < "A.HVNX" < "AB..." < "JAZZ" <
    // "Z" < "_" < the byte 0xC3.
    std::vector<std::string> expected = {"A.HVN", "A.HVNX", "AB.HVN",      "JAZZ.HVN",
                                         "Z.HVN", "_X.HVN", "\xC3\xA9.HVN"};
    EXPECT_EQ(Keys(), expected);
    trecord::Clear();
    EXPECT_TRUE(StationMap.empty());
    trecord::Clear();
}

TEST(GenreName, everyNumber_tableNameOrUnknown) {
    struct Case {
        int genre;
        const char *name;
    } cases[] = {
        {0, "Unknown"},  {1, "60s & 70s"}, {10, "Children"},   {13, "Electronic"},
        {14, "Folk"},    {22, "Schlager"}, {23, "Soundtrack"}, {24, "Season"},
        {25, "Unknown"}, {-1, "Unknown"},  {255, "Unknown"},   {6, "Black & Rap"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(GenreName(c.genre), c.name) << c.genre;
}

TEST(RatingLabel, outOfRangeOrShortTable_entryZeroOrEmpty) {
    LABELS_POPMENU2 = {"Unrated", "Mediocre", "Bad", "Fair", "Good", "Great"};
    struct Case {
        int rating;
        const char *label;
    } cases[] = {{0, "Unrated"}, {1, "Mediocre"}, {5, "Great"},
                 {6, "Unrated"}, {9, "Unrated"},  {-1, "Unrated"}};
    for (const Case &c : cases)
        EXPECT_EQ(RatingLabel(c.rating), c.label) << c.rating;
    LABELS_POPMENU2 = {"Unrated", "Mediocre"};
    EXPECT_EQ(RatingLabel(4), "");
    LABELS_POPMENU2.clear();
    EXPECT_EQ(RatingLabel(0), "");
}

TEST_F(StationFiles, SaveStationDb_values_exactBytesOrDeleted) {
    struct Case {
        int rating;
        int fav;
        const char *bytes; // nullptr: no file afterwards
    } cases[] = {
        {3, 0, "3\r\n0\r\n"},
        {0, 1, "0\r\n1\r\n"},
        {255, 1, "255\r\n1\r\n"},
        {0, 0, nullptr},
    };
    for (bool existed : {false, true}) {
        for (const Case &c : cases) {
            const std::string path = "db/station.db";
            DeleteFile(path);
            if (existed) {
                ASSERT_TRUE(SaveBytes(path, "5\r\n1\r\nlonger old content\r\n"));
            }
            SaveStationDb(path, c.rating, c.fav);
            if (c.bytes) {
                EXPECT_EQ(Read(path), c.bytes) << c.rating << "," << c.fav;
            } else {
                EXPECT_EQ(FileType(path), FileKind::None);
            }
        }
    }
    EXPECT_EQ(*ReadDirectory("db"), std::vector<std::string>{}); // no temporary left
}

// A file-size limit makes the write fail part-way, as a full disk would.
TEST_F(StationFiles, SaveStationDb_writeFails_oldFileWhole) {
    const std::string path = "db/station.db";
    ASSERT_TRUE(SaveBytes(path, "4\r\n1\r\n"));
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveStationDb(path, 200, 1);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(Read(path), "4\r\n1\r\n");
    EXPECT_EQ(*ReadDirectory("db"), std::vector<std::string>{"station.db"});
    SaveStationDb(path, 200, 1);
    EXPECT_EQ(Read(path), "200\r\n1\r\n");
}

TEST_F(StationFiles, SaveStationDb_noDirectory_nothingWritten) {
    SaveStationDb("missing/station.db", 3, 1);
    EXPECT_EQ(FileType("missing"), FileKind::None);
}

TEST_F(StationFiles, LoadStationDb_fileOrNone_setsBothValues) {
    struct Case {
        const char *content; // nullptr: no file
        int rating;
        int fav;
    } cases[] = {
        {"4\r\n1\r\n", 4, 1}, {"9\r\n1\r\n", 9, 1}, {"2", 2, 0},
        {nullptr, 0, 0},      {"", 0, 0},           {"x\r\n$FF\r\n", 0, 255},
    };
    for (const Case &c : cases) {
        DeleteFile("db/r.db");
        if (c.content) {
            ASSERT_TRUE(SaveBytes("db/r.db", c.content));
        }
        DbRating = 77;
        DbFavourite = 77;
        LoadStationDb("db/r.db");
        EXPECT_EQ(DbRating, c.rating) << (c.content ? c.content : "none");
        EXPECT_EQ(DbFavourite, c.fav) << (c.content ? c.content : "none");
    }
}

TEST_F(StationFiles, LoadCurrentStationDb_flag_readsCurrentStationsFile) {
    ASSERT_TRUE(SaveBytes("db/jazz.db", "3\r\n1\r\n"));
    const std::string saved = CurrentStationFile;
    CurrentStationFile = "jazz.hvn";
    DbRating = 9;
    DbFavourite = 9;
    LoadCurrentStationDb(0);
    EXPECT_EQ(DbRating, 9);
    LoadCurrentStationDb(1);
    EXPECT_EQ(DbRating, 3);
    EXPECT_EQ(DbFavourite, 1);
    CurrentStationFile = "x";
    LoadCurrentStationDb(2);
    EXPECT_EQ(DbRating, 0);
    EXPECT_EQ(DbFavourite, 0);
    CurrentStationFile = saved;
}

} // namespace
} // namespace hvn
