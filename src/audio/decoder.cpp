// The decoder thread of a stream: demuxes the stream buffer with libavformat (through a
// custom AVIOContext), decodes with libavcodec and resamples with libswresample into the
// stream's PCM queue at the output format.
#include <memory>
#include <optional>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "audio/audio_output.h"
#include "audio/fmod.h"
#include "audio/net_stream.h"
#include "audio/timed_id3.h"

namespace hvn {
namespace {

constexpr int kIoBufferSize = 4096;
// How much is read to find the format. Probing reads 2, 4, 8 then 16 KB and takes the
// best guess at the last step: a live MP3 stream rarely scores high enough earlier, and
// every byte probed is a byte the stream buffer must fill again.
constexpr int kProbeBytes = 16384;
// A stream that yields no sound over this many packets in a row is not decodable.
constexpr int kMaxBadPackets = 64;

struct FormatClose {
    void operator()(AVFormatContext *f) const { avformat_close_input(&f); }
};
struct IoFree {
    void operator()(AVIOContext *pb) const {
        av_freep(&pb->buffer);
        avio_context_free(&pb);
    }
};
struct CodecFree {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct SwrFree {
    void operator()(SwrContext *s) const { swr_free(&s); }
};
struct FrameFree {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct DictFree {
    void operator()(AVDictionary *d) const { av_dict_free(&d); }
};

// What the demuxer reads: the stream buffer up to its end or the next connection's bytes.
struct RingReader {
    NetStream &stream;
    bool ended = false; // the end of the data (or of a connection's data) was reached
    size_t bytes = 0;
};

int read_ring(void *opaque, uint8_t *buf, int size) {
    auto &reader = *static_cast<RingReader *>(opaque);
    NetStream &stream = reader.stream;
    // Demuxers read on after an end (Ogg looks for the next page, MP3 for the next frame):
    // the next connection's bytes are for the next decoder, which starts at their head.
    if (reader.ended)
        return AVERROR_EOF;
    // Running dry once the stream is ready is starving; new data ends it.
    const bool ready = stream.phase() == StreamPhase::Ready;
    long n = stream.ring.read(buf, static_cast<size_t>(size), ready ? &stream.starving : nullptr);
    if (n > 0) {
        stream.starving = false;
        reader.bytes += static_cast<size_t>(n);
    }
    if (n < 0)
        return AVERROR_EXIT;
    if (n == 0) {
        reader.ended = true;
        return AVERROR_EOF;
    }
    return static_cast<int>(n);
}

int interrupted(void *opaque) {
    return static_cast<std::atomic<bool> *>(opaque)->load() ? 1 : 0;
}

// Audio-only HLS in packed audio (raw AAC or MP3 segments) starts each segment with ID3
// tags that may name its song; libavformat reads the song of the first segment only. So
// everything the HLS demuxer opens is read through a HeadReader, which takes the song from
// the tags at its head. The demuxer opens a segment as its sound is needed, so the song
// changes when the segment is heard.
struct SegmentHooks {
    StreamTags *tags = nullptr;
    int (*open)(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **) = nullptr;
    int (*close)(AVFormatContext *, AVIOContext *) = nullptr;
};

// A tag's head that would be longer is not read for its song.
constexpr size_t kMaxSegmentHead = 128 * 1024;

class HeadReader {
public:
    HeadReader(AVIOContext *inner, SegmentHooks &hooks) : inner(inner), hooks_(hooks) {}
    AVIOContext *const inner;

