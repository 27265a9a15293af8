#pragma once
// The nine interface text tables, filled for one language from "hvn_translations.txt"
// (the file beside the program, else the embedded copy). Main thread only.
#include <string>
#include <vector>

namespace hvn {

class Gadget;

extern std::vector<std::string> ERRORMSG;
extern std::vector<std::string> LABELS_LOAD;
extern std::vector<std::string> LABELS_OPT;
extern std::vector<std::string> LABELS_ABOUT;
extern std::vector<std::string> LABELS_POPMENU;
extern std::vector<std::string> TOOLTIP;
extern std::vector<std::string> COMBOBOX;
extern std::vector<std::string> LABELS_POPMENU2;
extern std::vector<std::string> LABELS_UPDATER;

// Entry `index` of a table; "" when the loaded section did not provide it. Every reader
// of a table goes through this, so a short or missing section never reads past the end.
std::string Tr(const std::vector<std::string> &table, int index);

// Once-only set-up of the module: the tables start empty.
void InitTranslationsModule();
// Empties all nine tables.
void ResetTranslations();
// Appends the entries of every section numbered `language` to the tables (it does not
// empty them first). Prints "Custom language file" to stdout when the file beside the
// program is used. A language without a section leaves the tables as they were.
void LoadTranslations(int language);
// When line begins with key: a copy of table with the line's quoted text appended (""
// when the line has fewer than two double quotes). Otherwise table unchanged.
std::vector<std::string> AddTranslationEntry(const std::string &key, const std::string &line,
                                             const std::vector<std::string> &table);

// The language chooser's 17 texts (UTF-8), item i for language i.
const std::vector<std::string> &LanguageNames();
// Appends the 17 texts to the chooser, item i with icon i of its flag strip.
void FillLanguageList(Gadget *chooser);

} // namespace hvn
