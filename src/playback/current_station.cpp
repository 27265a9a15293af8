#include "playback/current_station.h"

namespace hvn {

std::string CurrentStationFile;
std::string CurrentStationName;
std::string GenreText;
std::string StationHomepage;
std::string StationHomepageHost;
int StationUrlCount = 0;
std::string CurrentStreamUrl;
std::string BitrateText;
int IsPlaying = 0;
unsigned char Muted = 0;
PixmapPtr StationLogo;
std::string StationLogoStream;
TFMODSoundPtr CurrentSound;
TFMODChannelPtr CurrentChannel;
TFMODTagPtr StreamTag;
int FMODResult = 0;
int NowPlayingPhase = 0;

TFMODSystemPtr FMODSystem;

} // namespace hvn
