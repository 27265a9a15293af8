#include "config/translations.h"

#include "core/embedded.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "gui/gui.h"

#include <array>
#include <cstdio>
#include <optional>
#include <utility>

namespace hvn {

std::vector<std::string> ERRORMSG;
std::vector<std::string> LABELS_LOAD;
std::vector<std::string> LABELS_OPT;
std::vector<std::string> LABELS_ABOUT;
std::vector<std::string> LABELS_POPMENU;
std::vector<std::string> TOOLTIP;
std::vector<std::string> COMBOBOX;
std::vector<std::string> LABELS_POPMENU2;
std::vector<std::string> LABELS_UPDATER;

namespace {

const char TranslationFile[] = "hvn_translations.txt";

// Keys in the order lines are tested against them. "LABELS_POPMENU[" cannot match a
// "LABELS_POPMENU2[" line, so the order only matters for speed.
const std::array<std::pair<const char *, std::vector<std::string> *>, 9> &Tables() {
    static const std::array<std::pair<const char *, std::vector<std::string> *>, 9> tables = {{
        {"ERRORMSG[", &ERRORMSG},
        {"LABELS_LOAD[", &LABELS_LOAD},
        {"LABELS_OPT[", &LABELS_OPT},
        {"LABELS_ABOUT[", &LABELS_ABOUT},
        {"LABELS_POPMENU[", &LABELS_POPMENU},
        {"TOOLTIP[", &TOOLTIP},
        {"COMBOBOX[", &COMBOBOX},
        {"LABELS_POPMENU2[", &LABELS_POPMENU2},
        {"LABELS_UPDATER[", &LABELS_UPDATER},
    }};
    return tables;
}

// The text between the first and the second double quote; "" with fewer than two.
std::string QuotedText(const std::string &line) {
    const size_t open = line.find('"');
    const size_t start = open == std::string::npos ? 0 : open + 1;
    const size_t close = line.find('"', start);
    if (close == std::string::npos)
        return "";
    return line.substr(start, close - start);
}

// The file beside the program replaces the embedded copy as a whole.
std::string TranslationText() {
    if (FileType(TranslationFile) == FileKind::File) {
        if (std::optional<std::string> text = LoadText(TranslationFile)) {
            std::puts("Custom language file");
            std::fflush(stdout);
            return *text;
        }
    }
    std::optional<std::string> bytes = ReadStream(std::string("Incbin::./data/") + TranslationFile);
    return bytes ? DecodeText(*bytes) : std::string();
}

void AddEntryLine(const std::string &line) {
    for (const auto &[key, table] : Tables()) {
        if (line.starts_with(key)) {
            table->push_back(QuotedText(line));
            return;
        }
    }
}

} // namespace

std::string Tr(const std::vector<std::string> &table, int index) {
    if (index < 0 || static_cast<size_t>(index) >= table.size())
        return "";
    return table[static_cast<size_t>(index)];
}

void InitTranslationsModule() {
    static bool done = false;
    if (done)
        return;
    done = true;
    ResetTranslations();
}

void ResetTranslations() {
    for (const auto &entry : Tables())
        entry.second->clear();
}

void LoadTranslations(int language) {
    int section = -1;
    for (const std::string &line : Split(TranslationText(), "\n")) {
        if (Contains(line, "LANGUAGE=")) {
            // The number after the line's first "=", which need not be LANGUAGE's own.
            section = StrToInt(std::string_view(line).substr(line.find('=') + 1));
        }
        if (section == language)
            AddEntryLine(line);
    }
}

std::vector<std::string> AddTranslationEntry(const std::string &key, const std::string &line,
                                             const std::vector<std::string> &table) {
    std::vector<std::string> result = table;
    if (line.starts_with(key))
        result.push_back(QuotedText(line));
    return result;
}

const std::vector<std::string> &LanguageNames() {
    static const std::vector<std::string> names = {
        "Catalan (Catalan)",    "Czech (Čech)",       "Danish (Dansk)",
        "Dutch (Nederlands)",   "English (English)",  "Estonian (Eesti Keel)",
        "Finnish (Suomi)",      "French (Français)",  "German (Deutsch)",
        "Greek (Ελληνικα)",     "Hungarian (Magyar)", "Italian (Italiano)",
        "Norwegian (Norsk)",    "Polish (Polski)",    "Portuguese (Português)",
        "Spanish (Castellano)", "Swedish (Svenska)"};
    return names;
}

void FillLanguageList(Gadget *chooser) {
    const std::vector<std::string> &names = LanguageNames();
    for (size_t i = 0; i < names.size(); ++i)
        AddGadgetItem(chooser, names[i], 0, static_cast<int>(i));
}

} // namespace hvn
