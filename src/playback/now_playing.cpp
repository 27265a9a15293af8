// Now playing (the player's two alternating views), volume, mute and stop.
#include "playback/now_playing.h"

#include "app/gadgets.h"
#include "catalogue/station_list.h"
#include "config/settings.h"
#include "config/translations.h"
#include "core/strings.h"
#include "gui/canvas/draw2d.h"
#include "playback/current_station.h"
#include "playback/playback.h"
#include "playback/player_looks.h"

#include <algorithm>

namespace hvn {

std::string CurrentSong;
std::string LastSong;

namespace {

constexpr int kHistoryLength = 20;

// The tag's bytes as UTF-8 in 16-bit units. A character beyond U+FFFF (an emoji) that the
// player's font cannot draw is dropped, and the rest of the text stays.
std::u16string TagText(const TFMODTagPtr &tag) {
    bool only16Bits = true; // the pairs are kept either way
    return Utf8ToUtf16(DrawableText(StationTitleLabel, tag->GetDataAsString()), only16Bits);
}

// The first n units, less the first half of a pair that n would cut.
std::string FirstUnits(const std::u16string &text, size_t n) {
    n = std::min(n, text.size());
    if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) {
        --n;
    }
    return Utf16ToUtf8(text.substr(0, n));
}

void ShowStatusView() {
    SetGadgetText(StationTitleLabel, StationTitleText());
    std::string status = GenreText + BitrateText;
    if (CurrentSound) {
        int state = 0, percent = 0, starving = 0, diskBusy = 0;
        CurrentSound->GetOpenState(state, percent, starving, diskBusy);
        status += starving ? " @ --%" : " @ " + std::to_string(percent) + "%";
    }
    SetGadgetText(StationStatusLabel, status);
}

void ReadTitleTag() {
    StreamTag = CurrentSound ? CurrentSound->GetTag("TITLE", 0) : nullptr;
    if (!StreamTag) {
        return;
    }
    const std::u16string title = TagText(StreamTag);
    if (!title.empty()) {
        CurrentSong = Utf16ToUtf8(title);
    }
    const std::string t = FirstUnits(title, 46);
    if (!t.empty()) {
        // A title that the line already shows gives way to the whole station name.
        SetGadgetText(StationTitleLabel,
                      GadgetText(StationTitleLabel) == t ? CurrentStationName : t);
    }
}

void ReadArtistTag() {
    StreamTag = CurrentSound ? CurrentSound->GetTag("ARTIST", 0) : nullptr;
    if (!StreamTag) {
        return;
    }
    const std::u16string artist = TagText(StreamTag);
    const std::string artistText = Utf16ToUtf8(artist);
    if (!artist.empty() && !CurrentSong.empty()) {
        CurrentSong = artistText + " - " + CurrentSong;
    } else {
        CurrentSong = artistText;
    }
    const std::string a = FirstUnits(artist, 46);
    if (!a.empty()) {
        SetGadgetText(StationStatusLabel, a);
    }
}

void RecordSong() {
    if (CurrentSong.empty() || CurrentSong == LastSong) {
        return;
    }
    InsertGadgetItem(SongHistoryListBox, 0, CurrentSong, GADGETITEM_DEFAULT, -1,
                     FormatCurrentTime("%H:%M:%S"));
    if (CountGadgetItems(SongHistoryListBox) > kHistoryLength) {
        RemoveGadgetItem(SongHistoryListBox, kHistoryLength);
    }
    LastSong = CurrentSong;
}

void ShowTagView() {
    CurrentSong.clear();
    ReadTitleTag();
    ReadArtistTag();
    RecordSong();
}

void ClearLevelMeter(Gadget *canvas) {
    if (!SetGraphics(canvas)) {
        return;
    }
    SetClsColor(BackgroundRed, BackgroundGreen, BackgroundBlue);
    Cls();
    Flip(0);
}

} // namespace

void ClearLevelMeters() {
    ClearLevelMeter(LeftLevelCanvas);
    ClearLevelMeter(RightLevelCanvas);
}

int PollNowPlaying() {
    if (!CurrentChannel) {
        return 0;
    }
    if (NowPlayingPhase == 0) {
        ShowStatusView();
        NowPlayingPhase = 1;
    } else {
        ShowTagView();
        NowPlayingPhase = 0;
    }
    return 0;
}

int PollNowPlayingHidden() {
    return 0;
}

double VolumeToFMOD(int volume) {
    volume = std::clamp(volume, 0, 100); // hvn.ini may hold any number
    SetGadgetToolTip(VolumeKnob, Tr(TOOLTIP, 11) + " " + std::to_string(volume) + "%");
    return volume / 100.0;
}

int StopPlayback() {
    if (Muted == 0) {
        if (CurrentChannel) {
            CurrentChannel->SetVolume(0.0f);
        }
        ShowStoppedLook();
    } else {
        SetGadgetText(StationTitleLabel, StationTitleText());
    }
    SetGadgetText(StationStatusLabel, GenreText);
    ClearLevelMeters();
    if (CurrentSound) {
        CurrentSound->SoundRelease();
        CurrentChannel = nullptr;
    }
    RedrawGadget(MainWindow);
    return 0;
}

int ToggleMute() {
    if (!CurrentSound) {
        return 0;
    }
    if (Muted == 0) {
        if (CurrentChannel) {
            CurrentChannel->SetVolume(0.0f);
        }
        SetMuteButtonFace(1);
        CheckMenu(MuteMenuItem);
        Muted = 1;
    } else {
        SetMuteButtonFace(0);
        if (CurrentChannel) {
            CurrentChannel->SetVolume(static_cast<float>(VolumeToFMOD(Volume)));
        } else {
            PlayStation(SetCurrentStationFile(""), 0);
        }
        EnableMenu(MuteMenuItem);
        UncheckMenu(MuteMenuItem);
        Muted = 0;
    }
    RedrawGadget(MainWindow);
    return 0;
}

} // namespace hvn
