#pragma once
// The output thread: mixes the playing channels with their volume and pause into the
// output, and keeps for each channel the samples it last sent there (for the spectrum).
// The output is open only while a channel plays: with nothing to play the thread sleeps
// without a timer and the sound server has no stream of ours.
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
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
    // Opens the output each time a channel starts playing after none did; the token is
    // stopped when the mixer ends.
    using OutputOpener = std::function<std::unique_ptr<AudioOutput>(std::stop_token)>;
    // Starts the output thread at once; it sleeps while no channel plays.
    Mixer(OutputOpener openOutput, int maxChannels);
    // Stops every channel and joins the thread: one output period at most, since a write,
    // drain or open in progress is interrupted.
    ~Mixer();
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
    // Output thread, mutex_ held: opens the output when there is none (false when it would
    // not open: the channels then stop) or closes it when nothing plays any more.
    bool open_output(std::unique_lock<std::mutex> &lock);
    void close_output(std::unique_lock<std::mutex> &lock);
    // Up to frames of the stream's sound (fewer while it has too little buffered).
    size_t take(NetStream &stream, float *buf, size_t frames);
    // True when a channel ended by itself (its stream was heard to the end).
    bool mix(std::vector<std::shared_ptr<ChannelState>> &active, size_t frames);
    bool slot_free(size_t i) const;

    OutputOpener openOutput_;
    std::mutex mutex_;
    // Changed by the output thread under mutex_; set while it writes or drains, so that
    // the destructor can interrupt that.
    std::unique_ptr<AudioOutput> output_;
    std::stop_source quitOpen_; // stopped by the destructor
    // A channel ended by itself: what the output still holds is played before it closes.
    bool drainOnClose_ = false;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<ChannelState>> slots_;
    bool quit_ = false;
    std::vector<float> mixBuffer_;
    std::vector<float> channelBuffer_;
    std::thread thread_;
};

} // namespace hvn
