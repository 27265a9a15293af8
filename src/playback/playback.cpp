// Connecting to and playing a station: preparation, one nested wait per stream URL,
// then the player page.
#include "playback/playback.h"

#include "app/gadgets.h"
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
#include "core/text_file.h"
#include "events/queue.h"
#include "gui/canvas/draw2d.h"
#include "playback/current_station.h"
#include "playback/now_playing.h"
#include "playback/player_looks.h"

#include <algorithm>

namespace hvn {

namespace {

constexpr int kLogoWidth = 274;
constexpr int kLogoHeight = 87;
constexpr int kGiveUpTicks = 55;
constexpr int kStreamMode = FMOD_NONBLOCKING | FMOD_2D;
const char *const kNoLogo = "Incbin::./data/hvn_noico.png";

// What the user decided during the waits of one PlayStation call.
struct AttemptState {
    bool stopped = false;
    bool backPressed = false;
    int n = 1; // the URL number being tried, from 1
};

// What one wait for a stream saw.
struct WaitState {
    std::string errText;
    int state = -1;
    int lastState = -1;
    int ticks = 0;
};

void SetLamp(Gadget *lamp, const PixmapPtr &pixmap) {
    ReplaceButtonPixmap(lamp, pixmap, 2);
}

void ResetLamps(bool keepFirst) {
    if (!keepFirst) {
        SetLamp(ConnectLamp1, LoadBgPixmap);
    }
    SetLamp(ConnectLamp2, LoadBgPixmap);
    SetLamp(ConnectLamp3, LoadBgPixmap);
    SetLamp(ConnectLamp4, LoadBgPixmap);
}

void ReleaseCurrentSound() {
    if (CurrentSound) {
        CurrentSound->SoundRelease();
    }
}

std::string UrlCountText(int n) {
    return std::to_string(n) + "|" + std::to_string(StationUrlCount);
}

// The recent list: newest first, at most 21 names, unchanged while it is the list shown.
void UpdateRecentStations(const std::string &file) {
    if (SelectedGadgetItem(CategoryComboBox) == 3) {
        return;
    }
    const std::string key = Upper(file);
    const size_t before = RecentStations.size();
    std::erase(RecentStations, key);
    if (before > 20 && RecentStations.size() > 20) {
        RecentStations.erase(RecentStations.begin() + 20);
    }
    RecentStations.insert(RecentStations.begin(), key);
}

void TakeCatalogueRecord(const std::string &file) {
    auto it = StationMap.find(Upper(file));
    if (it == StationMap.end() || !it->second) {
        return;
    }
    CurrentStationName = it->second->name;
    GenreText = GenreName(it->second->genre);
    SetGadgetText(StationStatusLabel, GenreText);
    UpdateRecentStations(it->second->filename);
}

// Name, homepage, genre, count, then the URLs; a description of fewer than four lines
// names no URL rather than reading past its end.
void ReadStationDescription(const std::string &bytes) {
    std::vector<std::string> lines = Split(DecodeText(bytes), "\r\n");
    if (lines.size() < 4) {
        StationUrlCount = 0;
        return;
    }
    StationUrlCount = StrToInt(lines[3]);
    StationHomepage = lines[1];
    StationHomepageHost = UrlHost(lines[1]);
    SetGadgetToolTip(SpectrumCanvas, Tr(TOOLTIP, 3) + ": " + StationHomepageHost);
    int counted = 0;
    int listed = 0;
    for (const std::string &line : lines) {
        if (line.empty()) {
            continue;
        }
        const int j = counted++;
        if (j >= 4 && j - 4 < StationUrlCount) {
            ++listed;
            AddGadgetItem(StreamUrlListBox, line, 0, -1,
                          std::to_string(listed) + "|" + std::to_string(StationUrlCount));
        }
    }
}

// A logo that is missing or does not decode gives the embedded no-logo picture.
void ReadStationArchive(const std::string &file) {
    if (!StationZip.Open("stations/" + file)) {
        StationLogo = LoadPixmap(kNoLogo);
        return;
    }
    std::optional<std::string> logo = StationZip.ExtractFile("station_ico.png", false, kZipImageLimit);
    StationLogoStream = logo.value_or("");
    StationLogo = logo ? LoadPixmapFromMemory(*logo) : nullptr;
    if (!StationLogo) {
        StationLogo = LoadPixmap(kNoLogo);
    }
    if (std::optional<std::string> id = StationZip.ExtractFile("station_id.txt")) {
        ReadStationDescription(*id);
    }
    StationZip.Close();
}

void DrawLogoOnSpectrumCanvas() {
    if (!StationLogo || !SetGraphics(SpectrumCanvas)) {
        return;
    }
    SetBlend(SOLIDBLEND);
    SetColor(255, 255, 255);
    // Twice, so that both buffers hold the logo.
    for (int i = 0; i < 2; ++i) {
        DrawPixmap(StationLogo, 0, 0);
        Flip(0);
    }
}

void FitStationLogo() {
    StationLogo = ResizePixmap(StationLogo, kLogoWidth, kLogoHeight);
    SetGadgetToolTip(ConnectingLogoPanel, Tr(TOOLTIP, 3) + ": " + StationHomepageHost);
    SetGadgetPixmap(ConnectingLogoPanel, StationLogo, 8);
    DrawLogoOnSpectrumCanvas();
}

void PrepareStation(const std::string &file) {
    ShowPage(7);
    DisableMenu(MuteMenuItem);
    if (CurrentSound) {
        CurrentSound->SoundRelease();
        CurrentChannel = nullptr;
    }
    ClearGadgetItems(StreamUrlListBox);
    ClearGadgetItems(SongHistoryListBox);
    HideGadget(StationListPage);
    ShowGadget(ConnectingPage);
    TakeCatalogueRecord(file);
    ShowGadget(ConnectingBackButton);
    ShowGadget(ConnectingStopButton);
    StationLogoStream.clear();
    ReadStationArchive(file);
    FitStationLogo();
    SetGadgetText(ConnectingTitleLabel, Tr(LABELS_LOAD, 0) + "...");
    SetGadgetText(ConnectingStatusLabel, "");
    ResetLamps(false);
}

void ShowNextUrlButton(int n, int urlIndex) {
    if (StationUrlCount > 1) {
        if (urlIndex == 0) {
            ShowGadget(NextUrlButton);
        }
        if (n + 1 <= StationUrlCount) {
            SetGadgetToolTip(NextUrlButton, Tr(TOOLTIP, 10));
        } else {
            HideGadget(NextUrlButton);
            SetGadgetToolTip(NextUrlButton, "");
        }
    } else {
        HideGadget(NextUrlButton);
        SetGadgetToolTip(NextUrlButton, "");
    }
}

void OnWaitTick(WaitState &wait, int n) {
    ++wait.ticks;
    switch (wait.ticks) {
    case 1:
        ResetLamps(false);
        break;
    case 15:
        SetLamp(ConnectLamp1, LoadPointPixmap);
        break;
    case 25:
        SetLamp(ConnectLamp2, LoadPointPixmap);
        break;
    case 35:
        SetLamp(ConnectLamp3, LoadPointPixmap);
        break;
    case 45:
        SetLamp(ConnectLamp4, LoadPointPixmap);
        break;
    default:
        break;
    }
    int percent = 0, starving = 0, diskBusy = 0;
    FMODResult = CurrentSound->GetOpenState(wait.state, percent, starving, diskBusy);
    wait.errText = FMODErrorString(FMODResult);
    if (wait.state != wait.lastState) {
        if (ShowErrors == 1) {
            SetGadgetText(ConnectingStatusLabel, UrlCountText(n) + OpenStateText(wait.state));
        }
        wait.lastState = wait.state;
    }
}

void OnStopPressed(WaitState &wait, AttemptState &attempt) {
    HideGadget(ConnectingStopButton);
    HideGadget(NextUrlButton);
    HideGadget(ConnectingBackButton);
    wait.ticks = kGiveUpTicks;
    attempt.stopped = true;
    attempt.n = StationUrlCount + 1;
    ResetLamps(false);
    Muted = 1;
    if (CurrentChannel) {
        CurrentChannel->SetVolume(0.0f);
    }
    SetMuteButtonFace(1);
    DisableMenu(MuteMenuItem);
    ReleaseCurrentSound();
    ShowPage(1);
}

void OnBackPressed(WaitState &wait, AttemptState &attempt) {
    SetGadgetPixmap(SpectrumCanvas, nullptr, 8);
    SetGadgetPixmap(ConnectLamp4, nullptr, 8);
    SetGadgetPixmap(ConnectLamp3, nullptr, 8);
    SetGadgetPixmap(ConnectLamp2, nullptr, 8);
    HideGadget(OptionsPage);
    HideGadget(AboutPage);
    HideGadget(PlayerPage);
    HideGadget(ConnectingPage);
    SetGadgetToolTip(NowPlayingButton, "*");
    DisableGadget(NowPlayingButton);
    const int selected = SelectedGadgetItem(StationListBox);
    if (selected >= 0) {
        DeselectGadgetItem(StationListBox, selected);
    }
    ShowGadget(BusyLabel);
    RedrawGadget(MainWindow);
    if (CurrentSound) {
        CurrentSound->SoundRelease();
        CurrentSound = nullptr;
    }
    wait.ticks = kGiveUpTicks;
    CurrentStationName.clear();
    attempt.stopped = true;
    attempt.backPressed = true;
    ShowPage(0);
    HideGadget(BusyLabel);
}

void HandleWaitEvent(const Event &event, WaitState &wait, AttemptState &attempt) {
    if (event.id == TimerTick && OpenWaitTimer && event.source == OpenWaitTimer.get()) {
        OnWaitTick(wait, attempt.n);
    } else if (event.id == MouseDown && event.source == ConnectingLogoPanel) {
        OpenURL(EncodeUrlSpaces(StationHomepage));
    } else if (event.id == MouseDown && event.source == NextUrlButton) {
        wait.ticks = kGiveUpTicks;
        ResetLamps(true);
        attempt.stopped = false;
    } else if (event.id == MouseDown && event.source == ConnectingStopButton) {
        OnStopPressed(wait, attempt);
    } else if (event.id == MouseDown && event.source == ConnectingBackButton) {
        OnBackPressed(wait, attempt);
    } else if ((event.id == WindowClose && event.source == MainWindow) ||
               event.id == AppTerminate) {
        ShutdownApplication();
    }
}

// Outside the wait its ticks would be discarded, so the timer sleeps; it keeps its
// schedule from the start time.
void SetOpenWaitTicking(bool ticking) {
    if (OpenWaitTimer)
        OpenWaitTimer->SetPaused(!ticking);
}

// The nested loop: every other event, the other timers' ticks included, is discarded.
WaitState WaitForStream(AttemptState &attempt) {
    WaitState wait;
    SetOpenWaitTicking(true);
    while (wait.state != 0 && wait.ticks < kGiveUpTicks) {
        const Event event = WaitEvent();
        HandleWaitEvent(event, wait, attempt);
        if (FMODSystem) {
            FMODSystem->Update();
        }
    }
    SetOpenWaitTicking(false);
    return wait;
}

void RaiseStreamBuffer() {
    int size = 0, unit = 0;
    FMODSystem->GetStreamBufferSize(size, unit);
    // The setting comes from hvn.ini as written there: only the four offered sizes.
    const int wanted = (std::clamp(BufferSizeIndex, 0, 3) + 1) * 16384;
    if (size < wanted) {
        FMODSystem->SetStreamBufferSize(wanted, unit);
    }
}

void StartChannel() {
    CurrentChannel = FMODSystem->PlaySound(-1, CurrentSound, 0, nullptr);
    RaiseStreamBuffer();
    if (!CurrentChannel) {
        return;
    }
    CurrentChannel->IsPlaying(IsPlaying);
    if (IsPlaying == 0) {
        return;
    }
    StreamTag = CurrentSound->GetTag("icy-br", 0);
    BitrateText = StreamTag ? " - " + Trim(StreamTag->GetDataAsString()) + " kb/s" : "";
    ShowSoundLook();
}

void TryUrl(AttemptState &attempt, int urlIndex) {
    const int n = attempt.n;
    // The count line may promise more URLs than the list holds: such a number fails.
    if (n - 1 >= CountGadgetItems(StreamUrlListBox)) {
        return;
    }
    SelectGadgetItem(StreamUrlListBox, n - 1);
    CurrentStreamUrl = GadgetItemText(StreamUrlListBox, n - 1);
    SetGadgetText(ConnectingTitleLabel, Tr(LABELS_LOAD, 0) + "...");
    SetGadgetText(ConnectingStatusLabel, UrlCountText(n));
    ShowNextUrlButton(n, urlIndex);
    EnableGadget(NowPlayingButton);
    SetGadgetToolTip(NowPlayingButton, CurrentStationName);
    ReleaseCurrentSound();
    CurrentSound =
        FMODSystem ? FMODSystem->CreateStreamURL(CurrentStreamUrl, kStreamMode, nullptr) : nullptr;
    if (!CurrentSound) {
        return;
    }
    WaitState wait = WaitForStream(attempt);
    if (wait.errText == "No errors." && !attempt.stopped && CurrentSound) {
        StartChannel();
    }
}

void FinishPlayStation(bool backPressed) {
    LoadCurrentStationDb(1);
    NowPlayingPhase = 0;
    SetGadgetPixmap(ConnectingLogoPanel, nullptr, 8);
    if (CurrentChannel) {
        CurrentChannel->SetVolume(static_cast<float>(VolumeToFMOD(Volume)));
        CurrentChannel->SetPaused(0);
    } else {
        // Nothing plays: the meters show no level, as after a stop.
        ShowStoppedLook();
        ClearLevelMeters();
    }
    if (!backPressed) {
        ShowPage(1);
        ActivateGadget(StreamUrlListBox);
    }
}

} // namespace

std::string SetCurrentStationFile(const std::string &file) {
    const int selected = file.empty() ? SelectedGadgetItem(StationListBox) : -1;
    if (selected >= 0) {
        CurrentStationFile = GadgetItemExtra(StationListBox, selected).value_or("");
    } else {
        CurrentStationFile = file;
    }
    return CurrentStationFile;
}

int PlayStation(const std::string &file, int urlIndex) {
    if (file.empty() || FileType("stations/" + file) != FileKind::File) {
        return 0;
    }
    PrepareStation(file);
    AttemptState attempt;
    attempt.n = urlIndex != 0 ? urlIndex : 1;
    IsPlaying = 0;
    SetGadgetText(StationTitleLabel, StationTitleText());
    while (!attempt.stopped && attempt.n <= StationUrlCount && IsPlaying == 0 &&
           (urlIndex == 0 || urlIndex == attempt.n)) {
        TryUrl(attempt, urlIndex);
        ++attempt.n;
    }
    FinishPlayStation(attempt.backPressed);
    return 0;
}

} // namespace hvn
