#pragma once
// The output thread: mixes the playing channels with their volume and pause into the
// output, and keeps for each channel the samples it last sent there (for the spectrum).
#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/audio_output.h"
#include "audio/net_stream.h"

namespace hvn {

// Samples per channel kept for the spectrum: a power of two for the FFT.
constexpr size_t kHistoryFrames = 2048;

class ChannelState {
public:
    explicit ChannelState(std::shared_ptr<NetStream> s, bool paused)
        : stream(std::move(s)), paused(paused) {}

    const std::shared_ptr<NetStream> stream;
    std::atomic<float> volume{1.0f};
    std::atomic<bool> paused;
    // Set once the channel stopped for good: its sound ended or was released, the slot was
    // reused, or the system was released.
    std::atomic<bool> stopped{false};

    // Main thread: the last kHistoryFrames samples of one side (0 left, 1 right), oldest
    // first.
    void copy_history(int side, float *out) const;
    // Output thread: appends what the channel just sent (interleaved stereo).
    void record(const float *frames, size_t count);

private:
    mutable std::mutex historyMutex_;
    std::array<std::array<float, kHistoryFrames>, 2> history_{};
    size_t historyPos_ = 0;
};

class Mixer {
public:
    // Starts the output thread at once; it idles while no channel plays.
    Mixer(std::unique_ptr<AudioOutput> output, int maxChannels);
    ~Mixer(); // stops every channel and joins the thread (one output period at most)
    Mixer(const Mixer &) = delete;
    Mixer &operator=(const Mixer &) = delete;

    // Main thread: plays stream on slot index (-1: the first free one). nullptr when no slot
    // is free (or index is out of range); result says which.
    std::shared_ptr<ChannelState> play(std::shared_ptr<NetStream> stream, int index, bool paused,
                                       int &result);
    // Main thread: stops the channels playing stream (its sound is released).
    void stop_stream(const NetStream *stream);

private:
    void run();
    void mix(std::vector<std::shared_ptr<ChannelState>> &active, size_t frames);
    bool slot_free(size_t i) const;

    std::unique_ptr<AudioOutput> output_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<ChannelState>> slots_;
    bool quit_ = false;
    std::vector<float> mixBuffer_;
    std::vector<float> channelBuffer_;
    std::thread thread_;
};

} // namespace hvn
