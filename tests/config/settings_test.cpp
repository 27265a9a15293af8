#include "config/settings.h"

#include "core/fs.h"
#include "core/text_file.h"
#include "playback/current_station.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>

namespace hvn {
namespace {

// The file as this build writes it with the defaults, a month stamp and a grey
// background; every blank and TAB counted by hand.
const char ExpectedDefaultFile[] = "Halvane\r\n"
                                   "Release\t\t\t  =50\r\n"
                                   "Build\t\t\t  =060813 (Linux TEST BUILD)\r\n"
                                   "Stationlist \t\t  =0\r\n"
                                   "Language      \t\t  =4\r\n"
                                   "Skin      \t\t  =\r\n"
                                   "Buffersize     \t\t  =0\r\n"
                                   "Volume        \t\t  =100\r\n"
                                   "Save Station\t\t  =0\r\n"
                                   "Last Station\t\t  =\r\n"
                                   "Save Window Position\t  =0\r\n"
                                   "Window PositionX\t  =0\r\n"
                                   "Window PositionY\t  =0\r\n"
                                   "Start Minimized  \t  =0\r\n"
                                   "Force OpenGL Driver \t  =1\r\n"
                                   "Show Errors\t\t  =1\r\n"
                                   "Show Spectrum Analyser\t  =1\r\n"
                                   "Window Height\t\t  =154\r\n"
                                   "Update Server\t\t  =http://www.halvane.net/hvn/\r\n"
                                   "Update Homepage\t\t  =http://www.halvane.net/\r\n"
                                   "Auto Update \t\t  =0\r\n"
                                   "Last Update \t\t  =2026 12\r\n"
                                   "Custom Window Color\t  =0\r\n"
                                   "Background Color    \t  =212;208;200;\r\n"
                                   "Label Color     \t  =-1;-1;-1;\r\n";

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = CurrentDir();
        char pattern[] = "/tmp/hvn-settings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_TRUE(ChangeDir(dir_));
        ResetGlobals();
    }
    void TearDown() override {
        ResetGlobals();
        ChangeDir(old_);
        DeleteDir(dir_, true);
    }

    // The state start-up leaves before LoadSettings, plus what it sets right after.
    static void ResetGlobals() {
        DeleteFile("hvn.ini");
        LoadSettings(); // no file here: the defaults
        UpdateServer = BuiltInUpdateServer;
        UpdateHomepage = BuiltInUpdateHomepage;
        CustomWindowColor = 0;
        BackgroundRed = 212;
        BackgroundGreen = 208;
        BackgroundBlue = 200;
        LabelRed = LabelGreen = LabelBlue = -1;
        ForceOpenGLDriver = 1;
        LastUpdate = "2026 12";
        MainWindowGeometry = nullptr;
        CurrentStationName.clear();
    }

    // The expected default file with line n (1-based) replaced by `line`.
    static std::string FileWithLine(int n, const std::string &line) {
        std::vector<std::string> lines = SplitLines(ExpectedDefaultFile);
        lines[static_cast<size_t>(n - 1)] = line;
        std::string out;
        for (const std::string &l : lines)
            out += l + "\r\n";
        return out;
    }

    std::string old_;
    std::string dir_;
};

TEST_F(Settings, SaveSettings_defaults_matchHandWrittenFile) {
    SaveSettings();
    EXPECT_EQ(LoadText("hvn.ini").value_or(""), ExpectedDefaultFile);
    EXPECT_EQ(*ReadDirectory("."), std::vector<std::string>{"hvn.ini"});
}

