// Every text of the options, about, credits and creator pages is whole at the normal
// window size, in every language: measured with the font the widget draws it in, it fits
// the room the toolkit gives it, stays left of the scroll bar and runs under no gadget
// beside it.
#include "app/about.h"
#include "app/gadgets.h"
#include "app/texts.h"
#include "app/window.h"
#include "app_env.h"
#include "config/translations.h"
#include "gui/gadget_view.h"
#include "stationcreator/creator.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace hvn {
namespace {

int TextWidth(const char *text, Fl_Font font, Fl_Fontsize size, int *height = nullptr) {
    fl_font(font, size);
    int w = 0, h = 0;
    fl_measure(text, w, h);
    if (height)
        *height = h;
    return w;
}

// Where, relative to the parent's client, the toolkit draws the text of a label or a
// check box (centred vertically), and the room it has across.
struct Span {
    int left = 0, width = 0, room = 0, top = 0, height = 0;
};

Span LabelSpan(Gadget *g) {
    Fl_Widget *w = g->view->widget;
    int th = 0;
    const int tw = TextWidth(w->label(), w->labelfont(), w->labelsize(), &th);
    int inset = 0;                     // left and right: the toolkit keeps 3 pixels off each edge
    if (g->kind == GadgetKind::Button) // the tick box and its gaps come first
        inset = 2 + w->labelsize() + 2;
    Span s;
    s.width = tw;
    s.height = th;
    s.top = g->y + (g->h - th) / 2;
    if (g->kind == GadgetKind::Label && (g->style & LABEL_CENTER)) {
        s.room = g->w;
        s.left = g->x + (g->w - tw) / 2;
    } else if (g->kind == GadgetKind::Label && (g->style & LABEL_RIGHT)) {
        s.room = g->w - 6;
        s.left = g->x + g->w - 3 - tw;
    } else {
        s.room = g->w - inset - 6;
        s.left = g->x + inset + 3;
    }
    return s;
}

// The room of a choice's shown item: its box, the arrow button and a 3-pixel margin off.
int ChoiceRoom(Gadget *g) {
    const int d = Fl::box_dx(FL_DOWN_BOX);
    return g->w - 2 * d - std::min(g->h - 2 * d, 20) - 3;
}

void CheckChoice(Gadget *g, const std::string &where) {
    auto *choice = static_cast<Fl_Choice *>(g->view->widget);
    const int room = ChoiceRoom(g);
    for (size_t i = 0; i < g->items.size(); ++i) {
        const GadgetItem &item = g->items[i];
        int width = TextWidth(item.text.c_str(), choice->textfont(), choice->textsize());
        if (item.icon >= 0 && g->iconStrip) // the flag, then a blank, then the text
            width = g->iconStrip->size +
                    TextWidth((" " + item.text).c_str(), choice->textfont(), choice->textsize());
        EXPECT_LE(width, room) << where << ": item \"" << item.text << "\" of a " << g->w
                               << "-pixel chooser";
    }
}

bool Overlaps(int a0, int a1, int b0, int b1) {
    return a0 < b1 && b0 < a1;
}

// `viewWidth`: the visible width of the scroll panel the gadget lies in, 0 when none.
void CheckTexts(Gadget *parent, int viewWidth, const std::string &where) {
    for (Gadget *g : parent->children) {
        if (g->hidden || !g->view->widget)
            continue;
        if (g->kind == GadgetKind::ScrollPanel) {
            CheckTexts(g->client, ScrollViewWidth(g), where);
            continue;
        }
        if (g->kind == GadgetKind::ComboBox && !(g->style & COMBOBOX_EDITABLE))
            CheckChoice(g, where);
        if (!g->children.empty())
            CheckTexts(g, 0, where);
        const bool texted = g->kind == GadgetKind::Label || g->kind == GadgetKind::Button;
        if (!texted || g->text.empty())
            continue;
        const Span s = LabelSpan(g);
        const std::string what = where + ": \"" + g->text + "\"";
        EXPECT_LE(s.width, s.room) << what << " is " << s.width << " pixels wide";
        if (viewWidth > 0) {
            EXPECT_LE(s.left + s.width, viewWidth) << what << " runs under the scroll bar";
        }
        for (Gadget *other : parent->children) {
            if (other == g || other->hidden || other->w <= 0 || other->h <= 0)
                continue;
            if (Overlaps(s.top, s.top + s.height, other->y, other->y + other->h) &&
                Overlaps(s.left, s.left + s.width, other->x, other->x + other->w))
                ADD_FAILURE() << what << " runs under a gadget at " << other->x << "," << other->y;
        }
    }
}

TEST(PageTexts, EveryLanguage_EveryTextIsWholeAtTheNormalSize) {
    HVN_REQUIRE_DISPLAY();
    ASSERT_TRUE(test::EnsureTestWindow());
    test::WindowFresh() = false;
    ASSERT_EQ(GadgetHeight(MainWindow), 154);
    BuildCreditsPage();
    // The translation lines name every language, as the language chooser does in brackets.
    ASSERT_EQ(CreditsLineCount, 48);
    std::string credits;
    for (Gadget *label : CreditsLabels)
        credits += label ? label->text + "\n" : "";
    for (const std::string &name : LanguageNames()) {
        const std::string own =
            name.substr(name.find('(') + 1, name.find(')') - name.find('(') - 1);
        EXPECT_NE(credits.find("\n " + own + ": "), std::string::npos) << own;
    }
    for (int language = 0; language < static_cast<int>(LanguageNames().size()); ++language) {
        ResetTranslations();
        LoadTranslations(language);
        ApplyLanguageTexts(language);
        CreatorFillLogoList();
        const std::string where = LanguageNames()[language];
        for (Gadget *page : {OptionsPage, AboutPage, CreditsPage, CreatorPage})
            CheckTexts(page, 0, where);
    }
    ResetTranslations();
    LoadTranslations(LanguageIndex);
    ApplyLanguageTexts(LanguageIndex);
}

} // namespace
} // namespace hvn
