#pragma once
// Now playing, volume, mute and stop.
#include <string>

namespace hvn {

extern std::string CurrentSong;
extern std::string LastSong;

int PollNowPlaying();
int PollNowPlayingHidden();
double VolumeToFMOD(int volume);
int StopPlayback();
int ToggleMute();

} // namespace hvn
