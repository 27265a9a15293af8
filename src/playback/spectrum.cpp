// The 30 Hz frame: station logo, level meters and the spectrum in bar or graph style.
#include "playback/spectrum.h"

#include "app/gadgets.h"
#include "app/startup.h"
#include "app/window.h"
#include "config/settings.h"
#include "gui/canvas/draw2d.h"
#include "playback/current_station.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace hvn {

int SpectrumStyle = 0;
std::vector<float> SpectrumValues(64, 0.0f);
int SpectrumColors[6] = {70, 70, 70, 90, 90, 90};

namespace {

constexpr int kSpectrumSize = 64;
constexpr int kBarRows = 17;
constexpr int kGraphPoints = 18;
constexpr float kMaxDepth = 85.0f;

float ValueAt(const std::vector<float> &values, int i) {
    return i < static_cast<int>(values.size()) ? values[i] : 0.0f;
}

// Reads one channel (0 left, 1 right) into values; false when the engine refuses.
bool ReadSpectrum(std::vector<float> &values, int channel) {
    values.resize(kSpectrumSize);
    return CurrentChannel && CurrentChannel->GetSpectrum(values.data(), kSpectrumSize, channel,
                                                         FMOD_DSP_FFT_WINDOW_TRIANGLE) == FMOD_OK;
}

int MeterLevel(const std::vector<float> &values) {
    double sum = 0.0;
    for (float v : values) {
        sum += v;
    }
    const double level = sum / 64.0 * 400.0;
    // Keeps a runaway value from overflowing the integer; the meter is 15 pixels high.
    return static_cast<int>(std::clamp(std::isnan(level) ? 0.0 : level, -1e6, 1e6));
}

void DrawLevelMeter(Gadget *canvas, const std::vector<float> &values, const int *color) {
    if (values.empty() || !SetGraphics(canvas)) {
        return;
    }
    const int level = MeterLevel(values);
    SetClsColor(BackgroundRed, BackgroundGreen, BackgroundBlue);
    Cls();
    SetColor(color[0], color[1], color[2]);
    DrawRect(0, static_cast<float>(15 - level), 10, static_cast<float>(level));
    Flip(0);
}

// Bars grow outwards from the middle: left from x 137 to the right, right ending at 138.
void DrawBars(const std::vector<float> &values, bool left) {
    if (values.empty()) {
        return;
    }
    for (int i = 0; i < kBarRows; ++i) {
        const float v = ValueAt(values, i) * 500.0f;
        if (!(v > 2.0f)) {
            continue;
        }
        const float x = left ? 137.0f : 138.0f - v;
        const float y = static_cast<float>(81 - 5 * i);
        SetBlend(ALPHABLEND);
        SetColor(std::min(32 * i, 255), std::min(16 * i, 255), 128 + 2 * i);
        DrawRect(x, y, v, 5);
        SetColor(0, 0, 0);
        DrawRectOutline(x, y, v, 5);
    }
    SetColor(0, 0, 0);
    DrawRect(left ? 0.0f : 273.0f, 0, 1, 87);
}

float GraphDepth(float value, bool left) {
    const float depth = value * 500.0f;
    if (std::isnan(depth)) {
        return left ? 0.0f : kMaxDepth;
    }
    if (depth > kMaxDepth) {
        return kMaxDepth;
    }
    return left ? std::trunc(depth) : depth;
}

// A filled curve hanging from the top: left half from x 1, right half mirrored from 273.
void DrawGraph(const std::vector<float> &values, bool left) {
    if (values.empty()) {
        return;
    }
    const int *color = left ? SpectrumColors : SpectrumColors + 3;
    const float width = left ? 8.0f : -8.0f;
    auto xAt = [left](int j) { return static_cast<float>(left ? 1 + 8 * j : 273 - 8 * j); };
    for (int j = 1; j < kGraphPoints; ++j) {
        const float a = xAt(j - 1);
        const float b = xAt(j);
        const float p = GraphDepth(ValueAt(values, j - 1), left);
        const float q = GraphDepth(ValueAt(values, j), left);
        SetBlend(ALPHABLEND);
        SetAlpha(0.6);
        SetColor(color[0], color[1], color[2]);
        const float shallow = std::min(p, q);
        DrawRect(a, 1 + shallow, width, -shallow);
        if (p <= q) {
            DrawPoly({a, 1 + p, b, 1 + p, b, 1 + q});
        } else {
            DrawPoly({a, 1 + q, b, 1 + q, a, 1 + p});
        }
    }
}

void DrawSpectrumStyle() {
    if (SpectrumStyle == 1) {
        SetBlend(ALPHABLEND);
        SetAlpha(0.8);
        if (ReadSpectrum(SpectrumValues, 0)) {
            DrawSpectrumBarsLeft(SpectrumValues);
        }
        if (ReadSpectrum(SpectrumValues, 1)) {
            DrawSpectrumBarsRight(SpectrumValues);
        }
    } else if (SpectrumStyle == 2) {
        if (ReadSpectrum(SpectrumValues, 0)) {
            DrawSpectrumGraphLeft(SpectrumValues);
        }
        if (ReadSpectrum(SpectrumValues, 1)) {
            DrawSpectrumGraphRight(SpectrumValues);
        }
    }
}

} // namespace

