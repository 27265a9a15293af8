#pragma once
// One internet stream inside the engine: the state shared by its network thread, its
// decoder thread, the output thread and the main thread. The threads hold it by
// shared_ptr, so it lives until the last of them lets go.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "audio/byte_ring.h"
#include "audio/pcm_fifo.h"
#include "audio/stream_tags.h"

namespace hvn {

enum class StreamPhase { Connecting, Buffering, Ready };

// Seconds of sound buffered before a stream is ready: enough to start without a gap at
// real-time pace, small enough that a slow station starts at once whatever the buffer size.
constexpr double kStartSeconds = 0.5;

class NetStream {
public:
    NetStream(std::string url, size_t bufferBytes, int timeoutMs);

    const std::string url;
    const int timeoutMs;
    ByteRing ring; // the stream buffer
    PcmFifo pcm;
    StreamTags tags;
    std::atomic<bool> aborted{false};
    std::atomic<bool> starving{false};
    // Output thread: the sound ran out while the stream played. It is held back until as
    // much is buffered as at the start, so that it does not come back in stutters.
    std::atomic<bool> rebuffering{false};

    // Network thread: the server answered; contentType is its Content-Type (lower case).
    // Set before the connection's first byte enters the buffer, so the decoder sees it.
    void connected(const std::string &contentType);
    std::string content_type() const;
    // Network thread: the URL is an HLS playlist, which the decoder reads itself. Set before
    // the buffer is closed.
    void set_hls(const std::string &playlistUrl);
    std::string hls_url() const;
    // Decoder thread: the sound format is known and a decoder is open; bytesPerSecond is
    // the stream's own rate (0: unknown).
    void format_known(int bytesPerSecond);
    // Any engine thread: ready once the format is known and enough sound is buffered to
    // start (or the whole stream is in the buffer). Cheap; call after every change.
    void check_ready();
    // Any engine thread: enough sound decoded and buffered to play on without a gap.
    bool enough_buffered() const;
    // Any engine thread: the network thread has put its last bytes into the buffer.
    bool no_more_bytes() const { return ring.closed() && hls_url().empty(); }
    // Engine threads: the first failure sticks and ends the stream (an FMOD_ERR_* code). Its
    // reason goes to stderr, once, unless a stream that played simply came to its end.
    void fail(int code);
    // Engine threads: the library's own text for the latest failure (an AVERROR code, or
    // what the HTTP exchange said), which the lines on stderr give as the reason.
    void note_failure(std::string why);
    void note_av_error(int averror);
    // Network thread: a stream that played lost its connection and will try again; one line
    // on stderr per drop, never per try.
    void report_drop(int code);

    StreamPhase phase() const { return phase_.load(); }
    // The code the stream failed with, 0 while it has not. Before it is ready a broken
    // connection counts at once; afterwards only once the buffered sound is decoded.
    int error() const;
    int percent_buffered() const;

    // Any thread: stops both threads as soon as they look (within one network poll).
    void abort();
    // Engine threads: sleeps for the time given; false when the stream was aborted.
    bool sleep(std::chrono::milliseconds time);

private:
    size_t start_bytes() const;

    std::atomic<StreamPhase> phase_{StreamPhase::Connecting};
    std::atomic<bool> formatKnown_{false};
    std::atomic<int> error_{0};
    std::atomic<int> byteRate_{0};
    mutable std::mutex mutex_; // the texts below, and the sleep
    std::condition_variable abortWake_;
    std::string contentType_;
    std::string hlsUrl_;
    std::string failure_; // the latest note_failure()
};

// How long a stream that played goes on reconnecting without success before it ends in
// the error state. Not a setting: only the engine's own tests shorten it, before they open
// a stream.
inline std::atomic<std::chrono::milliseconds> reconnectGiveUpAfter{std::chrono::minutes(5)};

// Bounded waits between reconnections of a stream that played: none, then 0.5 s for ten
// tries, then 1, 2, 4, 8 s, then every 10 s; given up once nothing came through for
// reconnectGiveUpAfter.
class Backoff {
public:
    // Called when data flows again: the next failure starts over.
    void reset();
    // The wait before the next try, or nullopt when it is time to give up.
    std::optional<std::chrono::milliseconds> next();

private:
    int tries_ = 0;
    std::chrono::steady_clock::time_point since_{};
};

// Started by the system for every stream; each returns when the stream ends or is aborted.
void run_network(std::shared_ptr<NetStream> stream);
void run_decoder(std::shared_ptr<NetStream> stream);

} // namespace hvn