TEST_F(Settings, SaveThenLoad_everySetting_roundTrips) {
    ListFavouritesOnly = 1;
    LanguageIndex = 16;
    SkinName = " my skin.skn";
    BufferSizeIndex = 3;
    Volume = 37;
    SaveStation = 1;
    CurrentStationName = "Radio = Ünïcode; Name ";
    SaveWindowPosition = 1;
    MainWindowGeometry = [](int &x, int &y, int &h) {
        x = -120;
        y = 2000;
        h = 300;
        return true;
    };
    StartMinimized = 1;
    ForceOpenGLDriver = 1;
    ShowErrors = 0;
    ShowSpectrumAnalyser = 0;
    UpdateServer = "http://127.0.0.1:8080/hvn/";
    UpdateHomepage = "http://127.0.0.1:8080/";
    AutoUpdate = 1;
    LastUpdate = "2025 01";
    CustomWindowColor = 1;
    BackgroundRed = 1;
    BackgroundGreen = 2;
    BackgroundBlue = 255;
    LabelRed = 10;
    LabelGreen = -1;
    LabelBlue = 0;
    SaveSettings();

    // Scramble everything the file holds, then read it back.
    ListFavouritesOnly = 0;
    LanguageIndex = 0;
    SkinName = "x";
    BufferSizeIndex = Volume = SaveStation = SaveWindowPosition = 9;
    LastStation = "x";
    WindowPositionX = WindowPositionY = WindowHeight = 9;
    StartMinimized = ForceOpenGLDriver = ShowErrors = ShowSpectrumAnalyser = 9;
    UpdateServer = UpdateHomepage = LastUpdate = "x";
    AutoUpdate = CustomWindowColor = 9;
    BackgroundRed = BackgroundGreen = BackgroundBlue = LabelRed = LabelGreen = LabelBlue = 9;
    LoadSettings();

    EXPECT_EQ(ListFavouritesOnly, 1);
    EXPECT_EQ(LanguageIndex, 16);
    EXPECT_EQ(SkinName, " my skin.skn");
    EXPECT_EQ(BufferSizeIndex, 3);
    EXPECT_EQ(Volume, 37);
    EXPECT_EQ(SaveStation, 1);
    EXPECT_EQ(LastStation, "Radio = Ünïcode; Name ");
    EXPECT_EQ(SaveWindowPosition, 1);
    EXPECT_EQ(WindowPositionX, -120);
    EXPECT_EQ(WindowPositionY, 2000);
    EXPECT_EQ(StartMinimized, 1);
    EXPECT_EQ(ForceOpenGLDriver, 1);
    EXPECT_EQ(ShowErrors, 0);
    EXPECT_EQ(ShowSpectrumAnalyser, 0);
    EXPECT_EQ(WindowHeight, 300);
    EXPECT_EQ(UpdateServer, "http://127.0.0.1:8080/hvn/");
    EXPECT_EQ(UpdateHomepage, "http://127.0.0.1:8080/");
    EXPECT_EQ(AutoUpdate, 1);
    EXPECT_EQ(LastUpdate, "2025 01");
    EXPECT_EQ(CustomWindowColor, 1);
    EXPECT_EQ((std::vector<int>{BackgroundRed, BackgroundGreen, BackgroundBlue}),
              (std::vector<int>{1, 2, 255}));
    EXPECT_EQ((std::vector<int>{LabelRed, LabelGreen, LabelBlue}), (std::vector<int>{10, -1, 0}));
}

