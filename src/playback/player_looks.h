#pragma once
// The two looks of the player controls, shared by connecting, mute and stop.
// Main thread only.
#include <string>

namespace hvn {

// The mute button's face: icon 0 (sound on) or 1 (muted or stopped), tooltip TOOLTIP 1 or 2.
void SetMuteButtonFace(int icon);
// Muted 0, icon 0, menu item enabled and unticked.
void ShowSoundLook();
// Muted 1, icon 1, menu item disabled (stopped, or nothing could be played).
void ShowStoppedLook();
// The first 45 characters of the station name, as the title line shows it.
std::string StationTitleText();

} // namespace hvn
