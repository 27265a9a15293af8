#include "app/window.h"

#include "app/about.h"
#include "app/gadgets.h"
#include "app/menus.h"
#include "app/startup.h"
#include "config/settings.h"
#include "config/translations.h"
#include "events/queue.h"
#include "gui/canvas/draw2d.h"
#include "playback/current_station.h"
#include "playback/spectrum.h"

#include <algorithm>

namespace hvn {

int HiddenToTray = 0;

namespace {

constexpr int kWidth = 278;
constexpr int kHeight = 154;

// Combo-box texts of the genres; 14 and 23 read longer than the genre table's names.
const char *const kCategoryGenres[24] = {"60s & 70s",
                                         "80s & 90s",
                                         "Alternative",
                                         "Ambient & Chill",
                                         "Anime",
                                         "Black & Rap",
                                         "Blues & Love",
                                         "Classical",
                                         "Club",
                                         "Children",
                                         "Country",
                                         "Dance & Pop",
                                         "Electronic",
                                         "Folk & Latino",
                                         "Gothic",
                                         "Hits",
                                         "Jazz & Soul",
                                         "Reggae",
                                         "Retro",
                                         "Rock & Metal",
                                         "Talk",
                                         "Schlager",
                                         "Soundtrack & Movie",
                                         "Season"};

Gadget *MousePanel(Gadget *g) {
    SetGadgetSensitivity(g, SENSITIZE_MOUSE);
    return g;
}

Gadget *Layout(Gadget *g, int left, int right, int top, int bottom) {
    SetGadgetLayout(g, left, right, top, bottom);
    return g;
}

Gadget *Page(int style) {
    return Layout(CreatePanel(0, 0, kWidth, kHeight, MainWindow, style), 1, 1, 1, 1);
}

Gadget *CheckBox(const std::string &text, int y, int w, int setting) {
    Gadget *box = CreateButton(text, 2, y, w, 28, OptionsClient, BUTTON_CHECKBOX);
    SetButtonState(box, setting != 0);
    return box;
}

// A stored window position as X can take it (16-bit coordinates), so that no sum of
// position and size can overflow.
int ScreenCoordinate(int stored) {
    return std::clamp(stored, -16384, 16384);
}

void CreateMainWindow() {
    int style = 227;
    int x = ScreenCoordinate(WindowPositionX), y = ScreenCoordinate(WindowPositionY);
    if (SaveWindowPosition == 0) {
        style = 739;
        x = (DesktopWidth() - kWidth) / 2;
        y = (DesktopHeight() - kHeight) / 2;
    }
    MainWindow = CreateWindow(" Halvane", x, y, kWidth, kHeight, nullptr, style);
    // Presses on the window's free area open the main menu.
    MousePanel(MainWindow);
    SetMinWindowSize(MainWindow, kWidth, kHeight);
    SetMaxWindowSize(MainWindow, kWidth, VideoModeHeight());
    if (CustomWindowColor == 1)
        SetGadgetColor(MainWindow, BackgroundRed, BackgroundGreen, BackgroundBlue);
}

void BuildStationListPage() {
    TrayPanel = CreatePanel(0, 0, 0, 0, MainWindow, 0, "");
    StationListPage = Page(PANEL_ACTIVE);
    HideGadget(StationListPage);
    StationListBox = Layout(CreateListBox(-1, -1, 280, 121, StationListPage, 0), 1, 1, 1, 1);
    CategoryComboBox = CreateComboBox(33, 124, 152, 28, StationListPage, COMBOBOX_EDITABLE);
    for (int entry : {1, 3, 4, 5})
        AddGadgetItem(CategoryComboBox, Tr(COMBOBOX, entry));
    for (const char *genre : kCategoryGenres)
        AddGadgetItem(CategoryComboBox, genre);
    SelectGadgetItem(CategoryComboBox, 0);
    Layout(CategoryComboBox, 0, 0, 0, 1);
}

void BuildConnectingPage() {
    ConnectingPage = Page(0);
    HideGadget(ConnectingPage);
    ConnectingLogoPanel =
        Layout(CreatePanel(2, 33, 274, 87, ConnectingPage, PANEL_ACTIVE), 0, 0, 1, 0);
    ConnectingTitleLabel = CreateLabel("", 0, 3, kWidth, 16, ConnectingPage, LABEL_CENTER);
    SetGadgetFont(ConnectingTitleLabel, SystemGuiFont(true));
    Layout(ConnectingTitleLabel, 0, 0, 1, 0);
    ConnectingStatusLabel = Layout(
        CreateLabel(Tr(LABELS_LOAD, 0) + "...", 0, 19, kWidth, 16, ConnectingPage, LABEL_CENTER), 0,
        0, 1, 0);
    ConnectingInfoLabel =
        Layout(CreateLabel("", 0, 64, kWidth, 16, ConnectingPage, LABEL_CENTER), 0, 0, 1, 0);
    BusyLabel = Layout(CreateLabel("", 0, 3, kWidth, 16, MainWindow, LABEL_CENTER), 0, 0, 1, 0);
    HideGadget(BusyLabel);
    Gadget **lamps[4] = {&ConnectLamp1, &ConnectLamp2, &ConnectLamp3, &ConnectLamp4};
    const int lampX[4] = {2, 21, 40, 59};
    for (int i = 0; i < 4; ++i)
        *lamps[i] = Layout(CreatePanel(lampX[i], 133, 16, 16, ConnectingPage, 0), 0, 0, 0, 1);
}

// The start picture goes onto the canvas once; later frames only ever draw over it.
void DrawStartPicture() {
    PollEvent();
    if (SetGraphics(SpectrumCanvas)) {
        if (PixmapPtr picture = LoadPixmap("Incbin::./data/corvell_start.png"))
            DrawPixmap(picture, 0, 0);
        Flip(0);
    }
    PollEvent();
}

void BuildPlayerPage() {
    PlayerPage = Page(0);
    StationTitleLabel =
        Layout(CreateLabel("Halvane", 0, 3, kWidth, 16, PlayerPage, LABEL_CENTER), 1, 1, 1, 0);
    StationStatusLabel =
        Layout(CreateLabel(Tr(LABELS_LOAD, 1) + "...", 0, 19, kWidth, 16, PlayerPage, LABEL_CENTER),
               1, 1, 1, 0);
    // The main menu has no tray icon to open from; a right press on these labels opens it.
    MousePanel(StationTitleLabel);
    MousePanel(StationStatusLabel);
    ShowGadget(PlayerPage);
    ShowGadget(MainWindow);
    SpectrumCanvas = Layout(CreateCanvas(2, 33, 274, 87, PlayerPage, 0), 0, 0, 1, 0);
    DrawStartPicture();
}

void BuildPlayerLists() {
    HistoryToggleButton =
        CreateButton("", 64, 141, 12, 12, PlayerPage, BUTTON_CHECKBOX | BUTTON_PUSH);
    HideGadget(HistoryToggleButton);
    Layout(HistoryToggleButton, 0, 0, 0, 1);
    for (Gadget *&panel : PlayerListPanels) {
        panel = Layout(CreatePanel(0, 119, kWidth, 0, PlayerPage, 0), 1, 1, 1, 1);
        HideGadget(panel);
    }
    // The lists are 2 pixels shorter than their panel: at the normal window height the
    // panels are empty and the lists grow with the window.
    Gadget *first = PlayerListPanels[0];
    const int w = ClientWidth(first) + 2, h = ClientHeight(first) - 2;
    StreamUrlListBox = Layout(CreateListBox(-1, 2, w, h, first, 0), 1, 1, 1, 1);
    SongHistoryListBox = Layout(CreateListBox(-1, 2, w, h, PlayerListPanels[1], 0), 1, 1, 1, 1);
}

std::string VersionText() {
    unsigned version = 0;
    if (FMODSystem)
        FMODSystem->GetVersion(version);
    return " " + FormatPackedVersion(version) + " fmod ex              " + GraphicsDriverName;
}

void BuildAboutPage() {
    AboutPage = Page(0);
    HideGadget(AboutPage);
    AboutHeaderPanel = CreatePanel(0, 0, kWidth, 76, AboutPage, 0);
    SetGadgetColor(AboutHeaderPanel, 255, 255, 255);
    AboutNameLabel = CreateLabel(" Halvane ", 2, 3, 192, 16, AboutHeaderPanel, LABEL_LEFT);
    SetGadgetFont(AboutNameLabel, GuiFont{"fixed", 11.0, true});
    MousePanel(AboutHeaderPanel);
    AboutMakerLabel =
        MousePanel(CreateLabel(" Halvane developers, 2026", 2, 19, 192, 16, AboutHeaderPanel, 0));
    MousePanel(AboutNameLabel);
    AboutBuildLabel =
        CreateLabel(" #060813 (Linux TEST BUILD) ", 2, 39, 192, 16, AboutHeaderPanel, 0);
    AboutVersionLabel = CreateLabel(VersionText(), 2, 55, 192, 16, AboutHeaderPanel, 0);
    AboutNoticeLabel1 = CreateLabel(Tr(LABELS_ABOUT, 0), 2, 83, 272, 16, AboutPage, LABEL_CENTER);
    AboutNoticeLabel2 = CreateLabel(Tr(LABELS_ABOUT, 1), 2, 99, 272, 16, AboutPage, LABEL_CENTER);
    Layout(AboutHeaderPanel, 1, 1, 1, 0);
    for (Gadget *g : {AboutNameLabel, AboutMakerLabel, AboutBuildLabel, AboutVersionLabel,
                      AboutNoticeLabel1, AboutNoticeLabel2})
        Layout(g, 0, 0, 1, 0);
    AboutLogoPanel = CreatePanel(220, 18, 40, 40, AboutHeaderPanel, 0);
    if (PixmapPtr logo = LoadPixmap("Incbin::./data/hvn40.png"))
        SetGadgetPixmap(AboutLogoPanel, logo, PIXMAP_FIT);
    MousePanel(AboutLogoPanel);
    Layout(AboutLogoPanel, 0, 0, 1, 0);
}

void BuildOptionsChoosers() {
    LanguageComboBox = CreateComboBox(2, 2, 180, 28, OptionsClient, 0);
    if (IconStripPtr flags = LoadIconStrip("Incbin::./data/lang_flags.png"))
        SetGadgetIconStrip(LanguageComboBox, flags);
    FillLanguageList(LanguageComboBox);
    SelectGadgetItem(LanguageComboBox, LanguageIndex);
    SkinComboBox = CreateComboBox(2, 36, 140, 28, OptionsClient, 0);
    BufferSizeComboBox = CreateComboBox(2, 70, 60, 28, OptionsClient, 0);
    for (const char *size : {"16 KB", "32 KB", "48 KB", "64 KB"})
        AddGadgetItem(BufferSizeComboBox, size);
    SelectGadgetItem(BufferSizeComboBox, BufferSizeIndex);
}

void BuildPlayerControls() {
    SpectrumValues.assign(64, 0.0f);
    LeftLevelCanvas = Layout(CreateCanvas(211, 133, 10, 15, PlayerPage, 0), 0, 0, 0, 1);
    RightLevelCanvas = Layout(CreateCanvas(222, 133, 10, 15, PlayerPage, 0), 0, 0, 0, 1);
    VolumeTrackPanel = Layout(CreatePanel(2, 123, 55, 30, PlayerPage, PANEL_ACTIVE), 0, 0, 0, 1);
    VolumeKnob =
        CreatePanel(std::clamp(Volume, 0, 100) / 2, 4, 5, 22, VolumeTrackPanel, PANEL_ACTIVE);
}

void BuildOptionsFields() {
    LanguageCaption = CreateLabel(Tr(LABELS_OPT, 1), 187, 5, 68, 22, OptionsClient, 0);
    SkinCaption = CreateLabel(Tr(LABELS_OPT, 6), 147, 39, 108, 22, OptionsClient, 0);
    BufferSizeCaption = CreateLabel(Tr(LABELS_OPT, 2), 67, 73, 188, 22, OptionsClient, 0);
    SaveWindowPositionCheckBox = CheckBox(Tr(LABELS_OPT, 3), 97, 227, SaveWindowPosition);
    SaveStationCheckBox = CheckBox(Tr(LABELS_OPT, 4), 125, 227, SaveStation);
    CustomColorCheckBox = CheckBox("", 153, 16, CustomWindowColor);
    BackgroundColorSwatch = CreatePanel(20, 157, 32, 16, OptionsClient, 5);
    LabelColorSwatch = CreatePanel(61, 157, 32, 16, OptionsClient, 5);
    AutoUpdateCheckBox = CheckBox(Tr(LABELS_OPT, 10), 181, 227, AutoUpdate);
    UpdateServerField = CreateTextField(20, 209, 220, 22, OptionsClient, 0);
    SetGadgetText(UpdateServerField, UpdateServer);
    ShowErrorsCheckBox = CheckBox(Tr(LABELS_OPT, 8), 237, 227, ShowErrors);
    ShowSpectrumCheckBox = CheckBox(Tr(LABELS_OPT, 9), 265, 227, ShowSpectrumAnalyser);
    StartMinimizedCheckBox = CheckBox(Tr(LABELS_OPT, 5), 292, 227, StartMinimized);
    ForceOpenGLCheckBox = CheckBox("OpenGL " + Tr(LABELS_OPT, 0), 321, 227, ForceOpenGLDriver);
    for (Gadget *g : {StartMinimizedCheckBox, ForceOpenGLCheckBox}) {
        DisableGadget(g);
        HideGadget(g);
    }
    for (Gadget *g : {LanguageComboBox, SkinComboBox, BufferSizeComboBox, LanguageCaption,
                      SkinCaption, BufferSizeCaption})
        Layout(g, 0, 0, 1, 0);
    for (Gadget *g :
         {SaveWindowPositionCheckBox, SaveStationCheckBox, CustomColorCheckBox,
          BackgroundColorSwatch, LabelColorSwatch, AutoUpdateCheckBox, UpdateServerField,
          ShowErrorsCheckBox, ShowSpectrumCheckBox, StartMinimizedCheckBox, ForceOpenGLCheckBox})
        Layout(g, 0, 0, 1, 1);
    FitScrollPanelClient(OptionsScrollPanel);
}

void BuildOptionsPage() {
    OptionsPage = Layout(CreatePanel(0, 0, kWidth, kHeight, MainWindow, 0), 0, 0, 1, 1);
    OptionsScrollPanel = CreateScrollPanel(0, 0, kWidth, 121, OptionsPage, SCROLLPANEL_HNEVER);
    Layout(OptionsScrollPanel, 1, 1, 1, 1);
    MousePanel(OptionsScrollPanel);
    OptionsClient = MousePanel(ScrollPanelClient(OptionsScrollPanel));
    Layout(OptionsClient, 0, 0, 1, 1);
    HideGadget(OptionsPage);
    BuildOptionsChoosers();
    BuildPlayerControls();
    BuildOptionsFields();
}

void BuildCreditsPageFrame() {
    CreditsLabels.fill(nullptr);
    CreditsPage = Page(PANEL_ACTIVE);
    HideGadget(CreditsPage);
    CreditsScrollPanel = Layout(CreateScrollPanel(0, 0, kWidth, 121, CreditsPage, 0), 1, 1, 1, 1);
    MousePanel(CreditsScrollPanel);
    SetGadgetColor(CreditsScrollPanel, 255, 255, 255);
    CreditsClient = Layout(ScrollPanelClient(CreditsScrollPanel), 1, 1, 1, 1);
    MousePanel(CreditsClient);
    SetGadgetColor(CreditsClient, 255, 255, 255);
}

Gadget *CreatorField(int y, int w) {
    return CreateTextField(2, y, w, 22, CreatorClient, 0);
}

Gadget *CreatorLink(const std::string &text, int y, int w) {
    return MousePanel(CreateLabel(text, 225, y, w, 22, CreatorClient, LABEL_CENTER));
}

void BuildCreatorPage() {
    CreatorPage = Page(0);
    CreatorScrollPanel =
        Layout(CreateScrollPanel(0, 0, kWidth, 118, CreatorPage, SCROLLPANEL_HNEVER), 1, 1, 1, 1);
    MousePanel(CreatorScrollPanel);
    CreatorClient = Layout(MousePanel(ScrollPanelClient(CreatorScrollPanel)), 0, 0, 1, 1);
    HideGadget(CreatorPage);
    CreatorNameField = CreatorField(2, 253);
    CreatorHomepageField = CreatorField(26, 253);
    CreatorFileNameField = CreatorField(50, 253);
    CreatorUrlComboBox = CreateComboBox(2, 74, 218, 22, CreatorClient, 0);
    CreatorRemoveUrlLabel = CreatorLink("[#]", 74, 35);
    CreatorUrlField = CreatorField(98, 218);
    CreatorAddUrlLabel = CreatorLink("[+]", 98, 35);
    CreatorGenreComboBox = CreateComboBox(2, 122, 253, 22, CreatorClient, 0);
    AddGadgetItem(CreatorGenreComboBox, Tr(COMBOBOX, 2), 0, -1, "0");
    for (int genre = 1; genre <= 24; ++genre)
        AddGadgetItem(CreatorGenreComboBox, kCategoryGenres[genre - 1], 0, -1,
                      std::to_string(genre));
    SelectGadgetItem(CreatorGenreComboBox, 0);
    CreatorLogoComboBox = CreateComboBox(2, 146, 253, 22, CreatorClient, 0);
    CreatorLogoPreview = CreatePanel(2, 170, 220, 70, CreatorClient, 0);
    CreatorChooseLogoLabel = CreatorLink("[..]", 170, 30);
    for (Gadget *g :
         {CreatorNameField, CreatorHomepageField, CreatorUrlComboBox, CreatorRemoveUrlLabel,
          CreatorUrlField, CreatorAddUrlLabel, CreatorLogoPreview, CreatorChooseLogoLabel})
        Layout(g, 0, 0, 1, 0);
    Layout(CreatorFileNameField, 1, 1, 1, 0);
    Layout(CreatorLogoComboBox, 1, 1, 1, 0);
    Layout(CreatorGenreComboBox, 0, 0, 1, 1);
    FitScrollPanelClient(CreatorScrollPanel);
}

void BuildUpdatePage() {
    UpdatePage = MousePanel(Page(0));
    HideGadget(UpdatePage);
    UpdateStatusLabel = Layout(CreateLabel("", 2, 3, 232, 16, UpdatePage, 0), 0, 0, 1, 0);
    UpdatePercentLabel =
        Layout(CreateLabel("", 234, 3, 40, 16, UpdatePage, LABEL_RIGHT), 0, 0, 1, 0);
    UpdateProgressBar =
        Layout(CreateProgBar(0, 19, ClientWidth(MainWindow), 16, UpdatePage, 0), 0, 0, 1, 0);
    UpdateTreeView = Layout(CreateTreeView(-1, 38, 282, 82, UpdatePage, 0), 0, 0, 1, 1);
    UpdateBuildLabel = Layout(CreateLabel("", 2, 129, 181, 22, UpdatePage, 0), 0, 0, 0, 1);
    UpdateMiddleLabel =
        Layout(CreateLabel("", 113, 129, 102, 22, UpdatePage, LABEL_RIGHT), 0, 0, 0, 1);
    UpdateRightLabel = Layout(CreateLabel("", 217, 129, 16, 22, UpdatePage, 0), 0, 0, 0, 1);
}

Gadget *Button(int x, Gadget *page) {
    return CreateImageButton("", x, 123, 30, 30, page, 8);
}

void BuildImageButtons() {
    PlayerBackButton = Button(246, PlayerPage);
    NextStationButton = Button(166, PlayerPage);
    StopButton = Button(106, PlayerPage);
    MuteButton = Button(136, PlayerPage);
    PreviousStationButton = Button(76, PlayerPage);
    NowPlayingButton = Button(2, StationListPage);
    FavouritesToggleButton = Button(186, StationListPage);
    OptionsButton = Button(216, StationListPage);
    AboutButton = Button(246, StationListPage);
    OptionsCloseButton = Button(246, OptionsPage);
    AboutBackButton = Button(246, AboutPage);
    UpdateNowButton = Button(2, AboutPage);
    CreatorButton = Button(32, AboutPage);
    ConnectingBackButton = Button(246, ConnectingPage);
    ConnectingStopButton = Button(136, ConnectingPage);
    NextUrlButton = Button(166, ConnectingPage);
    CreditsBackButton = Button(246, CreditsPage);
    CreatorSaveButton = Button(216, CreatorPage);
    CreatorCancelButton = Button(246, CreatorPage);
    UpdateBackButton = Button(246, UpdatePage);
}

void ApplySavedShape() {
    if (SaveWindowPosition != 1)
        return;
    if (WindowHeight < kHeight)
        WindowHeight = kHeight;
    const int height = std::min(WindowHeight, std::max(kHeight, VideoModeHeight()));
    SetGadgetShape(MainWindow, ScreenCoordinate(WindowPositionX),
                   ScreenCoordinate(WindowPositionY), kWidth, height);
}

Gadget *PagePanel(int page) {
    switch (page) {
    case 0:
        return StationListPage;
    case 1:
        return PlayerPage;
    case 2:
        return OptionsPage;
    case 3:
        return UpdatePage;
    case 4:
        return AboutPage;
    case 5:
        return CreditsPage;
    case 6:
        return CreatorPage;
    case 7:
        return ConnectingPage;
    default:
        return nullptr;
    }
}

void HideOtherPages(int page) {
    for (int other = 0; other < 8; ++other)
        if (other != page)
            HideGadget(PagePanel(other));
}

void SwitchPanels(int page) {
    if (page == 5)
        BuildCreditsPage();
    ShowGadget(PagePanel(page));
    if (page == 1) {
        SetPlayerButtonsHidden(0);
        ShowGadget(HistoryToggleButton);
    }
    HideOtherPages(page);
    if (page == 1)
        ActivateGadget(StationListBox);
    else if (page == 2)
        ActivateGadget(OptionsScrollPanel);
    else if (page == 5)
        ActivateGadget(CreditsScrollPanel);
    else if (page == 6)
        ActivateGadget(CreatorScrollPanel);
}

} // namespace

void BuildMainWindow() {
    CreateMainWindow();
    BuildStationListPage();
    BuildConnectingPage();
    BuildPlayerPage();
    BuildPlayerLists();
    BuildAboutPage();
    BuildOptionsPage();
    BuildCreditsPageFrame();
    BuildCreatorPage();
    BuildUpdatePage();
    BuildMenus();
    BuildImageButtons();
    ApplySavedShape();
    SetPlayerButtonsHidden(1);
    RedrawGadget(MainWindow);
}

int ShowPage(int page) {
    if (page >= 0 && page <= 7)
        SwitchPanels(page);
    if (HiddenToTray == 0) {
        LeaveTrayStub();
        RestoreWindow(MainWindow);
        ShowGadget(MainWindow);
    }
    RedrawGadget(MainWindow);
    return 0;
}

int SetPlayerButtonsHidden(int hide) {
    for (Gadget *g : {PlayerBackButton, NextStationButton, StopButton, MuteButton,
                      PreviousStationButton, VolumeTrackPanel}) {
        if (hide == 1)
            HideGadget(g);
        else
            ShowGadget(g);
    }
    RedrawGadget(PlayerPage);
    return 0;
}

Gadget *CreateImageButton(const std::string &text, int x, int y, int w, int h, Gadget *parent,
                          int style) {
    Gadget *button = CreatePanel(x, y, w, h, parent, PANEL_ACTIVE, "");
    SetGadgetLayout(button, 0, 0, 0, 1);
    return button;
}

int ReplaceButtonPixmap(Gadget *button, PixmapPtr pixmap, int flags) {
    SetGadgetPixmap(button, nullptr, PIXMAP_ICON);
    RedrawGadget(button);
    SetGadgetPixmap(button, std::move(pixmap), flags);
    return 0;
}

int SetHiddenToTray(Gadget *gadget, const std::string &tip) {
    HiddenToTray = 1;
    // There is no tray icon to bring the window back: it is minimised, so the desktop's
    // task bar can restore it. Its frames would only be flipped unseen meanwhile.
    MinimizeWindow(MainWindow);
    PaceSpectrumTimer();
    return 0;
}

void LeaveHiddenStateWhenRestored() {
    if (HiddenToTray == 0 || !MainWindow || WindowMinimized(MainWindow))
        return;
    HiddenToTray = 0;
    PaceSpectrumTimer();
    LeaveTrayStub();
    RedrawGadget(MainWindow);
    if (!GadgetVisible(PlayerPage))
        ActivateGadget(StationListBox);
}

int LeaveTrayStub() {
    return 0;
}

} // namespace hvn
