#include "audio/audio_output.h"

namespace hvn {

std::unique_ptr<AudioOutput> open_audio_output(FmodOutput kind) {
    switch (kind) {
    case FmodOutput::PulseAudio:
        return open_pulse_output();
    case FmodOutput::Alsa:
        return open_alsa_output();
    case FmodOutput::NoSound:
        return open_null_output();
    case FmodOutput::Auto:
        break;
    }
    if (auto pulse = open_pulse_output())
        return pulse;
    return open_alsa_output();
}

} // namespace hvn
