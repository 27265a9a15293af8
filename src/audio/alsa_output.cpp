// ALSA's default device through snd_pcm: writei blocks until the device takes the frames.
#include <alsa/asoundlib.h>

#include "audio/audio_output.h"

namespace hvn {
namespace {

struct PcmClose {
    void operator()(snd_pcm_t *pcm) const { snd_pcm_close(pcm); }
};

class AlsaOutput : public AudioOutput {
public:
    explicit AlsaOutput(snd_pcm_t *pcm) : pcm_(pcm) {}
    bool write(const float *frames, size_t count) override {
        while (count > 0) {
            snd_pcm_sframes_t n = snd_pcm_writei(pcm_.get(), frames, count);
            if (n < 0) {
                // An underrun or a suspend: recover once, give up when that fails.
                if (snd_pcm_recover(pcm_.get(), static_cast<int>(n), 1) < 0)
                    return false;
                continue;
            }
            frames += n * kOutputChannels;
            count -= static_cast<size_t>(n);
        }
        return true;
    }
    void drain() override { snd_pcm_drain(pcm_.get()); }

private:
    std::unique_ptr<snd_pcm_t, PcmClose> pcm_;
};

} // namespace

std::unique_ptr<AudioOutput> open_alsa_output() {
    snd_pcm_t *raw = nullptr;
    if (snd_pcm_open(&raw, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return nullptr;
    std::unique_ptr<snd_pcm_t, PcmClose> pcm(raw);
    if (snd_pcm_set_params(pcm.get(), SND_PCM_FORMAT_FLOAT_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                           kOutputChannels, kOutputRate, 1, 100000) < 0)
        return nullptr;
    return std::make_unique<AlsaOutput>(pcm.release());
}

} // namespace hvn
