#pragma once
// Magnitude spectrum of the last kHistoryFrames samples of one side of a channel.
#include <memory>

#include "audio/mixer.h"

namespace hvn {

class SpectrumAnalyzer {
public:
    SpectrumAnalyzer(); // makes the FFT plan (under a process-wide lock)
    ~SpectrumAnalyzer();
    SpectrumAnalyzer(const SpectrumAnalyzer &) = delete;
    SpectrumAnalyzer &operator=(const SpectrumAnalyzer &) = delete;

    // One thread at a time (the main thread). samples: kHistoryFrames, oldest first. Fills
    // count bands evenly spaced from 0 Hz to half the sample rate, band k covering
    // k*(sr/2)/count up to the next band; a sine of amplitude A inside a band reads about A
    // there, silence 0. count must be 1..kHistoryFrames/2.
    void analyze(const float *samples, float *values, int count);

private:
    struct Plan;
    std::unique_ptr<Plan> plan_;
};

} // namespace hvn
