// The network thread of a stream: opens the URL with libavformat's protocols (HTTP, HTTPS,
// redirects, ICY metadata) and feeds the raw bytes into the stream buffer.
#include <netdb.h>

#include <cerrno>
#include <memory>
#include <string>
#include <string_view>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include "audio/av_result.h"
#include "audio/fmod.h"
#include "audio/icy_metadata.h"
#include "audio/net_stream.h"

namespace hvn {
namespace {

constexpr int kMaxRedirects = 5;
constexpr size_t kReadChunk = 4096;

struct AvioClose {
    void operator()(AVIOContext *pb) const { avio_closep(&pb); }
};
using AvioPtr = std::unique_ptr<AVIOContext, AvioClose>;

struct DictFree {
    void operator()(AVDictionary *d) const { av_dict_free(&d); }
};

struct AvFree {
    void operator()(uint8_t *p) const { av_free(p); }
};

int interrupted(void *opaque) {
    return static_cast<std::atomic<bool> *>(opaque)->load() ? 1 : 0;
}

// scheme://[user@]host[:port]/... -> host (brackets of an IPv6 literal removed).
std::string url_host(std::string_view url) {
    size_t scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {};
    url.remove_prefix(scheme + 3);
    url = url.substr(0, url.find_first_of("/?#"));
    if (size_t at = url.rfind('@'); at != std::string_view::npos)
        url.remove_prefix(at + 1);
    if (!url.empty() && url.front() == '[')
        return std::string(url.substr(1, url.find(']') - 1));
    return std::string(url.substr(0, url.find(':')));
}

// libavformat reports a failed name lookup and too many redirects with the same EIO;
// looking the name up first tells the two apart.
bool host_resolves(const std::string &host) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0)
        return false;
    freeaddrinfo(found);
    return true;
}

std::string avio_string_option(AVIOContext *pb, const char *name) {
    uint8_t *raw = nullptr;
    if (av_opt_get(pb, name, AV_OPT_SEARCH_CHILDREN, &raw) < 0 || !raw)
        return {};
    std::unique_ptr<uint8_t, AvFree> owned(raw);
    return reinterpret_cast<char *>(raw);
}

AvioPtr open_url(NetStream &stream, int &result) {
    AVDictionary *raw = nullptr;
    const std::string timeoutUs = std::to_string(int64_t(stream.timeoutMs) * 1000);
    av_dict_set(&raw, "icy", "1", 0);
    av_dict_set(&raw, "rw_timeout", timeoutUs.c_str(), 0);
    av_dict_set(&raw, "timeout", timeoutUs.c_str(), 0);
    av_dict_set_int(&raw, "max_redirects", kMaxRedirects, 0);
    av_dict_set(&raw, "user_agent", "Halvane", 0);
    // A station URL never reaches local files or other protocols.
    av_dict_set(&raw, "protocol_whitelist", "http,https,tcp,tls", 0);
    std::unique_ptr<AVDictionary, DictFree> options(raw);
    AVIOInterruptCB cb{interrupted, &stream.aborted};
    AVIOContext *pb = nullptr;
    AVDictionary *opts = options.release();
    int ret = avio_open2(&pb, stream.url.c_str(), AVIO_FLAG_READ, &cb, &opts);
    av_dict_free(&opts);
    if (ret < 0) {
        result = ret == AVERROR(EIO) ? FMOD_ERR_NET_REDIRECT : net_result(ret);
        return nullptr;
    }
    result = FMOD_OK;
    return AvioPtr(pb);
}

class IcyWatcher {
public:
    explicit IcyWatcher(AVIOContext *pb) : pb_(pb) {}
    void read_headers(StreamTags &tags) {
        if (auto br = icy_header(avio_string_option(pb_, "icy_metadata_headers"), "icy-br"))
            tags.set("icy-br", *br);
    }
    // After every read: a changed metadata block may carry a new song.
    void poll(StreamTags &tags) {
        std::string block = avio_string_option(pb_, "icy_metadata_packet");
        if (block == last_)
            return;
        last_ = block;
        if (auto title = icy_stream_title(block)) {
            SongTags song = split_stream_title(*title);
            tags.set_song(std::move(song.artist), std::move(song.title));
        }
    }

private:
    AVIOContext *pb_;
    std::string last_;
};

int pump(NetStream &stream, AVIOContext *pb) {
    IcyWatcher icy(pb);
    icy.read_headers(stream.tags);
    uint8_t chunk[kReadChunk];
    for (;;) {
        size_t space = stream.ring.wait_space();
        if (space == 0)
            return FMOD_OK; // aborted
        int n = avio_read_partial(pb, chunk, static_cast<int>(std::min(space, kReadChunk)));
        if (n == 0 || n == AVERROR_EOF)
            return FMOD_OK;
        if (n < 0)
            return stream.aborted ? FMOD_OK : net_result(n);
        stream.ring.write(chunk, static_cast<size_t>(n));
        icy.poll(stream.tags);
        stream.check_ready();
    }
}

} // namespace

void run_network(std::shared_ptr<NetStream> stream) {
    if (!host_resolves(url_host(stream->url))) {
        stream->ring.close(FMOD_ERR_NET_CONNECT);
        return;
    }
    int result = FMOD_OK;
    AvioPtr pb = open_url(*stream, result);
    if (!pb) {
        stream->ring.close(result);
        return;
    }
    stream->connected();
    int end = pump(*stream, pb.get());
    stream->ring.close(end);
    stream->check_ready();
}

} // namespace hvn
