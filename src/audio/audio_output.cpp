#include "audio/audio_output.h"

namespace hvn {

std::unique_ptr<AudioOutput> open_audio_output(FmodOutput kind, FmodOutput *opened,
                                               std::stop_token stop) {
    std::unique_ptr<AudioOutput> output;
    if (kind == FmodOutput::Auto) {
        output = open_pulse_output(stop);
        kind = output ? FmodOutput::PulseAudio : FmodOutput::Alsa;
    }
    if (!output) {
        switch (kind) {
        case FmodOutput::PulseAudio:
            output = open_pulse_output(stop);
            break;
        case FmodOutput::Alsa:
            output = open_alsa_output();
            break;
        case FmodOutput::NoSound:
            output = open_null_output();
            break;
        case FmodOutput::Auto: // settled above
            break;
        }
    }
    if (output && opened)
        *opened = kind;
    return output;
}

} // namespace hvn
