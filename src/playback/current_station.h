#pragma once
// The current-station state: the station last opened and the audio objects playing it.
#include "audio/fmod.h"
#include "gui/pixmap.h"

#include <string>

namespace hvn {

extern std::string CurrentStationFile; // relative to "stations/"
extern std::string CurrentStationName;
extern std::string GenreText;
extern std::string StationHomepage;
extern std::string StationHomepageHost;
extern int StationUrlCount;
extern std::string CurrentStreamUrl;
extern std::string BitrateText;
extern int IsPlaying;
extern unsigned char Muted;
extern PixmapPtr StationLogo;
extern std::string StationLogoStream;  // bytes of "station_ico.png"; empty when none
extern TFMODSoundPtr CurrentSound;     // a released stream stays here
extern TFMODChannelPtr CurrentChannel; // none whenever nothing plays
extern TFMODTagPtr StreamTag;
extern int FMODResult;
extern int NowPlayingPhase;

extern TFMODSystemPtr FMODSystem;

} // namespace hvn
