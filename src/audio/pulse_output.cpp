// PulseAudio through pa_simple: its blocking write paces the mixer.
#include <pulse/error.h>
#include <pulse/simple.h>

#include "audio/audio_output.h"

namespace hvn {
namespace {

struct PaSimpleFree {
    void operator()(pa_simple *s) const { pa_simple_free(s); }
};

class PulseOutput : public AudioOutput {
public:
    explicit PulseOutput(pa_simple *s) : stream_(s) {}
    bool write(const float *frames, size_t count) override {
        int error = 0;
        return pa_simple_write(stream_.get(), frames, count * kOutputChannels * sizeof(float),
                               &error) == 0;
    }
    void drain() override {
        int error = 0;
        pa_simple_drain(stream_.get(), &error);
    }

private:
    std::unique_ptr<pa_simple, PaSimpleFree> stream_;
};

} // namespace

std::unique_ptr<AudioOutput> open_pulse_output() {
    pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kOutputRate, kOutputChannels};
    // About 100 ms queued in the server: short enough that pause and volume act at once.
    const uint32_t bytesPerFrame = kOutputChannels * sizeof(float);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = 4096 * bytesPerFrame;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    int error = 0;
    pa_simple *s = pa_simple_new(nullptr, "Halvane", PA_STREAM_PLAYBACK, nullptr, "Radio", &spec,
                                 nullptr, &attr, &error);
    if (!s)
        return nullptr;
    return std::make_unique<PulseOutput>(s);
}

} // namespace hvn
