#include "app/menus.h"

#include "app/gadgets.h"
#include "app/startup.h"
#include "app/window.h"
#include "catalogue/rating.h"
#include "catalogue/station_files.h"
#include "config/translations.h"
#include "core/fs.h"
#include "playback/now_playing.h"
#include "stationcreator/creator.h"

namespace hvn {

std::string RatingMenuStationFile;

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

Gadget *RatingItem(int rating) {
    Gadget *const items[6] = {Rating0MenuItem, Rating1MenuItem, Rating2MenuItem,
                              Rating3MenuItem, Rating4MenuItem, Rating5MenuItem};
    return items[rating];
}

void EditSelectedStation() {
    const int selected = SelectedGadgetItem(StationListBox);
    const std::string file =
        selected >= 0 ? GadgetItemExtra(StationListBox, selected).value_or("") : "";
    if (file.empty() || FileType("stations/" + file) != FileKind::File)
        return;
    ShowPage(6);
    CreatorLoadFile("stations/" + file);
}

} // namespace

int TickRatingMenu(int rating) {
    if (rating >= -1 && rating <= 5)
        for (int i = 0; i < 6; ++i) {
            if (i == rating)
                CheckMenu(RatingItem(i));
            else
                UncheckMenu(RatingItem(i));
        }
    DbRating = static_cast<unsigned char>(rating);
    if (DbFavourite != 0)
        CheckMenu(FavouriteMenuItem);
    else
        UncheckMenu(FavouriteMenuItem);
    return 0;
}

void OpenRatingMenu() {
    int i = SelectedGadgetItem(StationListBox);
    if (i < 0)
        i = 0;
    if (CountGadgetItems(StationListBox) == 0)
        return;
    SelectGadgetItem(StationListBox, i);
    RatingMenuStationFile = GadgetItemExtra(StationListBox, i).value_or("");
    // The ticks show the list item's view; the tags then work with the rating file's.
    const int icon = GadgetItemIcon(StationListBox, i);
    DbFavourite = icon > 5 ? 1 : 0;
    TickRatingMenu(icon > 5 ? icon - 6 : icon);
    LoadStationDb(RatingFilePath(RatingMenuStationFile));
    PopupWindowMenu(MainWindow, RatingMenu);
}

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
    case 800:
    case 801:
    case 802:
    case 803:
    case 804:
    case 805:
        SetStationRating(RatingMenuStationFile, static_cast<unsigned char>(tag - 800), DbFavourite);
        break;
    case 806:
        SetStationFavourite(RatingMenuStationFile, DbRating, DbFavourite == 1 ? 0 : 1);
        break;
    case 807:
        DeleteSelectedStation();
        break;
    case 809:
        EditSelectedStation();
        break;
    default:
        break;
    }
}

} // namespace hvn
