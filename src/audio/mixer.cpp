#include "audio/mixer.h"

#include <algorithm>
#include <chrono>

#include "audio/fmod.h"
#include "audio/thread_reaper.h"

namespace hvn {

// Frames mixed per write: 23 ms at 44.1 kHz, so volume and pause act within a period.
constexpr size_t kPeriodFrames = 1024;
constexpr std::chrono::milliseconds kMaxAhead{250};
constexpr std::chrono::milliseconds kMaxBehind{500};

void ChannelState::copy_history(int side, float *out) const {
    std::lock_guard lock(historyMutex_);
    const auto &h = history_[side];
    std::copy(h.begin() + historyPos_, h.end(), out);
    std::copy(h.begin(), h.begin() + historyPos_, out + (kHistoryFrames - historyPos_));
}

void ChannelState::record(const float *frames, size_t count) {
    std::lock_guard lock(historyMutex_);
    for (size_t i = 0; i < count; ++i) {
        history_[0][historyPos_] = frames[2 * i];
        history_[1][historyPos_] = frames[2 * i + 1];
        historyPos_ = (historyPos_ + 1) % kHistoryFrames;
    }
}

Mixer::Mixer(OutputOpener openOutput, int maxChannels)
    : openOutput_(std::move(openOutput)), slots_(static_cast<size_t>(maxChannels)),
      mixBuffer_(kPeriodFrames * kOutputChannels), channelBuffer_(kPeriodFrames * kOutputChannels),
      thread_([this] { run(); }) {}

Mixer::~Mixer() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        for (auto &slot : slots_)
            if (slot)
                slot->stopped = true;
        if (output_)
            output_->interrupt();
    }
    quitOpen_.request_stop();
    wake_.notify_all();
    thread_.join();
}

bool Mixer::slot_free(size_t i) const {
    return !slots_[i] || slots_[i]->stopped;
}

std::shared_ptr<ChannelState> Mixer::play(std::shared_ptr<NetStream> stream, int index, bool paused,
                                          int &result) {
    std::unique_lock lock(mutex_);
    size_t slot = slots_.size();
    if (index >= 0 && static_cast<size_t>(index) < slots_.size()) {
        slot = static_cast<size_t>(index);
    } else if (index < 0) {
        for (size_t i = 0; i < slots_.size() && slot == slots_.size(); ++i)
            if (slot_free(i))
                slot = i;
    }
    if (slot == slots_.size()) {
        result = index < 0 ? FMOD_ERR_CHANNEL_ALLOC : FMOD_ERR_INVALID_PARAM;
        return nullptr;
    }
    // A stream is heard once: a channel it already plays on stops.
    for (auto &other : slots_)
        if (other && other->stream == stream)
            other->stopped = true;
    if (slots_[slot])
        slots_[slot]->stopped = true;
    slots_[slot] = std::make_shared<ChannelState>(std::move(stream), paused);
    auto channel = slots_[slot];
    lock.unlock();
    wake_.notify_all();
    result = FMOD_OK;
    return channel;
}

void Mixer::stop_stream(const NetStream *stream) {
    std::lock_guard lock(mutex_);
    for (auto &slot : slots_)
        if (slot && slot->stream.get() == stream)
            slot->stopped = true;
}

size_t Mixer::take(NetStream &stream, float *buf, size_t frames) {
    // Once a stream ran dry (a drop, a slow server), its sound waits until as much is buffered
    // as at the start, or until no more will come; what comes in bit by bit would otherwise
    // be heard in stutters.
    const bool finished = stream.pcm.finished();
    if (stream.rebuffering && (finished || stream.enough_buffered() || stream.no_more_bytes()))
        stream.rebuffering = false;
    if (stream.rebuffering)
        return 0;
    const size_t got = stream.pcm.pop(buf, frames);
    if (got < frames && !finished)
        stream.rebuffering = true;
    return got;
}

