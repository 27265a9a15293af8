#include "app/about.h"

#include "app/gadgets.h"
#include "config/translations.h"

namespace hvn {

int CreditsLineCount = 0;

std::string FormatPackedVersion(unsigned v) {
    std::string text;
    while (v != 0) {
        text = std::to_string(v & 0xF) + text;
        if (text.size() == 2 || text.size() == 5)
            text = "." + text;
        v >>= 4;
    }
    return text;
}

int AddCreditsLine(const std::string &text, int kind, int line) {
    if (CreditsLineCount >= static_cast<int>(CreditsLabels.size()))
        return 0;
    const int y = 16 * line + 2;
    Gadget *label = nullptr;
    if (kind == 1) {
        label = CreateLabel(text, 0, y, 238, 16, CreditsClient, 0);
        SetGadgetFont(label, GuiFont{"fixed", 11.0, true});
    } else {
        label = CreateLabel(text, 0, y, 260, 16, CreditsClient, 0);
        SetGadgetFont(label, GuiFont{"clean", 12.0, false});
    }
    CreditsLabels[CreditsLineCount] = label;
    SetGadgetSensitivity(label, SENSITIZE_MOUSE);
    ++CreditsLineCount;
    return 0;
}

namespace {

struct CreditsLine {
    int line;
    int kind;
    const char *text;
};

// Not a label: the translation lines, one per language, start at this entry's line.
constexpr int kLanguageLines = -1;

// Each line fits its 260-pixel label; lines 9 and 56 also end before the picture
// beside them.
// clang-format off
const CreditsLine kCredits[] = {
    {0, 1, "Credits"},
    {2, 1, "Corvell"},
    {3, 0, " Design and code: Halvane developers"},
    {5, 1, "Corvell Logo"},
    {6, 0, " Logo artwork: the Halvane developers"},
    {8, 1, "HVN Artwork"},
    {9, 0, " Skin: Halvane developers"},
    {11, 1, "Linux Builds"},
    {12, 0, " Debian packaging and testing"},
    {13, 0, " X11 and OpenGL port"},
    {15, 1, "Mac Builds"},
    {16, 0, " Not built for this platform"},
    {17, 0, " (contributions welcome)"},
    {19, 1, "Windows Builds"},
    {20, 0, " Not built for this platform"},
    {22, 1, "Translations"},
    {23, kLanguageLines, nullptr},
    {42, 1, "Tools"},
    {43, 0, " FLTK: Bill Spitzak and others"},
    {44, 0, " FFmpeg: the FFmpeg developers"},
    {45, 0, " libcurl: Daniel Stenberg and others"},
    {46, 0, " zlib, minizip: Gailly, Adler, Vollant"},
    {47, 0, " libpng, libjpeg, FFTW: their authors"},
    {49, 1, "Web Support"},
    {50, 0, " The Halvane web team"},
    {52, 1, "Lead Tester"},
    {53, 0, " The Halvane testers"},
    {55, 1, "Dedication"},
    {56, 0, " To all who keep radio on the air"},
    {58, 1, "Corvell"},
    {59, 0, " Listen well."},
};
// clang-format on

const char *const kTranslators = "the Halvane project";

// One line per language, named as the language chooser names it in brackets; the last
// but one language's credit goes on over a second line.
void AddTranslationLines(int line) {
    const std::vector<std::string> &names = LanguageNames();
    const int count = static_cast<int>(names.size());
    for (int i = 0; i < count; ++i) {
        const std::string &name = names[i];
        const size_t open = name.find('(');
        const std::string own = name.substr(open + 1, name.size() - open - 2);
        if (i == count - 2) {
            AddCreditsLine(" " + own + ": " + kTranslators + ",", 0, line++);
            AddCreditsLine("          and its reviewers", 0, line++);
        } else {
            AddCreditsLine(" " + own + ": " + kTranslators, 0, line++);
        }
    }
}

Gadget *PicturePanel(int x, int y, int w, int h, const char *picture) {
    Gadget *panel = CreatePanel(x, y, w, h, CreditsClient, 0);
    if (PixmapPtr pixmap = LoadPixmap(picture))
        SetGadgetPixmap(panel, pixmap, PIXMAP_FIT);
    return panel;
}

} // namespace

int BuildCreditsPage() {
    if (CreditsLineCount != 0)
        return 0;
    CreditsLineCount = 0;
    for (const CreditsLine &entry : kCredits) {
        if (entry.kind == kLanguageLines)
            AddTranslationLines(entry.line);
        else
            AddCreditsLine(entry.text, entry.kind, entry.line);
        if (entry.line == 6 && !CreditsArtworkPanel)
            CreditsArtworkPanel = PicturePanel(160, static_cast<int>((6 + 1.2) * 16), 96, 73,
                                               "Incbin::./data/lirra_credits.png");
        if (entry.line == 55 && !CreditsDedicationPanel)
            CreditsDedicationPanel =
                PicturePanel(197, 55 * 16, 59, 80, "Incbin::./data/hvn_kro80.png");
    }
    FitScrollPanelClient(CreditsScrollPanel);
    return 0;
}

} // namespace hvn
