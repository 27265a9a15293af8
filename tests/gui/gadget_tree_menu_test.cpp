#include "gadget_test_support.h"
#include "gui/gadget_view.h"

#include <FL/Fl_Tree.H>
#include <FL/Fl_Tree_Item.H>

namespace hvn {
namespace {

constexpr int kWindowStyle =
    WINDOW_TITLEBAR | WINDOW_RESIZABLE | WINDOW_CLIENTCOORDS | WINDOW_HIDDEN;

TEST(GadgetTree, Nodes_KeepTextExtraAndChildren) {
    HVN_REQUIRE_GUI();
    Gadget *win = CreateWindow(" Test", 10, 10, 278, 154, nullptr, kWindowStyle);
    Gadget *tree = CreateTreeView(-1, 38, 282, 82, win, 0);
    Gadget *root = TreeViewRoot(tree);
    Gadget *rock = AddTreeViewNode("Rock/Pop", root);
    Gadget *station = AddTreeViewNode("stations/a.hvn", rock, -1, "1234 Bytes");
    AddTreeViewNode("b.hvn", rock);

    EXPECT_EQ(CountTreeViewNodes(root), 1); // "/" does not make a path
    EXPECT_EQ(CountTreeViewNodes(tree), 1);
    EXPECT_EQ(CountTreeViewNodes(rock), 2);
    EXPECT_EQ(station->extra, "1234 Bytes");
    EXPECT_EQ(station->parent, rock);
    EXPECT_STREQ(station->view->treeItem->label(), "stations/a.hvn");
    EXPECT_EQ(SelectedTreeViewNode(tree), nullptr);
    SelectTreeViewNode(station);
    EXPECT_EQ(SelectedTreeViewNode(tree), station);
}

TEST(GadgetTree, ClicksOnNodes_ReportFromTheTreeView) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    Gadget *win = CreateWindow(" Test", 10, 10, 278, 154, nullptr, kWindowStyle);
    Gadget *tree = CreateTreeView(0, 0, 200, 100, win, 0);
    Gadget *cat = AddTreeViewNode("Jazz", TreeViewRoot(tree));
    Gadget *node = AddTreeViewNode("j.hvn", cat);

    SimulateItemClick(tree, 1, false);
    EXPECT_EQ(SelectedTreeViewNode(tree), node);
    SimulateItemClick(tree, 0, true);
    EXPECT_EQ(SelectedTreeViewNode(tree), cat);

