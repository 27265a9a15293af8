#include "app/menus.h"

#include "app/gadgets.h"
#include "app/startup.h"
#include "app/window.h"
#include "config/translations.h"
#include "playback/now_playing.h"

namespace hvn {

namespace {

Gadget *Item(const std::string &text, int tag, Gadget *menu) {
    return CreateMenu(text, tag, menu);
}

void BuildTrayMenu() {
    TrayMenu = CreateMenu("Popupmenu", 0, nullptr);
    MuteMenuItem = Item(Tr(LABELS_POPMENU, 8), 908, TrayMenu);
    Item("", 0, TrayMenu);
    AboutMenuItem = Item(Tr(LABELS_POPMENU, 0), 900, TrayMenu);
    OptionsMenuItem = Item(Tr(LABELS_POPMENU, 1), 901, TrayMenu);
    StationListMenuItem = Item(Tr(LABELS_POPMENU, 2), 902, TrayMenu);
    CreditsMenuItem = Item(Tr(LABELS_POPMENU, 7), 907, TrayMenu);
    ExitMenuItem = Item(Tr(LABELS_POPMENU, 5), 905, TrayMenu);
}

void BuildRatingMenu() {
    RatingMenu = CreateMenu("Popupmenu_Rating", 0, nullptr);
    Gadget **ratings[6] = {&Rating0MenuItem, &Rating1MenuItem, &Rating2MenuItem,
                           &Rating3MenuItem, &Rating4MenuItem, &Rating5MenuItem};
    const char *bars[6] = {" ", "|", "||", "|||", "||||", "|||||"};
    for (int i = 0; i < 6; ++i)
        *ratings[i] = Item(bars[i], 800 + i, RatingMenu);
    Item("", 0, RatingMenu);
    FavouriteMenuItem = Item(Tr(LABELS_POPMENU, 6), 806, RatingMenu);
    DeleteStationMenuItem = Item(Tr(LABELS_POPMENU, 3), 807, RatingMenu);
    EditStationMenuItem = Item(Tr(TOOLTIP, 21), 809, RatingMenu);
}

} // namespace

void BuildMenus() {
    BuildTrayMenu();
    BuildRatingMenu();
}

void RestoreMainWindow() {
    LeaveTrayStub();
    ShowGadget(MainWindow);
    RedrawGadget(MainWindow);
    RestoreWindow(MainWindow);
}

void HandleMenuTag(int tag) {
    switch (tag) {
    case 900:
        ShowPage(4);
        RestoreMainWindow();
        break;
    case 901:
        ScrollScrollPanel(OptionsScrollPanel, 0, 0);
        ShowPage(2);
        RestoreMainWindow();
        break;
    case 902:
        ShowPage(0);
        RestoreMainWindow();
        break;
    case 905:
        ShutdownApplication();
    case 907:
        ScrollScrollPanel(CreditsScrollPanel, 0, 0);
        ShowPage(5);
        RedrawGadget(MainWindow);
        RestoreMainWindow();
        break;
    case 908:
        ToggleMute();
        break;
    // TODO: tags 800-807 and 809 call SetStationRating, SetStationFavourite,
    // DeleteSelectedStation and CreatorLoadFile, which are not written yet.
    default:
        break;
    }
}

} // namespace hvn
