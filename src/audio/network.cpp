// The network thread of a stream: a small HTTP/1.0 client over libavformat's tcp and tls
// protocols (abortable, with timeouts) that follows redirects and playlists, asks for ICY
// metadata, feeds the sound bytes into the stream buffer and reconnects after a drop.
// libavformat's own http protocol is not used for that: it reports a redirect loop, a
// failed name lookup and a cut connection all as EIO, and its ICY handling cannot be
// bounded or checked from outside.
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

#include "audio/fmod.h"
#include "audio/http_head.h"
#include "audio/icy_metadata.h"
#include "audio/net_stream.h"
#include "audio/playlist.h"

namespace hvn {
namespace {

constexpr int kMaxRedirects = 5;
constexpr size_t kMaxHeadBytes = 16384;
constexpr size_t kReadChunk = 4096;
// Enough of an unlabelled body to tell a playlist from sound.
constexpr size_t kSniffBytes = 16;
constexpr size_t kMaxPlaylistBytes = 256 * 1024;
constexpr int kMaxPlaylistDepth = 2;
constexpr size_t kMaxEntries = 10;
// A connection that brought this much had come back: the back-off starts over.
constexpr size_t kFlowingBytes = 4096;

struct AvioClose {
    void operator()(AVIOContext *pb) const { avio_closep(&pb); }
};
using AvioPtr = std::unique_ptr<AVIOContext, AvioClose>;

int interrupted(void *opaque) {
    return static_cast<std::atomic<bool> *>(opaque)->load() ? 1 : 0;
}

int read_result(int averror) {
    return averror == AVERROR(ETIMEDOUT) ? FMOD_ERR_NET_TIMEOUT : FMOD_ERR_NET_READ;
}

// A connection to url's host; nullptr with result set when it cannot be made.
AvioPtr connect(NetStream &stream, const StreamUrl &url, int &result) {
    const std::string address =
        std::string(url.tls ? "tls://" : "tcp://") + url.host + ":" + std::to_string(url.port);
    AVDictionary *opts = nullptr;
    const std::string timeoutUs = std::to_string(int64_t(stream.timeoutMs) * 1000);
    av_dict_set(&opts, "rw_timeout", timeoutUs.c_str(), 0);
    av_dict_set(&opts, "timeout", timeoutUs.c_str(), 0);
    AVIOInterruptCB cb{interrupted, &stream.aborted};
    AVIOContext *pb = nullptr;
    int ret = avio_open2(&pb, address.c_str(), AVIO_FLAG_READ_WRITE, &cb, &opts);
    av_dict_free(&opts);
    if (ret < 0) {
        stream.note_av_error(ret);
        result = ret == AVERROR(ETIMEDOUT) ? FMOD_ERR_NET_TIMEOUT : FMOD_ERR_NET_CONNECT;
        return nullptr;
    }
    result = FMOD_OK;
    return AvioPtr(pb);
}

// Sends the request and reads the response head; what came after it stays in body.
std::optional<HttpHead> request(AVIOContext *pb, const StreamUrl &url, std::string &body,
                                int &result) {
    const std::string req = build_request(url);
    avio_write(pb, reinterpret_cast<const unsigned char *>(req.data()),
               static_cast<int>(req.size()));
    avio_flush(pb);
    std::string head;
    uint8_t chunk[kReadChunk];
    size_t end;
    while ((end = http_head_size(head)) == 0) {
        if (head.size() > kMaxHeadBytes) {
            result = FMOD_ERR_HTTP;
            return std::nullopt;
        }
        int n = avio_read_partial(pb, chunk, sizeof chunk);
        if (n <= 0) {
            result = n == AVERROR(ETIMEDOUT) ? FMOD_ERR_NET_TIMEOUT : FMOD_ERR_NET_READ;
            return std::nullopt;
        }
        head.append(reinterpret_cast<char *>(chunk), static_cast<size_t>(n));
    }
    body = head.substr(end);
    head.resize(end);
    auto parsed = parse_http_head(head);
    result = parsed ? FMOD_OK : FMOD_ERR_HTTP;
    return parsed;
}

bool is_redirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A response: the open connection, its head, the body bytes already read (without the
// chunk framing, which some servers and proxies add even to an HTTP/1.0 response), and for
// HLS only the playlist's URL (the demuxer reads it itself).
struct Source {
    AvioPtr pb;
    HttpHead head;
    std::string body;
    std::optional<Dechunker> chunks;
    std::string hlsUrl;
};

// Reads what the connection has, up to max bytes, and appends the body's bytes among them
// to out. The bytes read; 0 at the end of the body; an AVERROR on a failure.
int read_some(Source &source, std::string &out, size_t max) {
    if (source.chunks && source.chunks->done())
        return 0;
    uint8_t chunk[kReadChunk];
    int n = avio_read_partial(source.pb.get(), chunk, static_cast<int>(std::min(max, kReadChunk)));
    if (n == AVERROR_EOF)
        return 0;
    if (n <= 0)
        return n;
    if (!source.chunks)
        out.append(reinterpret_cast<char *>(chunk), static_cast<size_t>(n));
    else if (!source.chunks->feed(chunk, static_cast<size_t>(n), out))
        return AVERROR_INVALIDDATA;
    return n;
}

// Connects to location and follows redirects; on success out holds the open response and
// location the URL that answered.
int open_stream(NetStream &stream, std::string &location, Source &out) {
    for (int redirects = 0;; ++redirects) {
        auto url = parse_stream_url(location);
        if (!url)
            return FMOD_ERR_NET_CONNECT;
        int result = FMOD_OK;
        out.pb = connect(stream, *url, result);
        if (!out.pb)
            return result;
        auto parsed = request(out.pb.get(), *url, out.body, result);
        if (!parsed)
            return result;
        out.head = *parsed;
        if (!is_redirect(out.head.status) || out.head.location.empty())
            break;
        if (redirects >= kMaxRedirects)
            return FMOD_ERR_NET_REDIRECT;
        location = resolve_location(*url, out.head.location);
        out.pb.reset();
    }
    if (int status = http_status_result(out.head.status); status != FMOD_OK) {
        stream.note_failure("HTTP status " + std::to_string(out.head.status));
        return status;
    }
    if (out.head.chunked) {
        const std::string raw = std::move(out.body);
        out.body.clear();
        out.chunks.emplace();
        if (!out.chunks->feed(reinterpret_cast<const uint8_t *>(raw.data()), raw.size(), out.body))
            return FMOD_ERR_NET_READ;
    }
    return FMOD_OK;
}

// Reads on until the body holds at least size bytes or ended; false on a failure.
bool read_body(Source &source, size_t size, int &result) {
    while (source.body.size() < size) {
        int n = read_some(source, source.body, kReadChunk);
        if (n == 0)
            return true;
        if (n < 0) {
            result = read_result(n);
            return false;
        }
    }
    return true;
}

// Opens the sound of url. A playlist is followed to its first entry that answers, then the
// next; nested playlists up to kMaxPlaylistDepth.
int open_source(NetStream &stream, std::string url, int depth, Source &out) {
    int result = open_stream(stream, url, out);
    if (result != FMOD_OK)
        return result;
    // The URL that answered: open_stream has read it already.
    const StreamUrl base = *parse_stream_url(url);
    BodyKind kind = body_kind(out.head.contentType, base.target);
    if (kind == BodyKind::Unsure) {
        if (!read_body(out, kSniffBytes, result))
            return result;
        kind = looks_like_playlist(out.body) ? BodyKind::Playlist : BodyKind::Sound;
    }
    if (kind == BodyKind::Sound)
        return FMOD_OK;
    if (!read_body(out, kMaxPlaylistBytes + 1, result))
        return result;
    out.pb.reset();
    if (out.body.size() > kMaxPlaylistBytes)
        return FMOD_ERR_FORMAT;
    Playlist list = parse_playlist(out.body);
    if (list.hls) {
        out.hlsUrl = url;
        return FMOD_OK;
    }
    if (list.entries.empty() || depth >= kMaxPlaylistDepth)
        return FMOD_ERR_FORMAT;
    if (list.entries.size() > kMaxEntries)
        list.entries.resize(kMaxEntries);
    for (const std::string &entry : list.entries) {
        if (stream.aborted)
            return FMOD_OK;
        out = Source{};
        result = open_source(stream, resolve_location(base, entry), depth + 1, out);
        if (result == FMOD_OK)
            return FMOD_OK;
    }
    return result;
}

class BodyPump {
public:
    BodyPump(NetStream &stream, const HttpHead &head) : stream_(stream), icy_(head.metaint) {}

    // Splits received bytes into sound for the stream buffer and song changes for the tags.
    void take(const uint8_t *data, size_t size) {
        received_ += size;
        sound_.clear();
        blocks_.clear();
        icy_.feed(data, size, sound_, blocks_);
        for (const std::string &block : blocks_) {
            if (auto title = icy_stream_title(block)) {
                SongTags song = split_stream_title(*title);
                stream_.tags.set_song(std::move(song.artist), std::move(song.title));
            }
        }
        // Reads never ask for more than the buffer's free space, so this waits only for the
        // bytes that came with the response head.
        const auto *p = reinterpret_cast<const uint8_t *>(sound_.data());
        size_t left = sound_.size();
        while (left > 0 && stream_.ring.wait_space() > 0) {
            size_t n = stream_.ring.write(p, left);
            p += n;
            left -= n;
        }
        stream_.check_ready();
    }

    // Until the server ends the body (FMOD_OK), a failure, or an abort.
    int run(Source &source) {
        std::string piece;
        for (;;) {
            size_t space = stream_.ring.wait_space();
            if (space == 0)
                return FMOD_OK; // aborted
            piece.clear();
            int n = read_some(source, piece, space);
            if (n == 0)
                return FMOD_OK;
            if (n < 0) {
                stream_.note_av_error(n);
                return stream_.aborted ? FMOD_OK : read_result(n);
            }
            take(reinterpret_cast<const uint8_t *>(piece.data()), piece.size());
        }
    }

    size_t received() const { return received_; }

private:
    NetStream &stream_;
    IcySplitter icy_;
    std::string sound_;
    std::vector<std::string> blocks_;
    size_t received_ = 0;
};

} // namespace

// Plays the URL's sound into the stream buffer. Once the stream has been ready, a broken
// or ended connection is a drop: the buffer is left open (the decoder starves on it) and the
// same URL is tried again in the background until it answers or the back-off gives up.
void run_network(std::shared_ptr<NetStream> stream) {
    Backoff backoff;
    bool delivered = false; // some connection put sound into the buffer
    for (;;) {
        Source source;
        int result = open_source(*stream, stream->url, 0, source);
        if (result == FMOD_OK && !stream->aborted && !source.hlsUrl.empty()) {
            if (!delivered) {
                stream->set_hls(source.hlsUrl);
                stream->connected(source.head.contentType);
                stream->ring.close(FMOD_OK);
                return;
            }
            result = FMOD_ERR_FORMAT; // the station turned into another kind of stream
        }
        size_t received = 0;
        if (result == FMOD_OK && !stream->aborted) {
            if (source.head.bitrate)
                stream->tags.set("icy-br", *source.head.bitrate);
            if (delivered) // the decoder starts afresh on the new connection's bytes
                stream->ring.mark_boundary();
            stream->connected(source.head.contentType);
            delivered = true;
            BodyPump pump(*stream, source.head);
            // The head's last read may have brought the first bytes of the body.
            pump.take(reinterpret_cast<const uint8_t *>(source.body.data()), source.body.size());
            result = pump.run(source);
            received = pump.received();
        }
        source.pb.reset();
        if (stream->aborted) {
            stream->ring.close(FMOD_OK);
            return;
        }
        if (stream->phase() != StreamPhase::Ready) {
            stream->ring.close(result);
            stream->check_ready();
            return;
        }
        if (received > 0)
            stream->report_drop(result);
        if (received >= kFlowingBytes)
            backoff.reset();
        auto wait = backoff.next();
        if (!wait) {
            stream->ring.close(result != FMOD_OK ? result : FMOD_ERR_NET_READ);
            return;
        }
        if (!stream->sleep(*wait)) {
            stream->ring.close(FMOD_OK);
            return;
        }
    }
}

} // namespace hvn