    ASSERT_EQ(rec.events.size(), 3u);
    EXPECT_EQ(rec.events[0].id, GadgetSelect);
    EXPECT_EQ(rec.events[1].id, GadgetSelect);
    EXPECT_EQ(rec.events[2].id, GadgetAction);
    for (const Event &e : rec.events)
        EXPECT_EQ(e.source, tree);
}

TEST(GadgetTree, Clear_RemovesEveryNodeAndDetachesThem) {
    HVN_REQUIRE_GUI();
    Gadget *win = CreateWindow(" Test", 10, 10, 278, 154, nullptr, kWindowStyle);
    Gadget *tree = CreateTreeView(0, 0, 200, 100, win, 0);
    Gadget *cat = AddTreeViewNode("Jazz", TreeViewRoot(tree));
    AddTreeViewNode("j.hvn", cat);
    SelectTreeViewNode(cat);

    ClearTreeView(tree);

    EXPECT_EQ(CountTreeViewNodes(tree), 0);
    EXPECT_EQ(SelectedTreeViewNode(tree), nullptr);
    EXPECT_EQ(static_cast<Fl_Tree *>(tree->view->widget)->root()->children(), 0);
    EXPECT_EQ(AddTreeViewNode("late", cat), nullptr); // a removed node takes no children
    SelectTreeViewNode(cat);                          // and is harmless
    EXPECT_EQ(SelectedTreeViewNode(tree), nullptr);
    EXPECT_NE(AddTreeViewNode("again", TreeViewRoot(tree)), nullptr);
}

struct MenuFixture {
    Gadget *root = CreateMenu("", 0, nullptr);
    Gadget *mute = CreateMenu("Mute", 901, root);
    Gadget *sep = CreateMenu("", 0, root);
    Gadget *rating = CreateMenu("Rating", 0, root);
    Gadget *five = CreateMenu("5 & more", 950, rating);
    Gadget *exitItem = CreateMenu("Exit", 905, root);
};

TEST(GadgetMenu, PopupAnswer_IsReportedAsTheItemsTag) {
    HVN_REQUIRE_GUI();
    gadgettest::EventRecorder rec;
    MenuFixture m;
    std::string asked;
    std::string answer;
    SetRequesterHook([&](const std::string &kind, const std::string &) {
        asked = kind;
        return answer;
    });
    struct Case {
        std::string answer;
        Gadget *source; // nullptr: nothing reported
    } cases[] = {
        {"905", m.exitItem}, {"950", m.five}, {"", nullptr}, {"0", nullptr}, {"12x", nullptr},
    };
    for (const Case &c : cases) {
        rec.events.clear();
        answer = c.answer;
        PopupWindowMenu(nullptr, m.root);
        EXPECT_EQ(asked, "menu");
        if (!c.source) {
            EXPECT_TRUE(rec.events.empty()) << c.answer;
            continue;
        }
        ASSERT_EQ(rec.events.size(), 1u) << c.answer;
        EXPECT_EQ(rec.events[0].id, MenuAction);
        EXPECT_EQ(rec.events[0].source, c.source);
        EXPECT_EQ(rec.events[0].data, std::stoi(c.answer));
    }
    DisableMenu(m.exitItem);
    rec.events.clear();
    answer = "905";
    PopupWindowMenu(nullptr, m.root);
    EXPECT_TRUE(rec.events.empty()) << "a disabled item cannot be chosen";
    SetRequesterHook(nullptr);
}

TEST(GadgetMenu, TicksAndEnabling_AreKeptPerItem) {
    HVN_REQUIRE_GUI();
    MenuFixture m;
    EXPECT_FALSE(MenuChecked(m.mute));
    CheckMenu(m.mute);
    EXPECT_TRUE(MenuChecked(m.mute));
    SetButtonState(m.mute, false);
    EXPECT_FALSE(MenuChecked(m.mute));
    DisableGadget(m.mute);
    EXPECT_FALSE(MenuEnabled(m.mute));
    EnableMenu(m.mute);
    EXPECT_TRUE(MenuEnabled(m.mute));
    SetGadgetText(m.mute, "Stumm");
    EXPECT_EQ(m.mute->text, "Stumm");
    EXPECT_EQ(m.root->children.size(), 4u);
}

TEST(GadgetRequesters, HookAnswers_AreReadPerKind) {
    HVN_REQUIRE_GUI();
    std::vector<std::string> kinds;
    std::string answer;
    SetRequesterHook([&](const std::string &kind, const std::string &) {
        kinds.push_back(kind);
        return answer;
    });
    answer = "yes";
    EXPECT_TRUE(Confirm("Delete?"));
    answer = "no";
    EXPECT_FALSE(Confirm("Delete?"));
    answer = "/tmp/a.pls";
    EXPECT_EQ(RequestFile("Open", "Playlists:pls,m3u;All files:*", false), "/tmp/a.pls");
    Rgb picked;
    answer = "10,20,30";
    EXPECT_TRUE(RequestColor(1, 2, 3, picked));
    EXPECT_EQ(picked, (Rgb{10, 20, 30}));
    answer = "";
    EXPECT_FALSE(RequestColor(1, 2, 3, picked));
    Notify("Done");
    EXPECT_EQ(kinds,
              (std::vector<std::string>{"confirm", "confirm", "file", "color", "color", "notify"}));
    SetRequesterHook(nullptr);
}

} // namespace
} // namespace hvn
