#include "audio/net_stream.h"

#include "audio/audio_output.h"

namespace hvn {

// Decoded sound kept ahead of the output: about 0.37 s. The stream buffer does the real
// buffering; this only smooths decoding.
constexpr size_t kPcmFrames = 16384;

NetStream::NetStream(std::string u, size_t bufferBytes, int timeout)
    : url(std::move(u)), timeoutMs(timeout), ring(bufferBytes), pcm(kPcmFrames) {}

void NetStream::connected() {
    StreamPhase expected = StreamPhase::Connecting;
    phase_.compare_exchange_strong(expected, StreamPhase::Buffering);
}

void NetStream::format_known() {
    formatKnown_ = true;
    check_ready();
}

void NetStream::check_ready() {
    if (!formatKnown_ || error_ != 0 || phase_ == StreamPhase::Ready)
        return;
    // A stream shorter than the buffer is ready once all of it arrived cleanly.
    if (ring.full() || (ring.closed() && ring.end_code() == 0))
        phase_ = StreamPhase::Ready;
}

void NetStream::fail(int code) {
    int expected = 0;
    error_.compare_exchange_strong(expected, code);
}

int NetStream::error() const {
    if (int e = error_.load())
        return e;
    if (phase_ != StreamPhase::Ready && ring.closed())
        return ring.end_code();
    return 0;
}

int NetStream::percent_buffered() const {
    return static_cast<int>(ring.fill() * 100 / ring.capacity());
}

void NetStream::abort() {
    aborted = true;
    ring.abort();
    pcm.abort();
}

} // namespace hvn
