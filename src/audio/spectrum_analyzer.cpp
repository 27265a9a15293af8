#include "audio/spectrum_analyzer.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>

namespace hvn {
namespace {

// FFTW's planner is not thread-safe: plans are made and destroyed under this lock.
std::mutex &planner_mutex() {
    static std::mutex m;
    return m;
}

constexpr size_t kSize = kHistoryFrames;
constexpr size_t kBins = kSize / 2;

} // namespace

struct SpectrumAnalyzer::Plan {
    struct FloatFree {
        void operator()(float *p) const { fftwf_free(p); }
    };
    struct ComplexFree {
        void operator()(fftwf_complex *p) const { fftwf_free(p); }
    };
    std::unique_ptr<float, FloatFree> in{fftwf_alloc_real(kSize)};
    std::unique_ptr<fftwf_complex, ComplexFree> out{fftwf_alloc_complex(kBins + 1)};
    fftwf_plan plan = nullptr;
    float window[kSize];
    float scale = 0;
};

SpectrumAnalyzer::SpectrumAnalyzer() : plan_(std::make_unique<Plan>()) {
    double energy = 0;
    for (size_t i = 0; i < kSize; ++i) {
        // Triangle window, peak 1 in the middle.
        double w = 1.0 - std::fabs((2.0 * i - (kSize - 1)) / (kSize - 1));
        plan_->window[i] = static_cast<float>(w);
        energy += w * w;
    }
    // A sine of amplitude A puts A^2/4 * N * sum(w^2) into the positive bins (Parseval), so
    // the band's root of summed power times this reads A whatever the sine's exact bin.
    plan_->scale = static_cast<float>(2.0 / std::sqrt(kSize * energy));
    std::lock_guard lock(planner_mutex());
    plan_->plan = fftwf_plan_dft_r2c_1d(static_cast<int>(kSize), plan_->in.get(), plan_->out.get(),
                                        FFTW_ESTIMATE);
}

SpectrumAnalyzer::~SpectrumAnalyzer() {
    std::lock_guard lock(planner_mutex());
    if (plan_->plan)
        fftwf_destroy_plan(plan_->plan);
}

void SpectrumAnalyzer::analyze(const float *samples, float *values, int count) {
    float *in = plan_->in.get();
    for (size_t i = 0; i < kSize; ++i)
        in[i] = samples[i] * plan_->window[i];
    fftwf_execute(plan_->plan);
    const fftwf_complex *out = plan_->out.get();
    for (int k = 0; k < count; ++k) {
        size_t first = kBins * k / count;
        size_t last = kBins * (k + 1) / count;
        double power = 0;
        for (size_t b = first; b < last; ++b)
            power += double(out[b][0]) * out[b][0] + double(out[b][1]) * out[b][1];
        values[k] = static_cast<float>(std::sqrt(power) * plan_->scale);
    }
}

} // namespace hvn
