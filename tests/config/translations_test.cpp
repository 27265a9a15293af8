#include "config/translations.h"

#include "config/embedded_files.h"
#include "core/embedded.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "gui/gui.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace hvn {
namespace {

using Table = std::vector<std::string>;

// Runs in a fresh directory, where a "hvn_translations.txt" replaces the embedded copy.
class Translations : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = CurrentDir();
        char pattern[] = "/tmp/hvn-translations-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_TRUE(ChangeDir(dir_));
        ResetTranslations();
    }
    void TearDown() override {
        ResetTranslations();
        ChangeDir(old_);
        DeleteDir(dir_, true);
    }

    // Loads `language` from a custom file holding `text`; returns what went to stdout.
    static std::string LoadFrom(const std::string &text, int language) {
        EXPECT_TRUE(SaveBytes("hvn_translations.txt", text));
        testing::internal::CaptureStdout();
        LoadTranslations(language);
        return testing::internal::GetCapturedStdout();
    }

    std::string old_;
    std::string dir_;
};

const char TwoSections[] = "' header comment\n"
                           "TOOLTIP[0] = \"before any section\"\n"
                           "LANGUAGE=4\n"
                           "LANGUAGE_NAME = \"English (English)\"\n"
                           "TRANSLATOR = \"us\"\n"
                           "REV = \"12a\"\n"
                           "ERRORMSG[0] = \"Error one\"\r\n"
                           "TOOLTIP[1] = \"Mute\" ' the second tooltip\n"
                           "TOOLTIP[0]=\"Back\"\n"
                           " TOOLTIP[2] = \"indented\"\n"
                           "TOOLTIPS[2] = \"misspelt\"\n"
                           "TOOLTIP = \"no bracket\"\n"
                           "LABELS_POPMENU[0] = \"About\"\n"
                           "LABELS_POPMENU2[0] = \"Unrated\"\n"
                           "COMBOBOX[0] = \"only one quote\n"
                           "LABELS_UPDATER[0] = \"  Server  \"\n"
                           "LANGUAGE=8\n"
                           "ERRORMSG[0] = \"Fehler\"\n";

TEST_F(Translations, LoadTranslations_customFile_entriesInLineOrder) {
    EXPECT_EQ(LoadFrom(TwoSections, 4), "Custom language file\n");
    EXPECT_EQ(ERRORMSG, Table({"Error one"}));
    EXPECT_EQ(TOOLTIP, Table({"Mute", "Back"})); // the index in brackets is never read
    EXPECT_EQ(LABELS_POPMENU, Table({"About"}));
    EXPECT_EQ(LABELS_POPMENU2, Table({"Unrated"}));
    EXPECT_EQ(COMBOBOX, Table({""}));
    EXPECT_EQ(LABELS_UPDATER, Table({"  Server  "}));
    EXPECT_TRUE(LABELS_LOAD.empty());
    EXPECT_TRUE(LABELS_OPT.empty());
    EXPECT_TRUE(LABELS_ABOUT.empty());
}

TEST_F(Translations, LoadTranslations_sections_chosenByNumber) {
    struct Case {
        int language;
        Table errors;
    } cases[] = {{8, {"Fehler"}}, {4, {"Error one"}}, {0, {}}, {16, {}}, {200, {}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.language);
        ResetTranslations();
        LoadFrom(TwoSections, c.language);
        EXPECT_EQ(ERRORMSG, c.errors);
        if (c.language != 4) {
            EXPECT_TRUE(TOOLTIP.empty());
        }
    }
}