bool Mixer::mix(std::vector<std::shared_ptr<ChannelState>> &active, size_t frames) {
    bool ended = false;
    std::fill(mixBuffer_.begin(), mixBuffer_.end(), 0.0f);
    for (auto &ch : active) {
        float *buf = channelBuffer_.data();
        size_t got = 0;
        if (!ch->paused)
            got = take(*ch->stream, buf, frames);
        // What the channel did not have (paused, or the stream starving) is silence.
        std::fill(buf + got * kOutputChannels, buf + frames * kOutputChannels, 0.0f);
        const float volume = std::clamp(ch->volume.load(), 0.0f, 1.0f);
        for (size_t i = 0; i < frames * kOutputChannels; ++i) {
            buf[i] *= volume;
            mixBuffer_[i] += buf[i];
        }
        ch->record(buf, frames);
        if (got == 0 && !ch->paused && ch->stream->pcm.drained()) {
            ch->stopped = true;
            ended = true;
        }
    }
    for (float &s : mixBuffer_)
        s = std::clamp(s, -1.0f, 1.0f);
    return ended;
}

bool Mixer::open_output(std::unique_lock<std::mutex> &lock) {
    // Opening talks to the sound server: the main thread must not wait on it.
    lock.unlock();
    auto output = openOutput_(quitOpen_.get_token());
    lock.lock();
    if (!output) {
        // The device is gone: the channels can no longer be heard.
        for (auto &slot : slots_)
            if (slot)
                slot->stopped = true;
        return false;
    }
    output_ = std::move(output);
    drainOnClose_ = false;
    return true;
}

void Mixer::close_output(std::unique_lock<std::mutex> &lock) {
    if (!output_)
        return;
    // A stream heard to its end keeps its last fraction of a second; a stopped one is cut.
    if (drainOnClose_) {
        drainOnClose_ = false;
        AudioOutput *draining = output_.get();
        lock.unlock();
        draining->drain();
        lock.lock();
    }
    auto output = std::move(output_);
    lock.unlock();
    output.reset();
    lock.lock();
}

void Mixer::run() {
    name_thread("hvn-output");
    using Clock = std::chrono::steady_clock;
    std::vector<std::shared_ptr<ChannelState>> active;
    Clock::time_point start;
    uint64_t written = 0; // frames since start
    bool running = false;
    std::unique_lock lock(mutex_);
    auto collect = [&] {
        active.clear();
        for (auto &slot : slots_)
            if (slot && !slot->stopped)
                active.push_back(slot);
        return quit_ || !active.empty();
    };
    for (;;) {
        if (!collect()) {
            // Nothing plays: no output, and no wake-up until a channel starts.
            running = false;
            close_output(lock);
            wake_.wait(lock, collect);
        }
        if (quit_)
            return;
        if (!output_) {
            open_output(lock);
            continue; // the channels may have changed meanwhile
        }
        if (!running) {
            start = Clock::now();
            written = 0;
            running = true;
        }
        // A device that takes frames faster than real time (ALSA's file or null plugins)
        // would let the mixer run away: keep at most kMaxAhead in front.
        auto due = start + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(double(written) / kOutputRate));
        auto now = Clock::now();
        if (due + kMaxBehind < now) {
            start = now; // the device is slower than the clock: follow it
            written = 0;
        } else if (due > now + kMaxAhead) {
            wake_.wait_until(lock, due - kMaxAhead, [&] { return quit_; });
            continue;
        }
        lock.unlock();
        const bool ended = mix(active, kPeriodFrames);
        written += kPeriodFrames;
        const bool ok = output_->write(mixBuffer_.data(), kPeriodFrames);
        lock.lock();
        drainOnClose_ = drainOnClose_ || ended;
        if (!ok) {
            for (auto &slot : slots_)
                if (slot)
                    slot->stopped = true;
            drainOnClose_ = false;
            close_output(lock);
        }
    }
}

} // namespace hvn
