#include "app/main_loop.h"

#include "app/gadgets.h"
#include "app/menus.h"
#include "app/options.h"
#include "app/startup.h"
#include "app/window.h"
#include "catalogue/station_files.h"
#include "catalogue/station_list.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/browser.h"
#include "core/fs.h"
#include "core/strings.h"
#include "events/queue.h"
#include "playback/current_station.h"
#include "playback/now_playing.h"
#include "playback/playback.h"
#include "playback/spectrum.h"
#include "stationcreator/creator.h"
#include "update/update.h"

#include <algorithm>

namespace hvn {

Gadget *HoverGadget = nullptr;
int VolumeDragging = 0;
int VolumeDragStartX = 0;
int CategoryIndex = 0;

namespace {

Gadget *SourceGadget(const Event &event) {
    return const_cast<Gadget *>(static_cast<const Gadget *>(event.source));
}

bool IsScrollPanel(const Gadget *g) {
    return g == OptionsScrollPanel || g == CreditsScrollPanel || g == CreatorScrollPanel;
}

void OnHousekeepingTick() {
    if (IsPlaying == 0)
        return;
    if (HiddenToTray != 0)
        PollNowPlayingHidden();
    else if (CurrentSound)
        PollNowPlaying();
}

void OnTimerTick(const Event &event) {
    if (HousekeepingTimer && event.source == HousekeepingTimer.get())
        OnHousekeepingTick();
    else if (SpectrumTimer && event.source == SpectrumTimer.get())
        SpectrumFrame();
}

void OpenMainMenu() {
    PopupWindowMenu(MainWindow, TrayMenu);
}

bool IsCreditsLine(const Gadget *g) {
    return std::find(CreditsLabels.begin(), CreditsLabels.end(), g) != CreditsLabels.end();
}

// The tray placeholder never gets presses. A right press on a page's free area, on a
// gadget that reports presses but has no action of its own (the player's title lines,
// the about header, the scroll panels' backgrounds, the credits lines) or on the window
// itself opens the main menu instead.
bool OpensMainMenu(const Gadget *g) {
    if (!g)
        return false;
    for (const Gadget *background :
         {TrayPanel, MainWindow, StationListPage, StationTitleLabel, StationStatusLabel,
          AboutHeaderPanel, AboutNameLabel, OptionsScrollPanel, OptionsClient, CreditsPage,
          CreditsScrollPanel, CreditsClient, CreatorScrollPanel, CreatorClient, UpdatePage})
        if (g == background)
            return true;
    return IsCreditsLine(g);
}

void OnTrayLeftPress() {
    LeaveTrayStub();
    RedrawGadget(MainWindow);
    ShowGadget(MainWindow);
    RedrawGadget(MainWindow);
    if (!GadgetVisible(PlayerPage))
        ActivateGadget(StationListBox);
    RestoreWindow(MainWindow);
}

void OnMouseDown(const Event &event) {
    Gadget *source = SourceGadget(event);
    if (source == TrayPanel && event.data == 1)
        OnTrayLeftPress();
    else if (OpensMainMenu(source) && event.data == 2)
        OpenMainMenu();
}

void OnMouseEnter(const Event &event) {
    if (HoverGadget)
        return;
    HoverGadget = SourceGadget(event);
    ActivateGadget(HoverGadget);
}

void OnMouseLeave() {
    // A remembered scroll panel keeps the hover focus for the rest of the run.
    if (HoverGadget && !IsScrollPanel(HoverGadget))
        HoverGadget = nullptr;
}

void FirstPass(const Event &event) {
    switch (event.id) {
    case TimerTick:
        OnTimerTick(event);
        break;
    case MouseDown:
        OnMouseDown(event);
        break;
    case GadgetMenu:
        // The keyboard's menu keys, on any page.
        if (event.source == MainWindow)
            OpenMainMenu();
        break;
    case MenuAction:
        HandleMenuTag(event.data);
        break;
    case AppTerminate:
        ShutdownApplication();
    case MouseEnter:
        OnMouseEnter(event);
        break;
    case MouseLeave:
        OnMouseLeave();
        break;
    default:
        break;
    }
}

void WheelScroll(Gadget *panel, int data) {
    const int y = ScrollPanelY(panel);
    ScrollScrollPanel(panel, 0, data >= 0 ? std::max(y - 25, 0) : y + 25);
    RedrawGadget(panel);
}

int FindStationItem(const std::string &name) {
    const int count = CountGadgetItems(StationListBox);
    for (int i = 0; i < count; ++i)
        if (GadgetItemText(StationListBox, i) == name)
            return i;
    return -1;
}

void SelectCurrentStationItem() {
    const int index = FindStationItem(CurrentStationName);
    if (index >= 0)
        SelectGadgetItem(StationListBox, index);
}

bool IsStationFile(const std::string &name) {
    return ExtractExt(name) == "hvn" && FileType("stations/" + name) == FileKind::File;
}

void OnTreeSelect() {
    Gadget *node = SelectedTreeViewNode(UpdateTreeView);
    if (!node || !IsStationFile(node->text) || CountTreeViewNodes(node) != 0)
        return;
    auto found = StationMap.find(Upper(node->text));
    if (found == StationMap.end() || !found->second)
        return;
    const std::string size = node->extra.value_or("");
    const std::string name = found->second->name, genre = GenreName(found->second->genre);
    AddTreeViewNode(name, node);
    AddTreeViewNode(genre, node);
    AddTreeViewNode(size, node);
}

void OnTreeAction() {
    Gadget *node = SelectedTreeViewNode(UpdateTreeView);
    if (!node)
        return;
    CurrentStationFile = node->text;
    if (!IsStationFile(CurrentStationFile))
        return;
    CurrentStationName = "";
    ShowPage(0);
    const int selected = SelectedGadgetItem(StationListBox);
    if (selected >= 0)
        DeselectGadgetItem(StationListBox, selected);
    PlayStation(SetCurrentStationFile(CurrentStationFile), 0);
}

void OnStationListEvent(const Event &event) {
    if (event.id == GadgetMenu) {
        OpenRatingMenu();
        return;
    }
    if (event.id == GadgetAction) {
        ActivateGadget(StationListBox);
        PlayStation(SetCurrentStationFile(""), 0);
        return;
    }
    RedrawGadget(StationListBox);
}

void ShowListPanel(int shown) {
    const int hidden = 1 - shown;
    HideGadget(PlayerListPanels[hidden]);
    RedrawGadget(PlayerListPanels[hidden]);
    ShowGadget(PlayerListPanels[shown]);
    RedrawGadget(PlayerListPanels[shown]);
}

void OnHistoryToggle() {
    if (ButtonState(HistoryToggleButton)) {
        SetGadgetToolTip(HistoryToggleButton, Tr(TOOLTIP, 22));
        ShowListPanel(1);
    } else {
        SetGadgetToolTip(HistoryToggleButton, Tr(TOOLTIP, 27));
        ShowListPanel(0);
    }
}

void OnStreamUrlAction() {
    const int n = SelectedGadgetItem(StreamUrlListBox) + 1;
    HideGadget(NextUrlButton);
    HideGadget(PlayerPage);
    PlayStation(CurrentStationFile, n);
}

void OnUpdateNow() {
    for (Gadget *label : {UpdateStatusLabel, UpdateBuildLabel, UpdatePercentLabel,
                          UpdateMiddleLabel, UpdateRightLabel})
        SetGadgetText(label, "");
    UpdateProgBar(UpdateProgressBar, 0.0);
    ClearTreeView(UpdateTreeView);
    ShowPage(3);
    UpdateStationList();
}

void OnPlayerBack() {
    SelectCurrentStationItem();
    ShowPage(0);
    RedrawGadget(MainWindow);
}

void OnCategoryAction(const Event &event) {
    CategoryIndex = SelectedGadgetItem(CategoryComboBox);
    if (event.data > -1)
        FillStationList(ListFavouritesOnly, CategoryIndex);
    else
        FilterStationList(GadgetText(CategoryComboBox));
}

void OnSpectrumRelease(const Event &event) {
    if (event.data == 1) {
        OpenURL(EncodeUrlSpaces(StationHomepage));
    } else if (event.data == 2) {
        SpectrumStyle = SpectrumStyle + 1;
        if (SpectrumStyle == 3)
            SpectrumStyle = 0;
    }
}

void MoveKnob(const Event &event) {
    const int x = std::clamp(VolumeKnob->x + event.x - VolumeDragStartX, 0, 50);
    SetGadgetShape(VolumeKnob, x, 4, 5, 22);
    Volume = 2 * x;
    VolumeToFMOD(Volume);
    if (CurrentChannel && Muted == 0)
        CurrentChannel->SetVolume(static_cast<float>(VolumeToFMOD(Volume)));
}

void OnKnobEvent(const Event &event) {
    if (event.id == MouseDown) {
        VolumeDragging = 1;
        VolumeDragStartX = event.x;
    } else if (event.id == MouseMove && VolumeDragging == 1) {
        MoveKnob(event);
    } else if (event.id == MouseUp) {
        VolumeDragging = 0;
    }
}

void OnNowPlaying() {
    if (!CurrentStationName.empty()) {
        SelectCurrentStationItem();
        ShowPage(1);
        ClearLevelMeters();
    }
    RedrawGadget(MainWindow);
}

void OnFavouritesToggle() {
    int c = SelectedGadgetItem(CategoryComboBox);
    const bool noneSelected = c < 0;
    if (noneSelected)
        c = 0;
    if (ListFavouritesOnly == 0) {
        ReplaceButtonPixmap(FavouritesToggleButton, ListAllPixmap, 26);
        SetGadgetToolTip(FavouritesToggleButton, Tr(TOOLTIP, 7));
        FillStationList(1, c);
        ListFavouritesOnly = 1;
    } else {
        ReplaceButtonPixmap(FavouritesToggleButton, FavouritesPixmap, 26);
        SetGadgetToolTip(FavouritesToggleButton, Tr(TOOLTIP, 6));
        FillStationList(0, c);
        ListFavouritesOnly = 0;
    }
    if (noneSelected)
        SelectGadgetItem(CategoryComboBox, 0);
    RedrawGadget(MainWindow);
}

// The about and credits pages go back to the player when a station is current.
void LeaveInfoPage(Gadget *page) {
    if (!CurrentStationName.empty()) {
        ShowGadget(PlayerPage);
        HideGadget(StationListPage);
    } else {
        ShowGadget(StationListPage);
        HideGadget(PlayerPage);
        ActivateGadget(StationListBox);
    }
    HideGadget(page);
    RedrawGadget(MainWindow);
}

// The creator's links act on a left-button release, its logo chooser on a press; each
// then hands the keyboard back to the creator's scroll panel.
bool CreatorRows(const Event &event, const Gadget *source) {
    const bool leftRelease = event.id == MouseUp && event.data == 1;
    int (*operation)() = nullptr;
    if (source == CreatorAddUrlLabel)
        operation = leftRelease ? CreatorAddUrl : nullptr;
    else if (source == CreatorRemoveUrlLabel)
        operation = leftRelease ? CreatorRemoveUrl : nullptr;
    else if (source == CreatorChooseLogoLabel)
        operation = leftRelease ? CreatorChooseLogo : nullptr;
    else if (source == CreatorLogoComboBox)
        operation = event.id == MouseDown ? CreatorShowLogoPreview : nullptr;
    else if (source == CreatorSaveButton) {
        if (event.id == MouseDown)
            CreatorSaveStation(CreatorCustom);
        return true;
    } else
        return false;
    if (operation) {
        operation();
        ActivateGadget(CreatorScrollPanel);
    }
    return true;
}

void OnCreatorCancel() {
    DeleteFile("creator/station_id.txt");
    HideGadget(CreatorPage);
    ShowGadget(StationListPage);
    RedrawGadget(MainWindow);
}

void OnUpdateBack() {
    HideGadget(UpdatePage);
    ShowGadget(AboutPage);
    RedrawGadget(MainWindow);
    RedrawGadget(MainWindow);
}

void OnMainWindowEvent(const Event &event) {
    if (event.id == WindowClose)
        ShutdownApplication();
    if (event.id == WindowSize)
        RedrawGadget(MainWindow);
    if (event.id == WindowAccept) {
        RedrawGadget(MainWindow);
        CreatorLoadFile(event.extra.value_or(""));
    }
}

// Rows of the second pass for the list, player and window gadgets. True when the
// source matched a row (whether or not its condition held).
bool PlayerAndListRows(const Event &event, const Gadget *source) {
    const bool press = event.id == MouseDown, action = event.id == GadgetAction;
    if (source == StationListBox) {
        OnStationListEvent(event);
    } else if (source == HistoryToggleButton) {
        if (action)
            OnHistoryToggle();
    } else if (source == StreamUrlListBox) {
        if (action)
            OnStreamUrlAction();
    } else if (source == AboutButton) {
        if (press)
            ShowPage(4);
    } else if (source == UpdateNowButton) {
        if (press)
            OnUpdateNow();
    } else if (source == CreatorButton) {
        if (press) {
            ShowPage(6);
            CreatorLoadFile("");
        }
    } else if (source == AboutLogoPanel) {
        if (press)
            OpenURL(EncodeUrlSpaces(UpdateHomepage));
    } else if (source == AboutMakerLabel) {
        if (press) {
            ScrollScrollPanel(CreditsScrollPanel, 0, 0);
            ShowPage(5);
        }
    } else if (source == PlayerBackButton) {
        if (press)
            OnPlayerBack();
    } else if (source == NextStationButton) {
        if (press)
            PlayNextStation();
    } else if (source == PreviousStationButton) {
        if (press)
            PlayPreviousStation();
    } else if (source == StopButton) {
        if (press)
            StopPlayback();
    } else if (source == MuteButton) {
        if (press)
            ToggleMute();
    } else if (source == CategoryComboBox) {
        if (action)
            OnCategoryAction(event);
    } else if (source == SpectrumCanvas) {
        if (event.id == MouseUp)
            OnSpectrumRelease(event);
    } else if (source == VolumeKnob) {
        OnKnobEvent(event);
    } else {
        return false;
    }
    return true;
}

bool PageButtonRows(const Event &event, const Gadget *source) {
    const bool press = event.id == MouseDown;
    if (HandleOptionsEvent(event, const_cast<Gadget *>(source)))
        return true;
    if (source == NowPlayingButton) {
        if (press)
            OnNowPlaying();
    } else if (source == FavouritesToggleButton) {
        if (press)
            OnFavouritesToggle();
    } else if (source == OptionsButton) {
        if (press) {
            ScrollScrollPanel(OptionsScrollPanel, 0, 0);
            ShowPage(2);
        }
    } else if (source == AboutBackButton) {
        if (press)
            LeaveInfoPage(AboutPage);
    } else if (source == CreditsBackButton) {
        if (press)
            LeaveInfoPage(CreditsPage);
    } else if (CreatorRows(event, source)) {
    } else if (source == CreatorCancelButton) {
        if (press)
            OnCreatorCancel();
    } else if (source == UpdateBackButton) {
        if (press)
            OnUpdateBack();
    } else if (source == MainWindow) {
        OnMainWindowEvent(event);
    } else {
        return false;
    }
    return true;
}

void SecondPass(const Event &event) {
    Gadget *source = SourceGadget(event);
    if (!source)
        return;
    if (IsScrollPanel(source)) {
        if (event.id == MouseWheel)
            WheelScroll(source, event.data);
        return;
    }
    if (source == UpdateBuildLabel) {
        if (event.id == MouseDown)
            OpenURL(EncodeUrlSpaces(DownloadsPageUrl()));
        return;
    }
    if (source == UpdateTreeView) {
        if (event.id == GadgetSelect)
            OnTreeSelect();
        else if (event.id == GadgetAction)
            OnTreeAction();
        return;
    }
    if (!PlayerAndListRows(event, source))
        PageButtonRows(event, source);
}

// Selects item `next` when it lies inside the list, then plays it from the connecting
// page. Returns false (nothing changed) at the list's ends.
bool StepStation(int delta) {
    int i = SelectedGadgetItem(StationListBox);
    if (i < 0) {
        ListFavouritesOnly = 0;
        FillStationList(0, 0);
        i = SelectedGadgetItem(StationListBox);
    }
    const int next = i + delta;
    if (i == -1 || next < 0 || next > CountGadgetItems(StationListBox) - 1)
        return false;
    SelectGadgetItem(StationListBox, next);
    HideGadget(StationListPage);
    HideGadget(PlayerPage);
    RedrawGadget(MainWindow);
    ShowGadget(ConnectingPage);
    RedrawGadget(MainWindow);
    PlayStation(SetCurrentStationFile(""), 0);
    return true;
}

} // namespace

bool SpectrumPaintFilterHook(Event &event) {
    return !(SpectrumCanvas && event.source == SpectrumCanvas && event.id == GadgetPaint);
}

void DispatchEvent(const Event &event) {
    FirstPass(event);
    SecondPass(event);
    if (FMODSystem)
        FMODSystem->Update();
}

namespace {

// Timers whose ticks would change nothing sleep, so an idle player stays asleep.
void PaceTimers() {
    PaceSpectrumTimer();
    if (HousekeepingTimer)
        HousekeepingTimer->SetPaused(IsPlaying == 0); // its ticks only poll what plays
}

} // namespace

void RunMainLoopPass() {
    // The record is copied: a nested loop inside a handler replaces the current event.
    const Event event = WaitEvent();
    LeaveHiddenStateWhenRestored();
    DispatchEvent(event);
    PaceTimers();
}

void RunMainLoop() {
    for (;;)
        RunMainLoopPass();
}

int PlayNextStation() {
    StepStation(1);
    return 0;
}

int PlayPreviousStation() {
    StepStation(-1);
    return 0;
}

} // namespace hvn
