#include "playback/player_looks.h"

#include "app/gadgets.h"
#include "app/window.h"
#include "config/skins.h"
#include "config/translations.h"
#include "core/strings.h"
#include "playback/current_station.h"

namespace hvn {

void SetMuteButtonFace(int icon) {
    ReplaceButtonPixmap(MuteButton, IconStripIcon(MuteIconStrip, icon), 26);
    SetGadgetToolTip(MuteButton, Tr(TOOLTIP, icon == 0 ? 1 : 2));
}

void ShowSoundLook() {
    SetMuteButtonFace(0);
    Muted = 0;
    EnableMenu(MuteMenuItem);
    UncheckMenu(MuteMenuItem);
}

void ShowStoppedLook() {
    SetMuteButtonFace(1);
    DisableMenu(MuteMenuItem);
    Muted = 1;
}

std::string StationTitleText() {
    return Left(CurrentStationName, 45);
}

} // namespace hvn
