#pragma once
// Now playing, volume, mute and stop. Main thread only; none of them blocks, except
// ToggleMute after a stop, which runs PlayStation.
#include <string>

namespace hvn {

extern std::string CurrentSong; // "Artist - Title" of the last tag view; "" when none
extern std::string LastSong;    // the last song put into the history; kept across stations

// One step of the player's alternation: station name with genre, bitrate and buffer
// fill, then title and artist from the stream's tags (new songs go into the history).
// Nothing while no channel exists. Returns 0.
int PollNowPlaying();
// While the window is hidden: nothing. Returns 0.
int PollNowPlayingHidden();
// Sets the volume knob's tooltip and returns volume / 100 (0.0 for 0 and below).
double VolumeToFMOD(int volume);
// Both level meters cleared to the background colour: nothing to show.
void ClearLevelMeters();
// Silences and releases the current stream, shows the mute look and clears the meters.
int StopPlayback();
// Mutes, unmutes, or after a stop starts the station selected in the list again.
int ToggleMute();

} // namespace hvn
