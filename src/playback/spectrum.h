#pragma once
// The spectrum analyser and level meters, drawn on every 30 Hz tick while the spectrum
// canvas is on screen. Main thread only.
#include <vector>

namespace hvn {

extern int SpectrumStyle;                 // 0 none, 1 bars, 2 graph; 0 at every start
extern std::vector<float> SpectrumValues; // 64 values, reused by every frame
extern int SpectrumColors[6];             // left r, g, b, right r, g, b (from the skin)

// Logo, then (while a channel plays) the meters and the spectrum in the current style,
// then a flip. Without SpectrumCanvas the program ends with "No radiostation canvas
// created!" and status 255.
void SpectrumFrame();
// Pauses the 30 Hz timer while its frames could not differ from the last one drawn
// (nothing plays, or the canvas is off screen, or the window is hidden) and resumes it
// when they could. Call after anything that may have changed what is shown.
void PaceSpectrumTimer();
// Both meters when ShowSpectrumAnalyser is 1; a failed spectrum read skips that meter.
int DrawLevelMeters();
// One meter: a column of sum / 64 * 400 pixels rising from the bottom.
int DrawLevelMeterLeft(const std::vector<float> &values);
int DrawLevelMeterRight(const std::vector<float> &values);
// Drawers for the current target canvas; an empty array draws nothing. All return 0.
int DrawSpectrumBarsLeft(const std::vector<float> &values);
int DrawSpectrumBarsRight(const std::vector<float> &values);
int DrawSpectrumGraphLeft(const std::vector<float> &values);
int DrawSpectrumGraphRight(const std::vector<float> &values);
int DrawRectOutline(float x, float y, float w, float h);

} // namespace hvn