TEST_F(Settings, LoadSettings_singleLine_valueRules) {
    struct Case {
        int line;
        std::string text;
        std::function<void()> check;
    } cases[] = {
        {5, "Language      \t\t  =260", [] { EXPECT_EQ(LanguageIndex, 4); }},
        {4, "Stationlist \t\t  =257", [] { EXPECT_EQ(ListFavouritesOnly, 1); }},
        {4, "Stationlist \t\t  =-1", [] { EXPECT_EQ(ListFavouritesOnly, 255); }},
        {25, "Label Color     \t  =10;20;30",
         [] {
             EXPECT_EQ((std::vector<int>{LabelRed, LabelGreen, LabelBlue}),
                       (std::vector<int>{10, 20, 0}));
         }},
        {25, "Label Color     \t  =10",
         [] {
             EXPECT_EQ((std::vector<int>{LabelRed, LabelGreen, LabelBlue}),
                       (std::vector<int>{0, 0, 0}));
         }},
        {24, "Background Color    \t  =;;;",
         [] {
             EXPECT_EQ((std::vector<int>{BackgroundRed, BackgroundGreen, BackgroundBlue}),
                       (std::vector<int>{0, 0, 0}));
         }},
        {24, "Background Color    \t  = 7 ;x;$10;junk",
         [] {
             EXPECT_EQ((std::vector<int>{BackgroundRed, BackgroundGreen, BackgroundBlue}),
                       (std::vector<int>{7, 0, 16}));
         }},
        {8, "Volume 77", [] { EXPECT_EQ(Volume, 0); }},
        {8, "55", [] { EXPECT_EQ(Volume, 55); }},
        {8, "Volume  =%101", [] { EXPECT_EQ(Volume, 5); }},
        {8, "Volume  = 12 kb=3", [] { EXPECT_EQ(Volume, 12); }},
        {6, "Skin      \t\t  = blue.skn ", [] { EXPECT_EQ(SkinName, " blue.skn "); }},
        {10, "Last Station\t\t  =  a=b ", [] { EXPECT_EQ(LastStation, "  a=b "); }},
        {12, "Window PositionX\t  =4294967297", [] { EXPECT_EQ(WindowPositionX, 1); }},
        {13, "Window PositionY\t  =-20", [] { EXPECT_EQ(WindowPositionY, -20); }},
        {19, "Update Server\t\t  = \t ", [] { EXPECT_EQ(UpdateServer, BuiltInUpdateServer); }},
        {19, "Update Server\t\t  = http://10.0.0.1/u/ ",
         [] { EXPECT_EQ(UpdateServer, "http://10.0.0.1/u/"); }},
        {20, "Update Homepage\t\t  =", [] { EXPECT_EQ(UpdateHomepage, BuiltInUpdateHomepage); }},
        {21, "Auto Update \t\t  =  1  ", [] { EXPECT_EQ(AutoUpdate, 1); }},
        {22, "Last Update \t\t  =  2026 03 ", [] { EXPECT_EQ(LastUpdate, "2026 03"); }},
        {22, "Last Update \t\t  =", [] { EXPECT_EQ(LastUpdate, ""); }},
        {18, "Window Height\t\t  =1\r2\r3", [] { EXPECT_EQ(WindowHeight, 123); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        ResetGlobals();
        ASSERT_TRUE(SaveBytes("hvn.ini", FileWithLine(c.line, c.text)));
        LoadSettings();
        c.check();
        EXPECT_EQ(ShowErrors, 1); // the other lines still read as written
    }
}

TEST_F(Settings, LoadSettings_buildLine_acceptedOnlyExactAfterTrim) {
    struct Case {
        std::string line;
        bool accepted;
    } cases[] = {
        {"Build\t\t\t  =060813 (Linux TEST BUILD)", true},
        {"Build\t\t\t  =  \t060813 (Linux TEST BUILD) \t", true},
        {"060813 (Linux TEST BUILD)", true},
        {"Anything=060813 (Linux TEST BUILD)=", false},
        {"Build\t\t\t  =060813 (linux test build)", false},
        {"Build\t\t\t  =060813 (Linux TEST BUILD) x", false},
        {"Build\t\t\t  =", false},
        {"", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        ResetGlobals();
        std::string file = FileWithLine(3, c.line);
        file =
            file.replace(file.find("Volume        \t\t  =100"),
                         std::string("Volume        \t\t  =100").size(), "Volume        \t\t  =42");
        ASSERT_TRUE(SaveBytes("hvn.ini", file));
        LoadSettings();
        EXPECT_EQ(Volume, c.accepted ? 42 : 100);
    }
}

TEST_F(Settings, LoadSettings_shortOrMissingFile_defaultsOrZeros) {
    struct Case {
        const char *name;
        std::string content; // written as hvn.ini unless `missing`
        bool missing;
        bool readOn; // lines 4 to 25 were read (as empty lines)
        int volume;
        int showErrors;
        int windowHeight;
        int labelRed;
    } cases[] = {
        {"missing", "", true, false, 100, 1, 154, -1},
        {"empty", "", false, false, 100, 1, 154, -1},
        {"two lines", "Halvane\r\nRelease\t\t\t  =50\r\n", false, false, 100, 1, 154, -1},
        {"three lines",
         "Halvane\r\nRelease\t\t\t  =50\r\nBuild\t\t\t  =060813 (Linux TEST BUILD)\r\n", false,
         true, 0, 0, 0, 0},
        {"three lines LF", "Halvane\nRelease =50\nBuild =060813 (Linux TEST BUILD)", false, true, 0,
         0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFile("hvn.ini");
        if (!c.missing) {
            ASSERT_TRUE(SaveBytes("hvn.ini", c.content));
        }
        // Values a previous load could have left, and the start values load must keep.
        Volume = 3;
        ShowErrors = 3;
        SkinName = LastStation = LastUpdate = "old";
        UpdateServer = "http://keep/hvn/";
        UpdateHomepage = "http://keep/";
        BackgroundRed = 212;
        LabelRed = -1;
        CustomWindowColor = 1;
        LoadSettings();
        EXPECT_EQ(Volume, c.volume);
        EXPECT_EQ(ShowErrors, c.showErrors);
        EXPECT_EQ(WindowHeight, c.windowHeight);
        EXPECT_EQ(LabelRed, c.labelRed);
        EXPECT_EQ(SkinName, "");
        EXPECT_EQ(LastStation, "");
        EXPECT_EQ(LastUpdate, "");
        EXPECT_EQ(UpdateServer, "http://keep/hvn/");
        EXPECT_EQ(UpdateHomepage, "http://keep/");
        EXPECT_EQ(CustomWindowColor, c.readOn ? 0 : 1);
        EXPECT_EQ(BackgroundRed, c.readOn ? 0 : 212);
    }
}

TEST_F(Settings, LoadSettings_lfLineEnds_readTheSame) {
    std::string lf = ExpectedDefaultFile;
    for (size_t at; (at = lf.find("\r\n")) != std::string::npos;)
        lf.erase(at, 1);
    lf.replace(lf.find("=100"), 4, "=64");
    ASSERT_TRUE(SaveBytes("hvn.ini", lf));
    LoadSettings();
    EXPECT_EQ(Volume, 64);
    EXPECT_EQ(LastUpdate, "2026 12");
    EXPECT_EQ((std::vector<int>{BackgroundRed, BackgroundGreen, BackgroundBlue}),
              (std::vector<int>{212, 208, 200}));
}

TEST_F(Settings, SaveSettings_copyFlags_onlyExactlyOneCopies) {
    struct Case {
        int saveStation;
        int saveWindow;
        bool hookSet;
        bool hookAnswers;
        const char *lastStation;
        int x;
        int height;
    } cases[] = {
        {1, 1, true, true, "Now", 5, 222},
        {2, 2, true, true, "Before", 0, 154},
        {0, 1, true, false, "Before", 0, 154},
        {1, 1, false, false, "Now", 0, 154},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.saveStation << " " << c.saveWindow);
        ResetGlobals();
        LastStation = "Before";
        CurrentStationName = "Now";
        SaveStation = c.saveStation;
        SaveWindowPosition = c.saveWindow;
        if (c.hookSet) {
            const bool answers = c.hookAnswers;
            MainWindowGeometry = [answers](int &x, int &y, int &h) {
                if (!answers)
                    return false;
                x = 5;
                y = 6;
                h = 222;
                return true;
            };
        }
        SaveSettings();
        LoadSettings();
        EXPECT_EQ(LastStation, c.lastStation);
        EXPECT_EQ(WindowPositionX, c.x);
        EXPECT_EQ(WindowHeight, c.height);
    }
}

TEST_F(Settings, SaveSettings_lineEndInValue_laterLinesStayInPlace) {
    SaveStation = 1;
    CurrentStationName = "two\nlines\r";
    Volume = 61;
    SaveSettings();
    LoadSettings();
    EXPECT_EQ(LastStation, "twolines");
    EXPECT_EQ(Volume, 61);
    EXPECT_EQ(SaveWindowPosition, 0);
    EXPECT_EQ(ShowErrors, 1);
    EXPECT_EQ(LabelRed, -1);
}

// A file-size limit makes the write fail part-way, as a full disk would.
TEST_F(Settings, SaveSettings_writeFails_oldFileWhole) {
    const std::string before = "Halvane\r\nkept as it was\r\n";
    ASSERT_TRUE(SaveBytes("hvn.ini", before));
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveSettings();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(LoadText("hvn.ini").value_or(""), before);
    EXPECT_EQ(*ReadDirectory("."), std::vector<std::string>{"hvn.ini"});
}

} // namespace
} // namespace hvn
