#pragma once
// Where mixed sound goes: one backend per sound system, all taking interleaved stereo
// float frames at kOutputRate.
#include <cstddef>
#include <memory>
#include <stop_token>

#include "audio/fmod.h"

namespace hvn {

constexpr int kOutputRate = 44100;
constexpr int kOutputChannels = 2;

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Output thread: plays count frames, blocking until the device took them (this is what
    // paces the mixer). False when the device failed; the mixer then stops writing.
    virtual bool write(const float *frames, size_t count) = 0;
    // Output thread: waits until what was written has been played (before a close).
    virtual void drain() {}
    // Any thread: makes a blocked or later write return at once (used when stopping).
    virtual void interrupt() {}
};

// Each blocks for the device open only, which stop (when it can reach the sound system's
// wait) cuts short; nullptr when the output does not open (the reason on stderr).
std::unique_ptr<AudioOutput> open_pulse_output(std::stop_token stop = {});
std::unique_ptr<AudioOutput> open_alsa_output();
std::unique_ptr<AudioOutput> open_null_output();

// The one place that picks: Auto tries PulseAudio, then ALSA's default device. nullptr when
// the chosen output (or, for Auto, neither) opens; otherwise *opened (when given) says
// which one did.
std::unique_ptr<AudioOutput> open_audio_output(FmodOutput kind, FmodOutput *opened = nullptr,
                                               std::stop_token stop = {});

} // namespace hvn
