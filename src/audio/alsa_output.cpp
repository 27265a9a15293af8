// ALSA's default device through snd_pcm in non-blocking mode: a write waits in poll() on the
// device and on an eventfd that interrupt() signals, so a device (or the sound server behind
// ALSA's pulse plugin) that stops taking frames can hold neither a stop nor the exit.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "audio/audio_output.h"
#include "core/failure_report.h"
#include "core/posix_io.h"

namespace hvn {
namespace {

struct PcmClose {
    void operator()(snd_pcm_t *pcm) const { snd_pcm_close(pcm); }
};
using PcmPtr = std::unique_ptr<snd_pcm_t, PcmClose>;

// How long a close after an interrupt is waited for: a working device closes at once.
constexpr std::chrono::milliseconds kCloseWait{100};

class AlsaOutput : public AudioOutput {
public:
    AlsaOutput(PcmPtr pcm, UniqueFd wake) : pcm_(std::move(pcm)), wake_(std::move(wake)) {}
    ~AlsaOutput() override {
        // After an interrupt the device may be stuck, and so may its close (ALSA's pulse
        // plugin waits up to 30 s for a frozen server to confirm the drop): that close runs
        // on a thread of its own, waited for only a moment.
        if (!interrupted_)
            return;
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> closed = done->get_future();
        std::thread([pcm = std::move(pcm_), done]() mutable {
            pcm.reset();
            done->set_value();
        }).detach();
        closed.wait_for(kCloseWait);
    }
    bool write(const float *frames, size_t count) override {
        while (count > 0) {
            snd_pcm_sframes_t n = snd_pcm_writei(pcm_.get(), frames, count);
            if (n == -EAGAIN) {
                if (!wait())
                    return true; // interrupted: the frames are dropped
                continue;
            }
            if (n < 0) {
                // An underrun or a suspend: recover once, give up when that fails.
                const int err = snd_pcm_recover(pcm_.get(), static_cast<int>(n), 1);
                if (err < 0) {
                    ReportFailure("ALSA playback failed", snd_strerror(err));
                    return false;
                }
                continue;
            }
            frames += n * kOutputChannels;
            count -= static_cast<size_t>(n);
        }
        return true;
    }
    void drain() override {
        // What the device still holds, waited for as a time, so that interrupt() ends it.
        snd_pcm_sframes_t queued = 0;
        if (snd_pcm_delay(pcm_.get(), &queued) == 0 && queued > 0) {
            pollfd fd{wake_.get(), POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(queued * 1000 / kOutputRate) + 1);
        }
    }
    void interrupt() override {
        interrupted_ = true;
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake_.get(), &one, sizeof one);
    }

private:
    // Until the device takes frames (true) or interrupt() was called (false).
    bool wait() {
        const int count = snd_pcm_poll_descriptors_count(pcm_.get());
        std::vector<pollfd> fds(static_cast<size_t>(std::max(count, 0)) + 1);
        fds[0] = {wake_.get(), POLLIN, 0};
        if (count > 0)
            snd_pcm_poll_descriptors(pcm_.get(), fds.data() + 1, static_cast<unsigned>(count));
        for (;;) {
            if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
                return true; // the next write reports what is wrong
            if (fds[0].revents)
                return false;
            unsigned short revents = 0;
            snd_pcm_poll_descriptors_revents(pcm_.get(), fds.data() + 1,
                                             static_cast<unsigned>(fds.size() - 1), &revents);
            if (revents & (POLLOUT | POLLERR | POLLHUP))
                return true;
        }
    }

    PcmPtr pcm_;
    UniqueFd wake_; // an eventfd, readable once interrupted
    std::atomic<bool> interrupted_{false};
};

} // namespace

std::unique_ptr<AudioOutput> open_alsa_output() {
    snd_pcm_t *raw = nullptr;
    int err = snd_pcm_open(&raw, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (err < 0) {
        ReportFailure("cannot open ALSA's default device", snd_strerror(err));
        return nullptr;
    }
    PcmPtr pcm(raw);
    err = snd_pcm_set_params(pcm.get(), SND_PCM_FORMAT_FLOAT_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                             kOutputChannels, kOutputRate, 1, 100000);
    if (err < 0) {
        ReportFailure("cannot set up ALSA's default device", snd_strerror(err));
        return nullptr;
    }
    UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake) {
        ReportErrno("cannot set up ALSA's default device", errno);
        return nullptr;
    }
    return std::make_unique<AlsaOutput>(std::move(pcm), std::move(wake));
}

} // namespace hvn
