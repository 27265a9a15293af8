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

int read_ring(void *opaque, uint8_t *buf, int size) {
    auto &stream = *static_cast<NetStream *>(opaque);
    // Running dry once the stream is ready is starving; new data ends it.
    const bool ready = stream.phase() == StreamPhase::Ready;
    long n = stream.ring.read(buf, static_cast<size_t>(size), ready ? &stream.starving : nullptr);
    if (n > 0)
        stream.starving = false;
    if (n < 0)
        return AVERROR_EXIT;
    if (n == 0)
        return AVERROR_EOF;
    return static_cast<int>(n);
}

int interrupted(void *opaque) {
    return static_cast<std::atomic<bool> *>(opaque)->load() ? 1 : 0;
}

class Decoder {
public:
    explicit Decoder(NetStream &stream) : stream_(stream) {}
    ~Decoder() { av_channel_layout_uninit(&swrLayout_); }
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;
    // FMOD_OK once the format is known and a decoder is open, else the failure's code.
    int open();
    // Decodes until the stream ends or is aborted; returns the code the stream ends with.
    int run();

private:
    int open_input();
    int open_codec();
    int decode_packet(const AVPacket *packet);
    bool emit(const AVFrame *frame);
    bool make_resampler(const AVFrame *frame);
    // Without a packet: the tags found when the stream was opened.
    void update_tags(const AVPacket *packet);
    int end_code(int averror) const;

    NetStream &stream_;
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
    return FMOD_ERR_FORMAT;
}

int Decoder::open_input() {
    auto *buffer = static_cast<uint8_t *>(av_malloc(kIoBufferSize));
    if (!buffer)
        return FMOD_ERR_MEMORY;
    io_.reset(avio_alloc_context(buffer, kIoBufferSize, 0, &stream_, read_ring, nullptr, nullptr));
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
    int ret = avformat_open_input(&f, "", nullptr, &opts); // frees f on failure
    av_dict_free(&opts);
    if (ret < 0)
        return end_code(ret == AVERROR_EOF ? AVERROR_INVALIDDATA : ret);
    format_.reset(f);
    ret = avformat_find_stream_info(f, nullptr);
    if (ret < 0)
        return end_code(ret);
    return FMOD_OK;
}

int Decoder::open_codec() {
    const AVCodec *codec = nullptr;
    streamIndex_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex_ < 0 || !codec)
        return end_code(AVERROR_INVALIDDATA);
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_)
        return FMOD_ERR_MEMORY;
    AVStream *st = format_->streams[streamIndex_];
    if (avcodec_parameters_to_context(codec_.get(), st->codecpar) < 0 ||
        avcodec_open2(codec_.get(), codec, nullptr) < 0)
        return FMOD_ERR_FORMAT;
    return FMOD_OK;
}

int Decoder::open() {
    if (!frame_)
        return FMOD_ERR_MEMORY;
    int result = open_input();
    if (result == FMOD_OK)
        result = open_codec();
    if (result != FMOD_OK)
        return result;
    update_tags(nullptr);
    stream_.format_known();
    return FMOD_OK;
}

// Title and artist from ID3 (format metadata) or Vorbis/Opus comments (stream metadata or
// a packet's metadata update), when they changed.
void Decoder::update_tags(const AVPacket *packet) {
    AVFormatContext *f = format_.get();
    AVStream *st = f->streams[streamIndex_];
    bool changed = !packet || (f->event_flags & AVFMT_EVENT_FLAG_METADATA_UPDATED) ||
                   (st->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED);
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
    if (title || artist)
        stream_.tags.set_song(std::move(artist), std::move(title));
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
    return stream_.pcm.push(out_.data(), static_cast<size_t>(n));
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
    if (packet && badPackets_ > kMaxBadPackets)
        return FMOD_ERR_FORMAT;
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
        av_packet_unref(packet.get());
        if (result != FMOD_OK)
            return result;
        if (stream_.aborted)
            return FMOD_OK;
    }
}

} // namespace

void run_decoder(std::shared_ptr<NetStream> stream) {
    int result = FMOD_OK;
    {
        Decoder decoder(*stream);
        result = decoder.open();
        if (result == FMOD_OK)
            result = decoder.run();
    }
    stream->pcm.finish();
    if (!stream->aborted)
        stream->fail(result == FMOD_OK ? FMOD_ERR_FILE_EOF : result);
    // The network thread may still be blocked on a full buffer nobody reads any more.
    stream->ring.abort();
}

} // namespace hvn
