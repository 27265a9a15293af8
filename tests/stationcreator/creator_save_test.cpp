#include "creator_env.h"

#include "catalogue/station_files.h"
#include "core/posix_io.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "core/zip.h"
#include "stationcreator/creator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace hvn {
namespace {

using Names = std::vector<std::string>;

std::string RawBytes(const std::string &path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string bytes;
    if (fd)
        ReadAll(fd.get(), bytes);
    return bytes;
}

// A loopback port that refuses connections: bound, then closed again.
std::string DeadUrl() {
    UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s.get(), reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(s.get(), reinterpret_cast<sockaddr *>(&addr), &len);
    return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/live.mp3";
}

struct Archive {
    Names names;
    std::string description, logo;
    bool custom = false;
};

Archive ReadArchive(const std::string &path) {
    ZipReader zip;
    Archive a;
    if (!zip.Open(path))
        return a;
    a.names = zip.Names();
    a.description = zip.ExtractFile("station_id.txt", true).value_or("");
    a.logo = zip.ExtractFile("station_ico.png", true).value_or("");
    a.custom = zip.HasFile("custom", true);
    return a;
}

int ItemIndex(Gadget *g, const std::string &text) {
    for (int i = 0; i < CountGadgetItems(g); ++i)
        if (GadgetItemText(g, i) == text)
            return i;
    return -1;
}

TEST(CreatorFileName, Field_savedInsideStations) {
    struct Case {
        const char *field, *file;
    };
    const Case cases[] = {
        {"Jazz Radio", "jazz radio.hvn"},
        {"  Rock.HVN ", "rock.hvn"},
        {"x.hvn.bak", "x.hvn.bak"},
        {"", ".hvn"},
        {"../evil", "evil.hvn"},
        {"../../etc/passwd", "passwd.hvn"},
        {"/tmp/abs.hvn", "abs.hvn"},
        {"dir/", ".hvn"},
        {"..", "...hvn"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CreatorStationFileName(c.field), c.file) << c.field;
    EXPECT_EQ(CreatorStationFileName(std::string("ok\0/../x", 8)), "ok.hvn");
}

TEST(StripTrailingSlash, Text_oneSlashRemoved) {
    const std::pair<const char *, const char *> cases[] = {
        {"http://a/", "http://a"}, {"http://a//", "http://a/"}, {"/", ""}, {"", ""}, {"a", "a"}};
    for (const auto &[in, out] : cases)
        EXPECT_EQ(StripTrailingSlash(in), out) << in;
}

class CreatorSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_DISPLAY();
        ASSERT_TRUE(test::EnsureCreatorWindow());
        dir_ = std::make_unique<test::ProgramDir>();
        HiddenToTray = 0;
        dead_ = DeadUrl();
        // A save over another station's file asks first: "Yes" here.
        SetRequesterHook([this](const std::string &kind, const std::string &) {
            questions_ += kind == "confirm";
            return std::string(kind == "confirm" ? "yes" : "");
        });
    }
    void TearDown() override {
        SetRequesterHook(nullptr);
        dir_.reset();
    }

    // An empty creator filled in as a user would.
    void FillCreator(const std::string &name, const std::string &homepage, const std::string &file,
                     const Names &urls, int genre) {
        CreatorLoadFile("");
        SetGadgetText(CreatorNameField, name);
        SetGadgetText(CreatorHomepageField, homepage);
        SetGadgetText(CreatorFileNameField, file);
        for (const std::string &url : urls) {
            SetGadgetText(CreatorUrlField, url);
            CreatorAddUrl();
        }
        SelectGadgetItem(CreatorGenreComboBox, genre);
    }
    void ChooseLogo(const std::string &name) {
        CreatorFillLogoList();
        SelectGadgetItem(CreatorLogoComboBox, ItemIndex(CreatorLogoComboBox, name));
    }

    std::unique_ptr<test::ProgramDir> dir_;
    std::string dead_;
    int questions_ = 0;
};

