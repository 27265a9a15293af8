#pragma once
// The spectrum analyser and level meters, drawn on every 30 Hz tick.
#include <vector>

namespace hvn {

extern int SpectrumStyle;                 // 0 none, 1 bars, 2 graph
extern std::vector<float> SpectrumValues; // 64 values, reused by every frame
extern int SpectrumColors[6];             // left r, g, b, right r, g, b

void SpectrumFrame();
int DrawLevelMeters();
int DrawLevelMeterLeft(const std::vector<float> &values);
int DrawLevelMeterRight(const std::vector<float> &values);
int DrawSpectrumBarsLeft(const std::vector<float> &values);
int DrawSpectrumBarsRight(const std::vector<float> &values);
int DrawSpectrumGraphLeft(const std::vector<float> &values);
int DrawSpectrumGraphRight(const std::vector<float> &values);
int DrawRectOutline(float x, float y, float w, float h);

} // namespace hvn
