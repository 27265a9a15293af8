// PulseAudio through its asynchronous API on a threaded main loop. Every wait for the server
// also ends on interrupt() (a connect also on its deadline), so a server that stops answering
// can hold neither a stop nor the exit; a write waits only while the server wants no more.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "audio/audio_output.h"
#include "core/failure_report.h"

namespace hvn {
namespace {

constexpr size_t kBytesPerFrame = kOutputChannels * sizeof(float);
// A local server answers in milliseconds; one that takes longer is not there for us.
constexpr pa_usec_t kConnectTimeout = 5 * PA_USEC_PER_SEC;

class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop *loop) : loop_(loop) { pa_threaded_mainloop_lock(loop); }
    ~LoopLock() { pa_threaded_mainloop_unlock(loop_); }
    LoopLock(const LoopLock &) = delete;
    LoopLock &operator=(const LoopLock &) = delete;

private:
    pa_threaded_mainloop *loop_;
};

class PulseOutput : public AudioOutput {
public:
    PulseOutput() : loop_(pa_threaded_mainloop_new()) {}
    ~PulseOutput() override;
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;

    // Connects and opens the playback stream; false (the reason on stderr) when the server
    // refuses, fails, does not answer within kConnectTimeout, or stop is requested.
    bool open(std::stop_token stop);
    bool write(const float *frames, size_t count) override;
    void drain() override;
    void interrupt() override;

private:
    // Loop lock held: waits for the next event of the server, a deadline or an interrupt.
    // False once interrupted or past the deadline.
    bool wait();
    bool connect_context();
    bool connect_stream();
    void fail(const char *what);
    static void wake(pa_threaded_mainloop *loop) { pa_threaded_mainloop_signal(loop, 0); }

    pa_threaded_mainloop *loop_;
    pa_context *context_ = nullptr;
    pa_stream *stream_ = nullptr;
    // Under the loop lock.
    bool interrupted_ = false;
    bool timedOut_ = false;
};

PulseOutput::~PulseOutput() {
    if (!loop_)
        return;
    {
        LoopLock lock(loop_);
        // Neither waits for the server: what it still holds of ours is dropped.
        if (stream_) {
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        if (context_) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

bool PulseOutput::wait() {
    if (interrupted_ || timedOut_)
        return false;
    pa_threaded_mainloop_wait(loop_);
    return !interrupted_ && !timedOut_;
}

void PulseOutput::fail(const char *what) {
    const int error = timedOut_ ? PA_ERR_TIMEOUT : pa_context_errno(context_);
    if (!interrupted_)
        ReportFailure(what, pa_strerror(error));
}

bool PulseOutput::connect_context() {
    pa_context_set_state_callback(
        context_, [](pa_context *, void *loop) { wake(static_cast<pa_threaded_mainloop *>(loop)); },
        loop_);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
        return false;
    for (;;) {
        pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY)
            return true;
        if (!PA_CONTEXT_IS_GOOD(state) || !wait())
            return false;
    }
}

bool PulseOutput::connect_stream() {
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kOutputRate, kOutputChannels};
    stream_ = pa_stream_new(context_, "Radio", &spec, nullptr);
    if (!stream_)
        return false;
    auto signal = [](pa_stream *, void *loop) { wake(static_cast<pa_threaded_mainloop *>(loop)); };
    pa_stream_set_state_callback(stream_, signal, loop_);
    pa_stream_set_write_callback(
        stream_,
        [](pa_stream *, size_t, void *loop) { wake(static_cast<pa_threaded_mainloop *>(loop)); },
        loop_);
    // About 100 ms queued in the server: short enough that pause and volume act at once.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = 4096 * kBytesPerFrame;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr) < 0)
        return false;
    for (;;) {
        pa_stream_state_t state = pa_stream_get_state(stream_);
        if (state == PA_STREAM_READY)
            return true;
        if (!PA_STREAM_IS_GOOD(state) || !wait())
            return false;
    }
}

bool PulseOutput::open(std::stop_token stop) {
    if (!loop_)
        return false;
    // Made before the lock is taken, so that its end never waits on a callback that waits
    // for the lock.
    std::stop_callback onStop(stop, [this] { interrupt(); });
    LoopLock lock(loop_);
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Halvane");
    if (!context_ || pa_threaded_mainloop_start(loop_) < 0) {
        ReportFailure("cannot play through PulseAudio", "no client context");
        return false;
    }
    pa_time_event *deadline = pa_context_rttime_new(
        context_, pa_rtclock_now() + kConnectTimeout,
        [](pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self) {
            auto *out = static_cast<PulseOutput *>(self);
            out->timedOut_ = true;
            wake(out->loop_);
        },
        this);
    const bool ok = connect_context() && connect_stream();
    if (!ok)
        fail("cannot play through PulseAudio");
    if (deadline)
        pa_threaded_mainloop_get_api(loop_)->time_free(deadline);
    return ok;
}

bool PulseOutput::write(const float *frames, size_t count) {
    const auto *data = reinterpret_cast<const uint8_t *>(frames);
    size_t left = count * kBytesPerFrame;
    LoopLock lock(loop_);
    while (left > 0 && !interrupted_) {
        const size_t room = pa_stream_writable_size(stream_);
        if (pa_stream_get_state(stream_) != PA_STREAM_READY || room == static_cast<size_t>(-1)) {
            fail("PulseAudio playback failed");
            return false;
        }
        // Until the server asks for more: the write callback, a state change or interrupt()
        // wakes this.
        if (room < kBytesPerFrame) {
            wait();
            continue;
        }
        const size_t n = std::min(left, room - room % kBytesPerFrame);
        if (pa_stream_write(stream_, data, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            fail("PulseAudio playback failed");
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

void PulseOutput::drain() {
    LoopLock lock(loop_);
    pa_operation *op = pa_stream_drain(
        stream_,
        [](pa_stream *, int, void *loop) { wake(static_cast<pa_threaded_mainloop *>(loop)); },
        loop_);
    if (!op)
        return;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING &&
           pa_stream_get_state(stream_) == PA_STREAM_READY && wait()) {
    }
    pa_operation_unref(op);
}

void PulseOutput::interrupt() {
    LoopLock lock(loop_);
    interrupted_ = true;
    wake(loop_);
}

} // namespace

std::unique_ptr<AudioOutput> open_pulse_output(std::stop_token stop) {
    auto output = std::make_unique<PulseOutput>();
    if (!output->open(std::move(stop)))
        return nullptr;
    return output;
}

} // namespace hvn