namespace {

// What a frame's picture depends on besides the spectrum itself.
struct FrameInputs {
    const Pixmap *logo = nullptr;
    uint64_t logoGeneration = 0;
    bool onScreen = false;
    bool hidden = false;
    bool live = false; // a channel plays: the meters and spectrum move
    bool operator==(const FrameInputs &) const = default;
};

std::optional<FrameInputs> lastFrame;

FrameInputs CurrentFrameInputs() {
    FrameInputs in;
    in.logo = StationLogo.get();
    in.logoGeneration = StationLogo ? StationLogo->generation : 0;
    in.onScreen = SpectrumCanvas && CanvasOnScreen(SpectrumCanvas);
    in.hidden = HiddenToTray != 0;
    in.live = CurrentSound && CurrentChannel;
    return in;
}

} // namespace

void PaceSpectrumTimer() {
    if (!SpectrumTimer)
        return;
    const FrameInputs now = CurrentFrameInputs();
    const bool run = !now.hidden && (lastFrame != now || (now.live && now.onScreen));
    SpectrumTimer->SetPaused(!run);
}

void SpectrumFrame() {
    if (!SpectrumCanvas) {
        std::fputs("No radiostation canvas created!\n", stderr);
        std::exit(-1);
    }
    lastFrame = CurrentFrameInputs();
    // Off screen (another page, the window hidden) a frame would never be seen: the next
    // one after the canvas shows again replaces it, so none is drawn, nor the spectrum read.
    if (!lastFrame->onScreen || !SetGraphics(SpectrumCanvas)) {
        return;
    }
    SetColor(255, 255, 255);
    SetBlend(SOLIDBLEND);
    if (StationLogo && !HiddenToTray) {
        DrawPixmap(StationLogo, 0, 0);
    }
    if (CurrentSound && !HiddenToTray && CurrentChannel) {
        DrawLevelMeters();
        if (!SetGraphics(SpectrumCanvas)) {
            return;
        }
        DrawSpectrumStyle();
    }
    Flip(0);
}

int DrawLevelMeters() {
    if (ShowSpectrumAnalyser != 1) {
        return 0;
    }
    std::vector<float> buffer(kSpectrumSize, 0.0f);
    if (ReadSpectrum(buffer, 0)) {
        DrawLevelMeterLeft(buffer);
    }
    if (ReadSpectrum(buffer, 1)) {
        DrawLevelMeterRight(buffer);
    }
    return 0;
}

int DrawLevelMeterLeft(const std::vector<float> &values) {
    DrawLevelMeter(LeftLevelCanvas, values, SpectrumColors);
    return 0;
}

int DrawLevelMeterRight(const std::vector<float> &values) {
    DrawLevelMeter(RightLevelCanvas, values, SpectrumColors + 3);
    return 0;
}

int DrawSpectrumBarsLeft(const std::vector<float> &values) {
    DrawBars(values, true);
    return 0;
}

int DrawSpectrumBarsRight(const std::vector<float> &values) {
    DrawBars(values, false);
    return 0;
}

int DrawSpectrumGraphLeft(const std::vector<float> &values) {
    DrawGraph(values, true);
    return 0;
}

int DrawSpectrumGraphRight(const std::vector<float> &values) {
    DrawGraph(values, false);
    return 0;
}

int DrawRectOutline(float x, float y, float w, float h) {
    DrawRect(x, y, w, 1);
    DrawRect(x, y + h - 1, w, 1);
    DrawRect(x, y + 1, 1, h - 2);
    DrawRect(x + w - 1, y + 1, 1, h - 2);
    return 0;
}

} // namespace hvn