TEST_F(Translations, LoadTranslations_sectionLines_anyLineWithLanguageEquals) {
    const std::string text = "LANGUAGE= 3 ' leading blank\n"
                             "TOOLTIP[0] = \"three\"\n"
                             "LABELS_OPT[0] = \"LANGUAGE=5\"\n" // starts section 0 here
                             "TOOLTIP[1] = \"zero\"\n"
                             "xLANGUAGE=5\n"
                             "TOOLTIP[0] = \"five\"\n"
                             "LANGUAGE=3\n"
                             "TOOLTIP[2] = \"three again\"\n";
    struct Case {
        int language;
        Table tooltips;
        Table options;
    } cases[] = {
        {3, {"three", "three again"}, {}},
        {0, {"zero"}, {"LANGUAGE=5"}},
        {5, {"five"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.language);
        ResetTranslations();
        LoadFrom(text, c.language);
        EXPECT_EQ(TOOLTIP, c.tooltips);
        EXPECT_EQ(LABELS_OPT, c.options);
    }
}

TEST_F(Translations, LoadTranslations_twiceWithoutReset_doublesTables) {
    LoadFrom(TwoSections, 4);
    LoadFrom(TwoSections, 4);
    EXPECT_EQ(TOOLTIP, Table({"Mute", "Back", "Mute", "Back"}));
    EXPECT_EQ(ERRORMSG.size(), 2u);
    ResetTranslations();
    for (const Table *t : {&ERRORMSG, &LABELS_LOAD, &LABELS_OPT, &LABELS_ABOUT, &LABELS_POPMENU,
                           &TOOLTIP, &COMBOBOX, &LABELS_POPMENU2, &LABELS_UPDATER})
        EXPECT_TRUE(t->empty());
}

TEST_F(Translations, LoadTranslations_byteOrderMarks_honoured) {
    const std::string utf8 = "LANGUAGE=9\nTOOLTIP[0] = \"Πίσω\"\n";
    std::string utf16le = "\xFF\xFE";
    bool ok = true;
    for (char16_t unit : Utf8ToUtf16(utf8, ok)) {
        utf16le += static_cast<char>(unit & 0xFF);
        utf16le += static_cast<char>(unit >> 8);
    }
    ASSERT_TRUE(ok);
    struct Case {
        const char *name;
        std::string bytes;
    } cases[] = {{"none", utf8}, {"utf-8", "\xEF\xBB\xBF" + utf8}, {"utf-16le", utf16le}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ResetTranslations();
        LoadFrom(c.bytes, 9);
        EXPECT_EQ(TOOLTIP, Table({"Πίσω"}));
    }
}

TEST(AddTranslationEntry, lines_quotedTextOrTableUnchanged) {
    const Table before = {"kept"};
    struct Case {
        const char *key;
        const char *line;
        bool added;
        const char *text;
    } cases[] = {
        {"TOOLTIP[", "TOOLTIP[3] = \"Visit Website\" ' comment", true, "Visit Website"},
        {"TOOLTIP[", "TOOLTIP[3] = \"one quote only", true, ""},
        {"TOOLTIP[", "TOOLTIP[3] = no quotes", true, ""},
        {"TOOLTIP[", "TOOLTIP[3] = \"\"", true, ""},
        {"TOOLTIP[", "TOOLTIP[3] = \"a \"b\" c\"", true, "a "},
        {"TOOLTIP[", "TOOLTIP[3] = \" x \"\r", true, " x "},
        {"TOOLTIP[", " TOOLTIP[3] = \"indented\"", false, ""},
        {"TOOLTIP[", "TOOLTIP [3] = \"blank\"", false, ""},
        {"TOOLTIP[", "tooltip[3] = \"case\"", false, ""},
        {"LABELS_POPMENU[", "LABELS_POPMENU2[0] = \"Unrated\"", false, ""},
        {"LABELS_POPMENU2[", "LABELS_POPMENU2[0] = \"Unrated\"", true, "Unrated"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        Table after = AddTranslationEntry(c.key, c.line, before);
        EXPECT_EQ(after, c.added ? Table({"kept", c.text}) : before);
    }
}

TEST(Tr, indexOutsideTable_emptyText) {
    const Table table = {"a", "b"};
    EXPECT_EQ(Tr(table, 0), "a");
    EXPECT_EQ(Tr(table, 1), "b");
    EXPECT_EQ(Tr(table, 2), "");
    EXPECT_EQ(Tr(table, -1), "");
    EXPECT_EQ(Tr({}, 0), "");
}

TEST(LanguageNames, chooserTexts_seventeenInLanguageOrder) {
    const Table &names = LanguageNames();
    ASSERT_EQ(names.size(), 17u);
    EXPECT_EQ(names[0], "Catalan (Catalan)");
    EXPECT_EQ(names[1], "Czech (\xC4\x8C"
                        "ech)");
    EXPECT_EQ(names[4], "English (English)");
    EXPECT_EQ(names[9], "Greek (\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xB1)");
    EXPECT_EQ(names[16], "Swedish (Svenska)");
}

// The embedded copy, when the resource is built in: every language gives full tables.
TEST_F(Translations, LoadTranslations_embeddedFile_fullTablesForEveryLanguage) {
    RegisterEmbeddedFiles();
    if (!EmbeddedFile("Incbin::./data/hvn_translations.txt"))
        GTEST_SKIP() << "no embedded translation file in this build";
    const std::vector<std::pair<const Table *, size_t>> sizes = {
        {&ERRORMSG, 12},    {&LABELS_LOAD, 3},     {&LABELS_OPT, 12},
        {&LABELS_ABOUT, 2}, {&LABELS_POPMENU, 10}, {&TOOLTIP, 28},
        {&COMBOBOX, 6},     {&LABELS_POPMENU2, 6}, {&LABELS_UPDATER, 7}};
    for (int language = 0; language < 17; ++language) {
        SCOPED_TRACE(language);
        ResetTranslations();
        testing::internal::CaptureStdout();
        LoadTranslations(language);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        for (const auto &[table, size] : sizes)
            EXPECT_EQ(table->size(), size);
    }
    ResetTranslations();
    LoadTranslations(4);
    EXPECT_EQ(Tr(ERRORMSG, 0), "Error: Soundcard couldn't be initialised!");
    EXPECT_EQ(Tr(TOOLTIP, 27), "Song History");
    EXPECT_EQ(Tr(LABELS_POPMENU2, 5), "Great");
    EXPECT_EQ(Tr(LABELS_UPDATER, 6), "Disconnect");
}

TEST(RegisterEmbeddedFiles, builtInResources_registeredUnderDataNames) {
    RegisterEmbeddedFiles();
    RegisterEmbeddedFiles(); // once-only
    for (const char *name : {"hvn_translations.txt", "hvn16.png", "lang_flags.png", "hvn_noico.png",
                             "hvn_volumeslider_bg.png", "hvn_about.png"}) {
        SCOPED_TRACE(name);
        const EmbeddedBlob *blob = FindBuiltInResource(name);
        std::optional<std::string> bytes = EmbeddedFile(std::string("Incbin::./data/") + name);
        if (!blob) {
            EXPECT_FALSE(bytes.has_value());
            continue;
        }
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, std::string(reinterpret_cast<const char *>(blob->data), blob->size));
    }
}

TEST(FillLanguageList, chooser_seventeenItemsWithFlagIcons) {
    if (!std::getenv("DISPLAY")) {
        if (std::getenv("HALVANE_TEST_SERVICES"))
            FAIL() << "DISPLAY is not set";
        GTEST_SKIP() << "no X server";
    }
    ASSERT_TRUE(InitGui());
    Gadget *window = CreateWindow("languages", 0, 0, 300, 100, nullptr, WINDOW_HIDDEN);
    Gadget *chooser = CreateComboBox(10, 10, 200, 24, window, 0);
    FillLanguageList(chooser);
    ASSERT_EQ(CountGadgetItems(chooser), 17);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(GadgetItemText(chooser, i), LanguageNames()[static_cast<size_t>(i)]);
        EXPECT_EQ(GadgetItemIcon(chooser, i), i);
        EXPECT_EQ(chooser->items[static_cast<size_t>(i)].tip, "");
        EXPECT_FALSE(chooser->items[static_cast<size_t>(i)].extra.has_value());
    }
}

} // namespace
} // namespace hvn
