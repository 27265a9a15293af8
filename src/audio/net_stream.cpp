#include "audio/net_stream.h"

#include <algorithm>

extern "C" {
#include <libavutil/error.h>
}

#include "audio/audio_output.h"
#include "audio/fmod.h"
#include "core/failure_report.h"

namespace hvn {

// Decoded sound kept ahead of the output: about 0.37 s. The stream buffer does the real
// buffering; this only smooths decoding.
constexpr size_t kPcmFrames = 16384;
// Assumed until the decoder knows the stream's rate: 128 kb/s.
constexpr int kDefaultByteRate = 16000;

constexpr std::chrono::seconds kLongestWait{10};
// Tries half a second apart after a drop (5 s), before the waits grow.
constexpr int kQuickTries = 10;

NetStream::NetStream(std::string u, size_t bufferBytes, int timeout)
    : url(std::move(u)), timeoutMs(timeout), ring(bufferBytes), pcm(kPcmFrames) {}

void NetStream::connected(const std::string &contentType) {
    {
        std::lock_guard lock(mutex_);
        contentType_ = contentType;
        failure_.clear(); // what failed before is no longer why this one ends
    }
    StreamPhase expected = StreamPhase::Connecting;
    phase_.compare_exchange_strong(expected, StreamPhase::Buffering);
}

std::string NetStream::content_type() const {
    std::lock_guard lock(mutex_);
    return contentType_;
}

void NetStream::set_hls(const std::string &playlistUrl) {
    std::lock_guard lock(mutex_);
    hlsUrl_ = playlistUrl;
}

std::string NetStream::hls_url() const {
    std::lock_guard lock(mutex_);
    return hlsUrl_;
}

void NetStream::format_known(int bytesPerSecond) {
    byteRate_ = bytesPerSecond;
    formatKnown_ = true;
    check_ready();
}

size_t NetStream::start_bytes() const {
    const int rate = byteRate_ > 0 ? byteRate_.load() : kDefaultByteRate;
    return std::min(ring.capacity(), static_cast<size_t>(rate * kStartSeconds));
}

bool NetStream::enough_buffered() const {
    // Some sound decoded, so that the output does not begin with a gap, and the rest of the
    // start in the buffer (HLS: the demuxer holds whole segments itself).
    const bool decoded = pcm.frames() >= static_cast<size_t>(kOutputRate * kStartSeconds / 2);
    return decoded && (!hls_url().empty() || ring.fill() >= start_bytes());
}

void NetStream::check_ready() {
    if (!formatKnown_ || error_ != 0 || phase_ == StreamPhase::Ready)
        return;
    // A stream shorter than the start is ready once all of it arrived cleanly.
    if (enough_buffered() || (no_more_bytes() && ring.end_code() == 0))
        phase_ = StreamPhase::Ready;
}

void NetStream::fail(int code) {
    int expected = 0;
    if (!error_.compare_exchange_strong(expected, code))
        return;
    std::lock_guard lock(mutex_);
    if (code == FMOD_ERR_FILE_EOF && phase_ == StreamPhase::Ready && failure_.empty())
        return; // heard to its end
    ReportFailure((phase_ == StreamPhase::Ready ? "stream ended: " : "cannot play ") + url,
                  failure_.empty() ? FMODErrorString(code) : failure_);
}

void NetStream::note_failure(std::string why) {
    std::lock_guard lock(mutex_);
    failure_ = std::move(why);
}

void NetStream::note_av_error(int averror) {
    char text[AV_ERROR_MAX_STRING_SIZE];
    av_strerror(averror, text, sizeof text);
    note_failure(text);
}

void NetStream::report_drop(int code) {
    std::lock_guard lock(mutex_);
    const std::string why = !failure_.empty() ? failure_
                            : code == FMOD_OK ? "the server ended the stream"
                                              : FMODErrorString(code);
    ReportFailure("connection lost, reconnecting: " + url, why);
    failure_.clear();
}

int NetStream::error() const {
    if (int e = error_.load())
        return e;
    if (phase_ != StreamPhase::Ready && ring.closed())
        return ring.end_code();
    return 0;
}

int NetStream::percent_buffered() const {
    if (!hls_url().empty())
        return static_cast<int>(std::min<size_t>(pcm.frames() * 100 / kPcmFrames, 100));
    return static_cast<int>(ring.fill() * 100 / ring.capacity());
}

void NetStream::abort() {
    {
        std::lock_guard lock(mutex_);
        aborted = true;
    }
    abortWake_.notify_all();
    ring.abort();
    pcm.abort();
}

bool NetStream::sleep(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return !abortWake_.wait_for(lock, time, [&] { return aborted.load(); });
}

void Backoff::reset() {
    tries_ = 0;
}

std::optional<std::chrono::milliseconds> Backoff::next() {
    const auto now = std::chrono::steady_clock::now();
    if (tries_ == 0)
        since_ = now;
    else if (now - since_ > reconnectGiveUpAfter.load())
        return std::nullopt;
    // At once first (a momentary cut), then every half second for a while (a restarted
    // source or server is heard again soon after it is back), then 1, 2, 4, 8 s, then every
    // 10 s.
    const int n = tries_++;
    if (n == 0)
        return std::chrono::milliseconds(0);
    if (n <= kQuickTries)
        return std::chrono::milliseconds(500);
    return std::min<std::chrono::milliseconds>(
        std::chrono::seconds(1 << std::min(n - kQuickTries - 1, 4)), kLongestWait);
}

} // namespace hvn