    void take(const uint8_t *data, size_t size) {
        if (done_)
            return;
        head_.append(reinterpret_cast<const char *>(data),
                     std::min(size, kMaxSegmentHead - head_.size()));
        // One or more whole tags, then the sound (or anything else: a playlist, MPEG-TS).
        for (;;) {
            const std::string_view rest = std::string_view(head_).substr(parsed_);
            if (rest.size() < 10) {
                done_ = std::string_view("ID3").substr(0, rest.size()) != rest.substr(0, 3) ||
                        head_.size() >= kMaxSegmentHead;
                return;
            }
            const size_t tagSize = id3_tag_size(rest);
            if (tagSize == 0 || parsed_ + tagSize > kMaxSegmentHead) {
                done_ = true;
                return;
            }
            if (rest.size() < tagSize)
                return;
            if (auto song = timed_id3_song(rest.substr(0, tagSize)))
                hooks_.tags->set_song(std::move(song->artist), std::move(song->title));
            parsed_ += tagSize;
        }
    }

private:
    SegmentHooks &hooks_;
    std::string head_;
    size_t parsed_ = 0;
    bool done_ = false;
};

int read_head(void *opaque, uint8_t *buf, int size) {
    auto &reader = *static_cast<HeadReader *>(opaque);
    const int n = avio_read_partial(reader.inner, buf, size);
    if (n > 0)
        reader.take(buf, static_cast<size_t>(n));
    return n == 0 ? AVERROR_EOF : n;
}

int64_t seek_head(void *opaque, int64_t offset, int whence) {
    auto &reader = *static_cast<HeadReader *>(opaque);
    if (whence & AVSEEK_SIZE)
        return avio_size(reader.inner);
    return avio_seek(reader.inner, offset, whence & ~AVSEEK_FORCE);
}

// Options asked of a HeadReader's context (the final location after a redirect, cookies)
// are those of the connection it reads.
void *head_child(void *obj, void *prev) {
    return prev ? nullptr
                : static_cast<HeadReader *>(static_cast<AVIOContext *>(obj)->opaque)->inner;
}

const AVClass *head_class() {
    static const AVClass cls = [] {
        AVClass c{};
        c.class_name = "HeadReader";
        c.item_name = av_default_item_name;
        c.version = LIBAVUTIL_VERSION_INT;
        c.child_next = head_child;
        return c;
    }();
    return &cls;
}

int open_segment(AVFormatContext *s, AVIOContext **pb, const char *url, int flags,
                 AVDictionary **options) {
    auto &hooks = *static_cast<SegmentHooks *>(s->opaque);
    AVIOContext *inner = nullptr;
    if (int ret = hooks.open(s, &inner, url, flags, options); ret < 0)
        return ret;
    // The playlist the stream was opened with is closed with avio_close, which knows only
    // the contexts of libavformat's own protocols.
    if (pb == &s->pb) {
        *pb = inner;
        return 0;
    }
    auto reader = std::make_unique<HeadReader>(inner, hooks);
    auto *buffer = static_cast<uint8_t *>(av_malloc(kIoBufferSize));
    AVIOContext *outer = buffer ? avio_alloc_context(buffer, kIoBufferSize, 0, reader.get(),
                                                     read_head, nullptr, seek_head)
                                : nullptr;
    if (!outer) {
        av_free(buffer);
        hooks.close(s, inner);
        return AVERROR(ENOMEM);
    }
    outer->av_class = head_class();
    outer->seekable = inner->seekable;
    reader.release();
    *pb = outer;
    return 0;
}

int close_segment(AVFormatContext *s, AVIOContext *pb) {
    auto &hooks = *static_cast<SegmentHooks *>(s->opaque);
    if (!pb || pb->read_packet != read_head)
        return hooks.close(s, pb);
    std::unique_ptr<HeadReader> reader(static_cast<HeadReader *>(pb->opaque));
    const int ret = hooks.close(s, reader->inner);
    av_freep(&pb->buffer);
    avio_context_free(&pb);
    return ret;
}

// The demuxer a server's media type names. Probing a live stream blind needs up to
// kProbeBytes, several seconds of a slow station; the type saves that wait.
const AVInputFormat *format_for(const std::string &contentType) {
    static const std::pair<const char *, const char *> types[] = {
        {"audio/mpeg", "mp3"},   {"audio/mp3", "mp3"},    {"audio/mpeg3", "mp3"},
        {"audio/x-mpeg", "mp3"}, {"audio/aac", "aac"},    {"audio/aacp", "aac"},
        {"audio/x-aac", "aac"},  {"audio/x-aacp", "aac"}, {"application/ogg", "ogg"},
        {"audio/ogg", "ogg"},    {"audio/x-ogg", "ogg"},  {"audio/opus", "ogg"},
        {"audio/vorbis", "ogg"}};
    for (auto &[type, format] : types)
        if (contentType == type)
            return av_find_input_format(format);
    return nullptr;
}

class Decoder {
public:
    // hlsUrl: read that HLS playlist instead of the stream buffer.
    Decoder(NetStream &stream, std::string hlsUrl)
        : stream_(stream), hlsUrl_(std::move(hlsUrl)), reader_{stream} {}
    ~Decoder() { av_channel_layout_uninit(&swrLayout_); }
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;
    // FMOD_OK once the format is known and a decoder is open, else the failure's code.
    int open();
    // Decodes until the stream ends or is aborted; returns the code the stream ends with.
    int run();
    // The stream buffer's data ended, for good or until the next connection's bytes.
    bool reached_end() const { return reader_.ended; }
    size_t bytes_read() const { return reader_.bytes; }

private:
    int open_input();
    int open_hls();
    int open_codec();
    int byte_rate() const;
    int decode_packet(const AVPacket *packet);
    bool emit(const AVFrame *frame);
    bool make_resampler(const AVFrame *frame);
    // Without a packet: the tags found when the stream was opened.
    void update_tags(const AVPacket *packet);
    // A song change carried in an HLS stream's timed ID3.
    void timed_id3(const AVPacket *packet);
    int end_code(int averror) const;