TEST_F(CreatorSaveTest, NewStation_archiveCatalogueListAndPlay) {
    const std::string logo =
        RawBytes(std::string(HALVANE_SOURCE_DIR) + "/resources/data/hvn40.png");
    ASSERT_FALSE(logo.empty());
    SaveBytes("creator/mine.png", logo);
    ASSERT_TRUE(WriteZip("stations/aaa.hvn",
                         {{"station_id.txt", "Aaa\r\nhttp://a\r\n1\r\n1\r\n" + dead_, 0}}));
    SaveStationDb("db/my station.db", 3, 1);
    ListFavouritesOnly = 1;
    SelectGadgetItem(CategoryComboBox, 5);
    const int ticksBefore = test::PostedTicks();

    FillCreator("  My Station ", " http://home.example// ", "My Station", {dead_, " " + dead_}, 24);
    ChooseLogo("mine.png");
    CreatorSaveStation(CreatorCustom);

    const Archive a = ReadArchive("stations/my station.hvn");
    EXPECT_EQ(a.names, (Names{"station_id.txt", "station_ico.png", "custom"}));
    EXPECT_EQ(a.description,
              "My Station\r\nhttp://home.example/\r\n24\r\n2\r\n" + dead_ + "\r\n" + dead_);
    EXPECT_EQ(a.logo, logo);
    EXPECT_EQ(FileType("creator/station_id.txt"), FileKind::None);
    EXPECT_EQ(FileType("creator/custom"), FileKind::None);
    EXPECT_EQ(FileType("creator/mine.png"), FileKind::File);
    EXPECT_EQ(FileType("db/my station.db"), FileKind::None) << "starts unrated";
    EXPECT_EQ(ReadDirectory("stations")->size(), 2u) << "no temporary file left";

    EXPECT_EQ(StationMap.count("MY STATION.HVN"), 1u);
    EXPECT_EQ(ListFavouritesOnly, 0);
    EXPECT_EQ(GadgetTooltip(FavouritesToggleButton), Tr(TOOLTIP, 6));
    EXPECT_EQ(FavouritesToggleButton->pixmap, FavouritesPixmap);
    EXPECT_EQ(SelectedGadgetItem(CategoryComboBox), 0);
    EXPECT_EQ(CountGadgetItems(StationListBox), 2);
    const int selected = SelectedGadgetItem(StationListBox);
    ASSERT_GE(selected, 0);
    EXPECT_EQ(GadgetItemText(StationListBox, selected), "My Station");
    EXPECT_FALSE(GadgetVisible(BusyLabel));
    EXPECT_FALSE(GadgetVisible(CreatorPage));

    // The saved station was opened: both URLs were tried and neither plays.
    EXPECT_EQ(CurrentStationFile, "my station.hvn");
    EXPECT_EQ(CountGadgetItems(StreamUrlListBox), 2);
    EXPECT_GT(test::PostedTicks(), ticksBefore);
    EXPECT_EQ(IsPlaying, 0);
}

TEST_F(CreatorSaveTest, Members_followCustomAndLogo) {
    struct Case {
        const char *what;
        int custom;
        bool logo;
        Names names;
    };
    const Case cases[] = {
        {"custom, no logo", 1, false, {"station_id.txt", "custom"}},
        {"downloaded, no logo", 0, false, {"station_id.txt"}},
        {"downloaded, logo", 0, true, {"station_id.txt", "station_ico.png"}},
    };
    SaveBytes("creator/l.png", "any bytes at all");
    for (const Case &c : cases) {
        FillCreator("S", "", "s", {dead_}, 0);
        if (c.logo)
            ChooseLogo("l.png");
        CreatorSaveStation(c.custom);
        const Archive a = ReadArchive("stations/s.hvn");
        EXPECT_EQ(a.names, c.names) << c.what;
        EXPECT_EQ(a.description, "S\r\n\r\n0\r\n1\r\n" + dead_) << c.what;
        EXPECT_EQ(a.logo, c.logo ? "any bytes at all" : "") << c.what;
    }
    EXPECT_EQ(questions_, 2) << "new stations over the first one's file";
}

