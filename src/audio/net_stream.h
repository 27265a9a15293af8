#pragma once
// One internet stream inside the engine: the state shared by its network thread, its
// decoder thread, the output thread and the main thread. The threads hold it by
// shared_ptr, so it lives until the last of them lets go.
#include <atomic>
#include <memory>
#include <string>

#include "audio/byte_ring.h"
#include "audio/pcm_fifo.h"
#include "audio/stream_tags.h"

namespace hvn {

enum class StreamPhase { Connecting, Buffering, Ready };

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

    // Network thread: the server answered.
    void connected();
    // Decoder thread: the sound format is known and a decoder is open.
    void format_known();
    // Any engine thread: ready once the format is known and the stream buffer is full (or
    // the whole stream is in it). Cheap; call after every change of either.
    void check_ready();
    // Engine threads: the first failure sticks and ends the stream (an FMOD_ERR_* code).
    void fail(int code);

    StreamPhase phase() const { return phase_.load(); }
    // The code the stream failed with, 0 while it has not. Before it is ready a broken
    // connection counts at once; afterwards only once the buffered sound is decoded.
    int error() const;
    int percent_buffered() const;

    // Any thread: stops both threads as soon as they look (within one network poll).
    void abort();

private:
    std::atomic<StreamPhase> phase_{StreamPhase::Connecting};
    std::atomic<bool> formatKnown_{false};
    std::atomic<int> error_{0};
};

// Started by the system for every stream; each returns when the stream ends or is aborted.
void run_network(std::shared_ptr<NetStream> stream);
void run_decoder(std::shared_ptr<NetStream> stream);

} // namespace hvn
