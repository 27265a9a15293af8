#include "audio/spectrum_analyzer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace hvn {
namespace {

std::vector<float> sine(double hz, double amplitude) {
    std::vector<float> s(kHistoryFrames);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<float>(amplitude * std::sin(2 * M_PI * hz * i / 44100.0 + 0.3));
    return s;
}

TEST(SpectrumAnalyzerTest, Analyze_fullScaleSines_readAboutOneInTheirBand) {
    SpectrumAnalyzer analyzer;
    const double bandHz = 22050.0 / 64;
    // Inside bands, on FFT bins and between them.
    for (double hz : {440.0, 1000.0, 2583.98, 5000.0, 10025.0, 15000.0}) {
        auto samples = sine(hz, 1.0);
        float values[64];
        analyzer.analyze(samples.data(), values, 64);
        int band = static_cast<int>(hz / bandHz);
        int peak = static_cast<int>(std::max_element(values, values + 64) - values);
        EXPECT_EQ(peak, band) << hz << " Hz";
        EXPECT_NEAR(values[band], 1.0, 0.05) << hz << " Hz";
        for (int k = 0; k < 64; ++k) {
            if (std::abs(k - band) > 1) {
                EXPECT_LT(values[k], 0.02) << hz << " Hz, band " << k;
            }
        }
    }
}

TEST(SpectrumAnalyzerTest, Analyze_levels_scaleWithAmplitudeAndSilenceIsZero) {
    SpectrumAnalyzer analyzer;
    float values[64];
    auto quiet = sine(440, 0.125);
    analyzer.analyze(quiet.data(), values, 64);
    EXPECT_NEAR(values[1], 0.125, 0.01);

    std::vector<float> silence(kHistoryFrames, 0.0f);
    analyzer.analyze(silence.data(), values, 64);
    for (float v : values)
        EXPECT_EQ(v, 0.0f);
}

TEST(SpectrumAnalyzerTest, Analyze_otherBandCounts_sameScale) {
    SpectrumAnalyzer analyzer;
    auto samples = sine(3000, 0.5);
    // Bands of several FFT bins each (with one bin a band sees only part of a sine's peak).
    for (int count : {1, 16, 128}) {
        std::vector<float> values(static_cast<size_t>(count));
        analyzer.analyze(samples.data(), values.data(), count);
        int band = static_cast<int>(3000 / (22050.0 / count));
        EXPECT_NEAR(values[static_cast<size_t>(band)], 0.5, 0.05) << count;
    }
}

} // namespace
} // namespace hvn
