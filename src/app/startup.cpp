#include "app/startup.h"

#include "app/gadgets.h"
#include "app/main_loop.h"
#include "app/texts.h"
#include "app/window.h"
#include "catalogue/station_files.h"
#include "catalogue/station_list.h"
#include "config/embedded_files.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/temp_files.h"
#include "events/queue.h"
#include "events/signals.h"
#include "playback/current_station.h"
#include "playback/playback.h"
#include "stationcreator/creator.h"
#include "update/update.h"

#include <cstdio>
#include <cstdlib>

namespace hvn {

std::vector<std::string> ProgramArguments;
std::string CommandLineFile;
TimerPtr HousekeepingTimer;
TimerPtr OpenWaitTimer;
TimerPtr SpectrumTimer;
std::string GraphicsDriverName;
int AutoUpdateRunning = 0;

namespace {

bool InitModules() {
    if (!InitGui()) {
        std::fprintf(stderr, "halvane: cannot open the X display\n");
        return false;
    }
    RegisterEmbeddedFiles();
    // Before the first window, the start failure's message included.
    SetApplicationIdentity("halvane", {LoadPixmap("Incbin::./data/hvn16.png"),
                                       LoadPixmap("Incbin::./data/hvn40.png")});
    SetDialogTitle(" Halvane");
    InitTranslationsModule();
    return true;
}

void CreateGlobals() {
    StationMap.clear();
    SetDefaultGadgetFont(GuiFont{"clean", 12.0, false});
    StationZip.Close();
    AddEmitHook(0, SpectrumPaintFilterHook);
    if (!ProgramArguments.empty())
        CommandLineFile = ProgramArguments.front();
    const Rgb background = LookupGuiColor(0);
    BackgroundRed = background.r;
    BackgroundGreen = background.g;
    BackgroundBlue = background.b;
    StationListBatch = AddListItemsBatch();
    HousekeepingTimer = Timer::Create(0.5);
    OpenWaitTimer = Timer::Create(4.0);
    OpenWaitTimer->SetPaused(true); // it ticks only while a stream is awaited
    SpectrumTimer = Timer::Create(30.0);
    RecentStations.clear();
}

void LoadConfiguration() {
    RemoveTempLeftovers();
    LoadSettings();
    GraphicsDriverName = "OpenGL";
    ForceOpenGLDriver = 1;
    if (FileType("db") == FileKind::None)
        CreateDir("db");
    LoadTranslations(LanguageIndex);
}

// The fatal start failure: a message, then exit without saving anything.
[[noreturn]] void AudioStartFailed() {
    Notify(Tr(ERRORMSG, 0) + " : FMOD ERROR", true);
    std::exit(0);
}

void StartAudio() {
    FMODSystem = TFMODSystem::Create();
    if (!FMODSystem)
        AudioStartFailed();
    FMODResult = FMODSystem->Init(8, 0, nullptr);
    if (FMODResult != 0)
        AudioStartFailed();
}

void ConnectSettingsToWindow() {
    MainWindowGeometry = [](int &x, int &y, int &outerHeight) {
        if (!MainWindow)
            return false;
        x = GadgetX(MainWindow);
        y = GadgetY(MainWindow);
        outerHeight = GadgetHeight(MainWindow);
        return true;
    };
}

void ApplyLooks() {
    SetLabelColors(LabelRed, LabelGreen, LabelBlue);
    ApplyLanguageTexts(LanguageIndex);
    FillSkinList();
    RedrawGadget(PlayerPage);
    PollEvent();
    ApplySelectedSkin();
}

void LoadCatalogue() {
    LoadStationCatalogue();
    SetGadgetText(StationStatusLabel, "");
    RedrawGadget(MainWindow);
    FillStationList(ListFavouritesOnly, 0);
}

bool IsImportArgument(const std::string &arg) {
    return !arg.empty() && (Contains(arg, ".hvn") || Contains(arg, ".pls") || Contains(arg, "m3u"));
}

void ShowListPageFocused() {
    ShowGadget(StationListPage);
    RedrawGadget(MainWindow);
    ActivateGadget(StationListBox);
}

void ShowWindow() {
    ShowGadget(MainWindow);
    RedrawGadget(MainWindow);
}

const std::string &TrayTip() {
    static const std::string halvane = "Halvane";
    return CurrentStationName.empty() ? halvane : CurrentStationName;
}

void OpenCommandLineFile() {
    if (SaveWindowPosition == 0)
        SetGadgetShape(MainWindow, GadgetX(MainWindow), GadgetY(MainWindow), 278, 308);
    ShowGadget(StationListPage);
    ShowWindow();
    CreatorLoadFile(CommandLineFile);
}

int FindLastStation() {
    const int count = CountGadgetItems(StationListBox);
    for (int i = 0; i < count; ++i)
        if (GadgetItemText(StationListBox, i) == LastStation)
            return i;
    return -1;
}

void SelectLastStation() {
    int index = FindLastStation();
    if (index < 0 && ListFavouritesOnly == 1) {
        ListFavouritesOnly = 0;
        FillStationList(0, 0);
        index = FindLastStation();
    }
    if (index >= 0)
        SelectGadgetItem(StationListBox, index);
}

void PlayFirstStation() {
    if (StartMinimized == 0) {
        ShowWindow();
        PlayStation(SetCurrentStationFile(""), 0);
        return;
    }
    PlayStation(SetCurrentStationFile(""), 0);
    if (!CurrentStationName.empty()) {
        LoadCurrentStationDb(1);
        ShowGadget(PlayerPage);
        RedrawGadget(MainWindow);
    } else {
        LoadCurrentStationDb(0);
        ShowListPageFocused();
    }
}

void ShowWithoutStation() {
    ShowListPageFocused();
    if (StartMinimized == 0) {
        ShowWindow();
    } else {
        LoadCurrentStationDb(0);
        if (AutoUpdate == 0)
            SetHiddenToTray(TrayPanel, TrayTip());
    }
}

// True when the first station was chosen by importing the command-line file.
bool ChooseFirstStation() {
    if (IsImportArgument(CommandLineFile)) {
        OpenCommandLineFile();
        return true;
    }
    if (SaveStation == 1)
        SelectLastStation();
    if (SaveWindowPosition == 0)
        SetGadgetShape(MainWindow, GadgetX(MainWindow), GadgetY(MainWindow), 278, 154);
    if (StartMinimized == 1)
        SetHiddenToTray(TrayPanel, "Halvane");
    if (SelectedGadgetItem(StationListBox) >= 0)
        PlayFirstStation();
    else
        ShowWithoutStation();
    return false;
}

void RunAutomaticUpdate() {
    if (!(FileType("stations") != FileKind::Dir || AutoUpdate == 1))
        return;
    if (LastUpdate != FormatCurrentTime("%Y %m")) {
        AutoUpdateRunning = 1;
        if (FileType("stations") != FileKind::Dir)
            CreateDir("stations");
        ShowPage(3);
        UpdateStationList();
        // Taken again after the update, so no second automatic update runs this month.
        LastUpdate = FormatCurrentTime("%Y %m");
        AutoUpdateRunning = 0;
    }
    ShowPage(CurrentSound ? 1 : 0);
    // Minimised rather than hidden (SetHiddenToTray), so that it can be restored.
    if (StartMinimized == 1)
        SetHiddenToTray(TrayPanel, TrayTip());
}

} // namespace

bool StartApplication() {
    if (!InitModules())
        return false;
    CreateGlobals();
    LoadConfiguration();
    StartAudio();
    BuildMainWindow();
    ConnectSettingsToWindow();
    ApplyLooks();
    LoadCatalogue();
    // From here on a logout or Ctrl+C ends the program through its shutdown; the
    // start-up's own single pumps above would have dropped the event.
    CatchTerminationSignals();
    // An imported command-line file stays in view in the creator it was opened in, also
    // after a first start's update, which shows pages of its own.
    const bool inCreator = ChooseFirstStation() && GadgetVisible(CreatorPage);
    RunAutomaticUpdate();
    ShowGadget(PlayerListPanels[0]);
    ShowPage(inCreator ? 6 : IsPlaying ? 1 : 0);
    return true;
}

int RunApplication() {
    static bool ran = false;
    if (ran)
        return 0;
    ran = true;
    if (!StartApplication())
        std::exit(1);
    RunMainLoop();
}

int ProgramEntry() {
    static bool entered = false;
    if (entered)
        return 0;
    entered = true;
    RunApplication();
    return 0;
}

void ShutdownApplication() {
    SaveSettings();
    if (HiddenToTray == 1)
        LeaveTrayStub();
    if (CurrentSound && CurrentChannel) {
        CurrentSound->SoundRelease();
        CurrentSound = nullptr;
        CurrentChannel = nullptr;
    }
    for (TimerPtr *timer : {&HousekeepingTimer, &OpenWaitTimer, &SpectrumTimer})
        if (*timer)
            (*timer)->Stop();
    if (FMODSystem)
        FMODSystem->SystemRelease();
    std::fflush(nullptr);
    std::exit(0);
}

} // namespace hvn
