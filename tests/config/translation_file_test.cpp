// The shipped translation file: its layout, the English reference texts and the quality
// of the other sixteen sections, read through the program's own loader.
#include "config/embedded_files.h"
#include "config/translations.h"

#include "core/embedded.h"
#include "core/fs.h"
#include "core/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace hvn {
namespace {

using Table = std::vector<std::string>;

const char SourceFile[] = HALVANE_SOURCE_DIR "/resources/data/hvn_translations.txt";
constexpr int LanguageCount = 17;
constexpr int EnglishLanguage = 4;
constexpr int LinesPerSection = 90;

const Table ChooserTexts = {"Catalan (Catalan)",    "Czech (Čech)",       "Danish (Dansk)",
                            "Dutch (Nederlands)",   "English (English)",  "Estonian (Eesti Keel)",
                            "Finnish (Suomi)",      "French (Français)",  "German (Deutsch)",
                            "Greek (Ελληνικα)",     "Hungarian (Magyar)", "Italian (Italiano)",
                            "Norwegian (Norsk)",    "Polish (Polski)",    "Portuguese (Português)",
                            "Spanish (Castellano)", "Swedish (Svenska)"};

struct TableSpec {
    const char *key;
    Table *table;
    size_t size;
};

const std::vector<TableSpec> &Tables() {
    static const std::vector<TableSpec> tables = {{"ERRORMSG", &ERRORMSG, 12},
                                                  {"LABELS_LOAD", &LABELS_LOAD, 3},
                                                  {"LABELS_OPT", &LABELS_OPT, 12},
                                                  {"LABELS_ABOUT", &LABELS_ABOUT, 2},
                                                  {"LABELS_POPMENU", &LABELS_POPMENU, 10},
                                                  {"TOOLTIP", &TOOLTIP, 28},
                                                  {"COMBOBOX", &COMBOBOX, 6},
                                                  {"LABELS_POPMENU2", &LABELS_POPMENU2, 6},
                                                  {"LABELS_UPDATER", &LABELS_UPDATER, 7}};
    return tables;
}

std::string ReadSourceFile() {
    std::ifstream in(SourceFile, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Code points of a UTF-8 text: every byte that is not a continuation byte.
size_t CharCount(const std::string &text) {
    size_t count = 0;
    for (unsigned char c : text)
        count += (c & 0xC0) != 0x80;
    return count;
}

// Lead bytes and continuation bytes in order; overlong two-byte forms rejected.
bool IsValidUtf8(const std::string &text) {
    size_t pending = 0;
    for (unsigned char c : text) {
        if (pending > 0) {
            if ((c & 0xC0) != 0x80)
                return false;
            --pending;
        } else if (c >= 0xC2 && c < 0xE0) {
            pending = 1;
        } else if (c >= 0xE0 && c < 0xF0) {
            pending = 2;
        } else if (c >= 0xF0 && c < 0xF5) {
            pending = 3;
        } else if (c >= 0x80) {
            return false;
        }
    }
    return pending == 0;
}

// All 86 entries of one language, in file order, as the loader left them.
using Section = std::vector<std::string>;

// Loads sections from the embedded copy in an empty working directory, so that no file
// beside the test replaces it.
class TranslationFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterEmbeddedFiles();
        const std::string old = CurrentDir();
        char pattern[] = "/tmp/hvn-translation-file-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        ASSERT_TRUE(ChangeDir(pattern));
        for (int language = 0; language < LanguageCount; ++language)
            sections_.push_back(LoadSection(language));
        ResetTranslations();
        ChangeDir(old);
        DeleteDir(pattern, true);
    }
    static void TearDownTestSuite() { sections_.clear(); }

    static Section LoadSection(int language) {
        ResetTranslations();
        testing::internal::CaptureStdout();
        LoadTranslations(language);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "a file beside the test was read";
        Section section;
        for (const TableSpec &spec : Tables()) {
            EXPECT_EQ(spec.table->size(), spec.size) << "language " << language << " " << spec.key;
            spec.table->resize(spec.size);
            section.insert(section.end(), spec.table->begin(), spec.table->end());
        }
        return section;
    }

    // Position of entry `index` of `key` in a Section.
    static size_t At(const std::string &key, size_t index) {
        size_t offset = 0;
        for (const TableSpec &spec : Tables()) {
            if (key == spec.key)
                return offset + index;
            offset += spec.size;
        }
        ADD_FAILURE() << "no table " << key;
        return 0;
    }
    static const std::string &Entry(int language, const std::string &key, size_t index) {
        return sections_[static_cast<size_t>(language)][At(key, index)];
    }

    static std::vector<Section> sections_;
};

std::vector<Section> TranslationFile::sections_;

TEST_F(TranslationFile, EmbeddedCopy_sameBytesAsResourceFile) {
    std::optional<std::string> embedded = EmbeddedFile("Incbin::./data/hvn_translations.txt");
    ASSERT_TRUE(embedded.has_value()) << "the translation file is not built into the program";
    EXPECT_EQ(*embedded, ReadSourceFile()) << "the build embeds a stale copy";
}

TEST_F(TranslationFile, Layout_headerAndEntryLinesPerSection_exact) {
    const std::string bytes = ReadSourceFile();
    ASSERT_FALSE(bytes.empty()) << SourceFile;
    EXPECT_TRUE(IsValidUtf8(bytes));
    EXPECT_FALSE(bytes.starts_with("\xEF\xBB\xBF")) << "no byte-order mark";
    EXPECT_EQ(bytes.find('\r'), std::string::npos) << "LF line ends only";
    ASSERT_EQ(bytes.back(), '\n');

    Table lines = Split(bytes.substr(0, bytes.size() - 1), "\n");
    ASSERT_EQ(lines.size(), static_cast<size_t>(LanguageCount * LinesPerSection));
    const std::regex entry(R"re(^([A-Z_0-9]+)\[([0-9]+)\] = "([^"]*)"( '.*)?$)re");
    for (int language = 0; language < LanguageCount; ++language) {
        SCOPED_TRACE("language " + std::to_string(language));
        auto line = lines.begin() + language * LinesPerSection;
        EXPECT_EQ(*line++, "LANGUAGE=" + std::to_string(language));
        EXPECT_EQ(*line++,
                  "LANGUAGE_NAME = \"" + ChooserTexts[static_cast<size_t>(language)] + "\"");
        EXPECT_TRUE(std::regex_match(*line++, std::regex(R"(^TRANSLATOR = "[^"]*Halvane[^"]*"$)")));
        const char *rev = language == EnglishLanguage ? "12a" : language == 5 ? "11" : "12";
        EXPECT_EQ(*line++, std::string("REV = \"") + rev + "\"");
        for (const TableSpec &spec : Tables()) {
            for (size_t i = 0; i < spec.size; ++i, ++line) {
                std::smatch m;
                ASSERT_TRUE(std::regex_match(*line, m, entry)) << *line;
                EXPECT_EQ(m[1].str(), spec.key) << *line;
                EXPECT_EQ(m[2].str(), std::to_string(i)) << *line;
                EXPECT_FALSE(Contains(m[3].str(), "LANGUAGE=")) << *line;
            }
        }
    }
}

TEST_F(TranslationFile, ChooserTexts_programListMatchesFile) {
    EXPECT_EQ(LanguageNames(), ChooserTexts);
}

TEST_F(TranslationFile, EveryLanguage_textsPresentAndTrimmed) {
    for (int language = 0; language < LanguageCount; ++language) {
        for (size_t i = 0; i < sections_[static_cast<size_t>(language)].size(); ++i) {
            const std::string &text = sections_[static_cast<size_t>(language)][i];
            SCOPED_TRACE("language " + std::to_string(language) + " entry " + std::to_string(i));
            EXPECT_FALSE(text.empty());
            EXPECT_EQ(Trim(text), text);
        }
    }
}

TEST_F(TranslationFile, English_referenceTexts) {
    const std::vector<std::pair<const char *, Table>> expected = {
        {"ERRORMSG",
         {"Error: Soundcard couldn't be initialised!", "Error: Connection failed!",
          "Error: No radio station found!", "Error: File 'fmod.dll' not found!", "No errors.",
          "File not found.", "Unsupported file or audio format.", "Authentication required.",
          "Couldn't connect to the host.", "A HTTP error occurred.", "Unknown error.",
          "Limitation of Internetstream."}},
        {"LABELS_LOAD", {"Connecting to radio station", "Please wait", "Delete this station"}},
        {"LABELS_OPT",
         {"Driver", "Language", "Buffer Size", "Save Window Position", "Save Last Radio Station",
          "Start Minimized", "Change Skin", "Buffer Status", "Connection Errors",
          "Spectrum Analyser", "Splash Screen", "Increase default window height"}},
        {"LABELS_POPMENU",
         {"About", "Options", "Station List", "Delete Station", "Check Updates", "Exit HVN",
          "Favourite Station", "Credits", "Mute", "Report Update"}},
        {"TOOLTIP",
         {"Back",
          "Mute",
          "Unmute",
          "Visit Website",
          "Exit HVN",
          "Switch Page",
          "List Favourite Stations",
          "List All Stations",
          "A Favourite Station",
          "No Favourite Station",
          "Change Server",
          "Volume",
          "Right click for drop down options",
          "Stop",
          "Save",
          "Next Station",
          "Previous Station",
          "Station Name",
          "Homepage URL",
          "Logo Preview",
          "Filename",
          "Station Editor",
          "Server Url",
          "Add new Server URL",
          "Remove selected Server URL",
          "Select a Logo file",
          "Server URL for updates",
          "Song History"}},
        {"COMBOBOX",
         {"(No Logo)", "(All Genre)", "(No Genre)", "(Recently Added)", "(Highest Rated)",
          "(My Playlist)"}},
        {"LABELS_POPMENU2", {"Unrated", "Mediocre", "Bad", "Fair", "Good", "Great"}},
        {"LABELS_UPDATER",
         {"Server", "New Stations", "Updated Stations", "Current Stations", "Deleted Stations",
          "Downloading", "Disconnect"}}};
    for (const auto &[key, texts] : expected) {
        for (size_t i = 0; i < texts.size(); ++i)
            EXPECT_EQ(Entry(EnglishLanguage, key, i), texts[i]) << key << "[" << i << "]";
    }
}

// A section copied from English, or from another language, must not pass for a translation.
// The few entries allowed to match are names and words the languages share ("Server").
TEST_F(TranslationFile, Translations_differFromEnglishAndFromEachOther) {
    const Section &english = sections_[EnglishLanguage];
    for (int language = 0; language < LanguageCount; ++language) {
        if (language == EnglishLanguage)
            continue;
        const Section &section = sections_[static_cast<size_t>(language)];
        size_t same = 0;
        for (size_t i = 0; i < section.size(); ++i)
            same += section[i] == english[i];
        EXPECT_LE(same, 6u) << "language " << language << " is mostly English";
        for (int other = language + 1; other < LanguageCount; ++other) {
            if (other == EnglishLanguage)
                continue;
            const Section &second = sections_[static_cast<size_t>(other)];
            size_t shared = 0;
            for (size_t i = 0; i < section.size(); ++i)
                shared += section[i] == second[i];
            EXPECT_LE(shared, 20u) << "languages " << language << " and " << other;
        }
    }
}

// What every language keeps: names, brackets, the error prefix, and no punctuation of
// its own where the program appends "..." or "?".
TEST_F(TranslationFile, EveryLanguage_keepsNamesAndPatterns) {
    for (int language = 0; language < LanguageCount; ++language) {
        SCOPED_TRACE("language " + std::to_string(language));
        auto entry = [&](const char *key, size_t i) { return Entry(language, key, i); };
        const std::string prefix = entry("ERRORMSG", 0).substr(0, entry("ERRORMSG", 0).find(':'));
        EXPECT_NE(prefix, entry("ERRORMSG", 0)) << "the error texts start with a word and ':'";
        for (size_t i = 1; i <= 3; ++i)
            EXPECT_TRUE(entry("ERRORMSG", i).starts_with(prefix + ":")) << entry("ERRORMSG", i);
        EXPECT_TRUE(Contains(entry("ERRORMSG", 3), "'fmod.dll'"));
        EXPECT_TRUE(Contains(entry("ERRORMSG", 9), "HTTP"));
        EXPECT_TRUE(Contains(entry("LABELS_POPMENU", 5), "HVN"));
        EXPECT_TRUE(Contains(entry("TOOLTIP", 4), "HVN"));
        for (size_t i = 0; i < 6; ++i) {
            const std::string &item = entry("COMBOBOX", i);
            EXPECT_TRUE(item.starts_with("(") && item.ends_with(")")) << item;
        }
        for (const auto &[key, i] :
             std::vector<std::pair<const char *, size_t>>{{"LABELS_LOAD", 0},
                                                          {"LABELS_LOAD", 1},
                                                          {"LABELS_LOAD", 2},
                                                          {"LABELS_UPDATER", 5},
                                                          {"TOOLTIP", 3},
                                                          {"TOOLTIP", 11}}) {
            const char last = entry(key, i).back();
            EXPECT_TRUE(last != '.' && last != '?' && last != ':' && last != '!') << entry(key, i);
        }
    }
}

// Texts of the narrow gadgets stay within what the 12 px font fits into them, at about
// 6 px per character (check boxes lose 20 px to the box). A coarse guard: Greek runs
// wider, so the limits were checked once against the font's real widths.
TEST_F(TranslationFile, EveryLanguage_captionsFitTheirGadgets) {
    struct Fit {
        const char *key;
        size_t index;
        const char *gadget;
        size_t max_chars;
    };
    const std::vector<Fit> fits = {
        {"LABELS_OPT", 1, "LanguageCaption 68 px", 11},
        {"LABELS_OPT", 6, "SkinCaption 108 px", 18},
        {"LABELS_OPT", 2, "BufferSizeCaption 188 px", 31},
        {"LABELS_OPT", 3, "SaveWindowPositionCheckBox 227 px", 34},
        {"LABELS_OPT", 4, "SaveStationCheckBox 227 px", 34},
        {"LABELS_OPT", 5, "StartMinimizedCheckBox 227 px", 34},
        {"LABELS_OPT", 8, "ShowErrorsCheckBox 227 px", 34},
        {"LABELS_OPT", 9, "ShowSpectrumCheckBox 227 px", 34},
        {"LABELS_POPMENU", 4, "AutoUpdateCheckBox 227 px", 34},
        {"LABELS_ABOUT", 0, "AboutNoticeLabel1 272 px", 40},
        {"LABELS_ABOUT", 1, "AboutNoticeLabel2 272 px", 40},
        {"LABELS_LOAD", 0, "ConnectingStatusLabel 278 px, with \"...\"", 38},
    };
    for (int language = 0; language < LanguageCount; ++language) {
        for (const Fit &fit : fits) {
            const std::string &text = Entry(language, fit.key, fit.index);
            EXPECT_LE(CharCount(text), fit.max_chars)
                << "language " << language << ", " << fit.gadget << ": " << text;
        }
    }
}

} // namespace
} // namespace hvn