    NetStream &stream_;
    const std::string hlsUrl_;
    RingReader reader_;
    SegmentHooks hooks_; // outlives format_, which calls it until it is closed
    std::unique_ptr<AVIOContext, IoFree> io_;
    std::unique_ptr<AVFormatContext, FormatClose> format_;
    std::unique_ptr<AVCodecContext, CodecFree> codec_;
    std::unique_ptr<SwrContext, SwrFree> swr_;
    std::unique_ptr<AVFrame, FrameFree> frame_{av_frame_alloc()};
    std::vector<float> out_;
    int streamIndex_ = -1;
    int badPackets_ = 0;
    int swrRate_ = 0, swrFormat_ = -1;
    AVChannelLayout swrLayout_{};
};

int Decoder::end_code(int averror) const {
    // Whatever stopped the network is the reason; otherwise the data itself was bad.
    if (stream_.ring.closed() && stream_.ring.end_code() != FMOD_OK)
        return stream_.ring.end_code();
    if (averror == AVERROR_EOF)
        return FMOD_ERR_FILE_EOF;
    stream_.note_av_error(averror);
    return FMOD_ERR_FORMAT;
}

int Decoder::open_input() {
    auto *buffer = static_cast<uint8_t *>(av_malloc(kIoBufferSize));
    if (!buffer)
        return FMOD_ERR_MEMORY;
    io_.reset(avio_alloc_context(buffer, kIoBufferSize, 0, &reader_, read_ring, nullptr, nullptr));
    if (!io_) {
        av_free(buffer);
        return FMOD_ERR_MEMORY;
    }
    io_->seekable = 0;
    AVFormatContext *f = avformat_alloc_context();
    if (!f)
        return FMOD_ERR_MEMORY;
    f->pb = io_.get();
    f->flags |= AVFMT_FLAG_CUSTOM_IO;
    // A live stream is never sought, yet libavformat would index every packet it reads
    // (24 bytes a frame, up to 1 MiB a stream): keep no index at all.
    f->max_index_size = 0;
    f->interrupt_callback = {interrupted, &stream_.aborted};
    AVDictionary *opts = nullptr;
    av_dict_set_int(&opts, "formatprobesize", kProbeBytes, 0);
    av_dict_set_int(&opts, "probesize", kProbeBytes, 0);
    av_dict_set_int(&opts, "analyzeduration", 200000, 0);
    const AVInputFormat *format = format_for(stream_.content_type());
    int ret = avformat_open_input(&f, "", format, &opts); // frees f on failure
    av_dict_free(&opts);
    if (ret < 0)
        return end_code(ret == AVERROR_EOF ? AVERROR_INVALIDDATA : ret);
    format_.reset(f);
    ret = avformat_find_stream_info(f, nullptr);
    if (ret < 0)
        return end_code(ret);
    return FMOD_OK;
}

int Decoder::open_hls() {
    AVFormatContext *f = avformat_alloc_context();
    if (!f)
        return FMOD_ERR_MEMORY;
    f->interrupt_callback = {interrupted, &stream_.aborted};
    hooks_.tags = &stream_.tags;
    hooks_.open = f->io_open;
    hooks_.close = f->io_close2;
    f->opaque = &hooks_;
    f->io_open = open_segment;
    f->io_close2 = close_segment;
    AVDictionary *opts = nullptr;
    // The demuxer reuses a kept-alive connection only through a context of libavformat's
    // own (it asserts so); with a HeadReader in between, every segment gets a new one.
    av_dict_set(&opts, "http_persistent", "0", 0);
    // Segments and keys come from the network only, never from local files.
    av_dict_set(&opts, "protocol_whitelist", "http,https,tcp,tls,crypto", 0);
    av_dict_set_int(&opts, "rw_timeout", int64_t(stream_.timeoutMs) * 1000, 0);
    av_dict_set(&opts, "user_agent", "Halvane", 0);
    // The default analysis time: with less, the demuxer drops the packets of a timed ID3
    // stream (the song titles).
    int ret = avformat_open_input(&f, hlsUrl_.c_str(), av_find_input_format("hls"), &opts);
    av_dict_free(&opts);
    if (ret < 0) {
        stream_.note_av_error(ret);
        return ret == AVERROR(ETIMEDOUT) ? FMOD_ERR_NET_TIMEOUT : FMOD_ERR_FORMAT;
    }
    format_.reset(f);
    ret = avformat_find_stream_info(f, nullptr);
    if (ret < 0) {
        stream_.note_av_error(ret);
        return FMOD_ERR_FORMAT;
    }
    return FMOD_OK;
}

// Bytes a second of the stream as sent: the codec's rate, else the server's icy-br.
int Decoder::byte_rate() const {
    const AVCodecParameters *par = format_->streams[streamIndex_]->codecpar;
    if (par->bit_rate > 0)
        return static_cast<int>(std::min<int64_t>(par->bit_rate / 8, 1 << 20));
    if (auto br = stream_.tags.get("icy-br")) {
        int kbps = std::atoi(br->c_str());
        if (kbps > 0 && kbps < 8000)
            return kbps * 125;
    }
    return 0;
}

int Decoder::open_codec() {
    const AVCodec *codec = nullptr;
    streamIndex_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex_ < 0 || !codec)
        return end_code(streamIndex_ < 0 ? streamIndex_ : AVERROR_DECODER_NOT_FOUND);
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_)
        return FMOD_ERR_MEMORY;
    AVStream *st = format_->streams[streamIndex_];
    int ret = avcodec_parameters_to_context(codec_.get(), st->codecpar);
    if (ret >= 0)
        ret = avcodec_open2(codec_.get(), codec, nullptr);
    if (ret < 0) {
        stream_.note_av_error(ret);
        return FMOD_ERR_FORMAT;
    }
    return FMOD_OK;
}

int Decoder::open() {
    if (!frame_)
        return FMOD_ERR_MEMORY;
    int result = hlsUrl_.empty() ? open_input() : open_hls();
    if (result == FMOD_OK)
        result = open_codec();
    if (result != FMOD_OK)
        return result;
    update_tags(nullptr);
    stream_.format_known(byte_rate());
    return FMOD_OK;
}

// Title and artist from ID3 (format metadata) or Vorbis/Opus comments (stream metadata or
// a packet's metadata update), when they changed.
void Decoder::update_tags(const AVPacket *packet) {
    AVFormatContext *f = format_.get();
    AVStream *st = f->streams[streamIndex_];
    const bool streamUpdated = st->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
    bool changed = !packet || (f->event_flags & AVFMT_EVENT_FLAG_METADATA_UPDATED) || streamUpdated;
    f->event_flags &= ~AVFMT_EVENT_FLAG_METADATA_UPDATED;
    st->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
    // A chained Ogg stream (a new song) brings its comments as side data of a packet.
    AVDictionary *update = nullptr;
    size_t size = 0;
    if (packet) {
        if (const uint8_t *data =
                av_packet_get_side_data(packet, AV_PKT_DATA_METADATA_UPDATE, &size))
            changed = av_packet_unpack_dictionary(data, size, &update) >= 0 || changed;
    }
    std::unique_ptr<AVDictionary, DictFree> owned(update);
    if (!changed)
        return;
    auto lookup = [&](const char *key) -> std::optional<std::string> {
        for (AVDictionary *d : {update, st->metadata, f->metadata})
            if (AVDictionaryEntry *e = av_dict_get(d, key, nullptr, 0))
                return std::string(e->value);
        return std::nullopt;
    };
    auto title = lookup("title");
    auto artist = lookup("artist");
    const bool ogg = std::string_view(f->iformat->name) == "ogg";
    // A new Ogg link is a new song, even one without a title or artist.
    const bool newLink = ogg && packet && (update || streamUpdated);
    if (title || artist || newLink)
        stream_.tags.set_song(std::move(artist), std::move(title));
    // The Opus demuxer adds each link's comments to those of the links before ("One;Two"):
    // the next link starts from none.
    if (ogg)
        av_dict_free(&st->metadata);
}

void Decoder::timed_id3(const AVPacket *packet) {
    auto song = timed_id3_song(
        std::string_view(reinterpret_cast<const char *>(packet->data), size_t(packet->size)));
    if (song)
        stream_.tags.set_song(std::move(song->artist), std::move(song->title));
}

bool Decoder::make_resampler(const AVFrame *frame) {
    if (swr_ && frame->sample_rate == swrRate_ && frame->format == swrFormat_ &&
        av_channel_layout_compare(&frame->ch_layout, &swrLayout_) == 0)
        return true;
    AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
    AVChannelLayout in{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&in, frame->ch_layout.nb_channels);
    else if (av_channel_layout_copy(&in, &frame->ch_layout) < 0)
        return false;
    SwrContext *s = nullptr;
    int ret = swr_alloc_set_opts2(&s, &out, AV_SAMPLE_FMT_FLT, kOutputRate, &in,
                                  static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                  nullptr);
    av_channel_layout_uninit(&in);
    swr_.reset(s);
    if (ret < 0 || swr_init(s) < 0) {
        swr_.reset();
        return false;
    }
    swrRate_ = frame->sample_rate;
    swrFormat_ = frame->format;
    av_channel_layout_uninit(&swrLayout_);
    av_channel_layout_copy(&swrLayout_, &frame->ch_layout);
    return true;
}

bool Decoder::emit(const AVFrame *frame) {
    if (!make_resampler(frame))
        return false;
    int room = swr_get_out_samples(swr_.get(), frame->nb_samples);
    if (room <= 0)
        return true;
    out_.resize(static_cast<size_t>(room) * kOutputChannels);
    uint8_t *dst = reinterpret_cast<uint8_t *>(out_.data());
    int n = swr_convert(swr_.get(), &dst, room, const_cast<const uint8_t **>(frame->extended_data),
                        frame->nb_samples);
    if (n < 0)
        return false;
    // Before and after: the queue may be full and push wait for the output to take some.
    stream_.check_ready();
    bool pushed = stream_.pcm.push(out_.data(), static_cast<size_t>(n));
    stream_.check_ready();
    if (!hlsUrl_.empty())
        stream_.starving = false;
    return pushed;
}

// Decodes one packet (nullptr flushes). FMOD_OK to go on, else the code to end with.
int Decoder::decode_packet(const AVPacket *packet) {
    int ret = avcodec_send_packet(codec_.get(), packet);
    bool produced = false;
    while (ret >= 0 || ret == AVERROR(EAGAIN)) {
        ret = avcodec_receive_frame(codec_.get(), frame_.get());
        if (ret < 0)
            break;
        produced = true;
        bool ok = emit(frame_.get());
        av_frame_unref(frame_.get());
        if (!ok)
            return stream_.aborted ? FMOD_OK : FMOD_ERR_FORMAT;
    }
    badPackets_ = produced ? 0 : badPackets_ + 1;
    if (packet && badPackets_ > kMaxBadPackets) {
        stream_.note_av_error(ret < 0 && ret != AVERROR(EAGAIN) ? ret : AVERROR_INVALIDDATA);
        return FMOD_ERR_FORMAT;
    }
    return FMOD_OK;
}

int Decoder::run() {
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet)
        return FMOD_ERR_MEMORY;
    for (;;) {
        int ret = av_read_frame(format_.get(), packet.get());
        if (stream_.aborted)
            return FMOD_OK;
        if (ret < 0) {
            decode_packet(nullptr);
            return end_code(ret);
        }
        update_tags(packet.get());
        int result = FMOD_OK;
        if (packet->stream_index == streamIndex_)
            result = decode_packet(packet.get());
        else if (format_->streams[packet->stream_index]->codecpar->codec_id ==
                 AV_CODEC_ID_TIMED_ID3)
            timed_id3(packet.get());
        av_packet_unref(packet.get());
        if (result != FMOD_OK)
            return result;
        if (stream_.aborted)
            return FMOD_OK;
    }
}

} // namespace