TEST_F(CreatorSaveTest, ImportedStation_keepsOrLosesMarkerAsItsFile) {
    const std::string text = "Down\r\nhttp://d\r\n3\r\n1\r\n" + dead_;
    ASSERT_TRUE(WriteZip("stations/down.hvn", {{"station_id.txt", text, 0}}));
    ASSERT_TRUE(WriteZip("stations/mine.hvn", {{"station_id.txt", text, 0}, {"custom", "", 0}}));
    CreatorLoadFile("stations/down.hvn");
    CreatorSaveStation(CreatorCustom);
    EXPECT_EQ(ReadArchive("stations/down.hvn").names, Names{"station_id.txt"});
    CreatorLoadFile("stations/mine.hvn");
    CreatorSaveStation(CreatorCustom);
    EXPECT_EQ(ReadArchive("stations/mine.hvn").names, (Names{"station_id.txt", "custom"}));
    EXPECT_EQ(ReadArchive("stations/mine.hvn").description, text);
    EXPECT_EQ(questions_, 0) << "edited stations saved over themselves";
}

TEST_F(CreatorSaveTest, FileNameWithFolders_staysInStations) {
    FillCreator("Escape", "http://e", "../../escaped", {dead_}, 1);
    CreatorSaveStation(1);
    EXPECT_EQ(FileType("stations/escaped.hvn"), FileKind::File);
    EXPECT_EQ(FileType("../escaped.hvn"), FileKind::None);
    EXPECT_EQ(FileType("../../escaped.hvn"), FileKind::None);
}

TEST_F(CreatorSaveTest, NoWorkArea_nothingWrittenListShown) {
    FillCreator("Lost", "http://l", "lost", {dead_}, 1);
    DeleteDir("creator", true);
    CreatorSaveStation(1);
    EXPECT_EQ(FileType("stations/lost.hvn"), FileKind::None);
    EXPECT_TRUE(GadgetVisible(StationListPage));
    EXPECT_FALSE(GadgetVisible(CreatorPage));
    EXPECT_FALSE(GadgetVisible(BusyLabel));
}

TEST_F(CreatorSaveTest, FailedWrite_keepsOldStationAndRating) {
    const std::string old = "Keep\r\nhttp://k\r\n2\r\n1\r\n" + dead_;
    ASSERT_TRUE(WriteZip("stations/keep.hvn", {{"station_id.txt", old, 0}}));
    const std::string before = RawBytes("stations/keep.hvn");
    SaveStationDb("db/keep.db", 4, 1);
    // An incompressible logo makes the archive larger than the files may grow.
    std::mt19937 random(7);
    std::string noise(64 * 1024, '\0');
    for (char &c : noise)
        c = static_cast<char>(random());
    SaveBytes("creator/noise.png", noise);
    CreatorLoadFile("stations/keep.hvn");
    ChooseLogo("noise.png");

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 16 * 1024;
    auto *oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    CreatorSaveStation(CreatorCustom);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(RawBytes("stations/keep.hvn") == before) << "old station rewritten";
    EXPECT_EQ(ReadDirectory("stations").value_or(Names{}), Names{"keep.hvn"});
    EXPECT_EQ(FileType("db/keep.db"), FileKind::File) << "not rewritten, so still rated";
    EXPECT_EQ(FileType("creator/station_id.txt"), FileKind::File);
    EXPECT_EQ(StationMap.count("KEEP.HVN"), 1u);
}

TEST_F(CreatorSaveTest, CapitalisedStation_savedBesideInLowerCase) {
    const std::string text = "Caps\r\nhttp://c\r\n2\r\n1\r\n" + dead_;
    ASSERT_TRUE(WriteZip("stations/Caps.hvn", {{"station_id.txt", text, 0}}));
    SaveStationDb("db/Caps.db", 5, 0);
    CreatorLoadFile("stations/Caps.hvn");
    CreatorSaveStation(CreatorCustom);
    EXPECT_EQ(FileType("stations/Caps.hvn"), FileKind::File);
    EXPECT_EQ(FileType("stations/caps.hvn"), FileKind::File);
    EXPECT_EQ(FileType("db/Caps.db"), FileKind::File);
    EXPECT_EQ(StationMap.count("CAPS.HVN"), 1u);
}

} // namespace
} // namespace hvn