void run_decoder(std::shared_ptr<NetStream> stream) {
    // Sound bytes in the buffer, or a closed buffer: an HLS playlist or a failure.
    const bool bytes = stream->ring.wait_data();
    const std::string hlsUrl = bytes ? std::string() : stream->hls_url();
    Backoff backoff; // HLS only: the network thread reconnects byte streams
    int result = FMOD_OK;
    while (!stream->aborted) {
        bool opened = false, ended = false;
        size_t bytes = 0;
        {
            Decoder decoder(*stream, hlsUrl);
            result = decoder.open();
            opened = result == FMOD_OK;
            if (opened)
                result = decoder.run();
            ended = decoder.reached_end();
            bytes = decoder.bytes_read();
        }
        if (stream->aborted || stream->phase() != StreamPhase::Ready)
            break;
        if (hlsUrl.empty()) {
            // Data that ended with the buffer still open: the stream dropped and the network
            // thread brings a new connection, whose bytes come next. Bad data ends it.
            if (!ended || stream->ring.closed())
                break;
            // A connection that brought a probe's worth of bytes without sound in them: the
            // station now sends something else. Fewer may just be a connection cut short.
            if (!opened && bytes >= kProbeBytes)
                break;
            // Opened once the new connection's bytes are there, so that its Content-Type
            // (which may differ) picks the demuxer.
            if (!stream->ring.wait_data()) {
                result = stream->ring.end_code() != FMOD_OK ? stream->ring.end_code() : result;
                break;
            }
            continue;
        }
        // A playlist that stopped loading: try it again in the background.
        stream->starving = true;
        if (opened)
            backoff.reset();
        auto wait = backoff.next();
        if (!wait || !stream->sleep(*wait))
            break;
    }
    stream->pcm.finish();
    if (!stream->aborted)
        stream->fail(result == FMOD_OK ? FMOD_ERR_FILE_EOF : result);
    // Nobody reads any more: the network thread stops too, whether it is blocked on a full
    // buffer, in a connection or waiting to reconnect.
    stream->abort();
}

} // namespace hvn
