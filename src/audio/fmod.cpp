// The call contract of the audio library over the engine's streams, mixer and spectrum.
#include "audio/fmod.h"

#include <algorithm>
#include <cmath>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "audio/http_head.h"
#include "audio/mixer.h"
#include "audio/net_stream.h"
#include "audio/spectrum_analyzer.h"
#include "audio/thread_reaper.h"

namespace hvn {
namespace {

constexpr unsigned kVersion = 0x44418;
constexpr int kDefaultBufferBytes = 16384;
constexpr int kMaxBufferBytes = 16 * 1024 * 1024;
constexpr int kDefaultTimeoutMs = 5000;
constexpr int kMaxChannels = 4093;

} // namespace

struct TFMODSystem::Impl {
    FmodOutput outputKind = FmodOutput::Auto;
    bool released = false;
    int bufferBytes = kDefaultBufferBytes;
    int timeoutMs = kDefaultTimeoutMs;
    std::unique_ptr<Mixer> mixer;
    std::unique_ptr<SpectrumAnalyzer> spectrum;
    ThreadReaper threads;
    std::vector<std::weak_ptr<NetStream>> streams;

    void release() {
        if (released)
            return;
        released = true;
        for (auto &weak : streams)
            if (auto s = weak.lock())
                s->abort();
        streams.clear();
        mixer.reset();
        threads.join_all();
        spectrum.reset();
    }
};

struct TFMODSound::Impl {
    std::weak_ptr<TFMODSystem::Impl> system;
    std::shared_ptr<NetStream> stream; // nullptr once released
};

struct TFMODChannel::Impl {
    std::weak_ptr<TFMODSystem::Impl> system;
    std::shared_ptr<ChannelState> channel;
};

namespace {

std::shared_ptr<TFMODSystem::Impl> live(const std::weak_ptr<TFMODSystem::Impl> &weak) {
    auto system = weak.lock();
    if (!system || system->released)
        return nullptr;
    return system;
}

} // namespace

// ---- System ----

TFMODSystem::TFMODSystem() : impl_(std::make_shared<Impl>()) {}

TFMODSystem::~TFMODSystem() {
    SystemRelease();
}

std::shared_ptr<TFMODSystem> TFMODSystem::Create() {
    // libavformat would write every network and format complaint to stderr; the engine
    // reports them as result codes instead.
    av_log_set_level(AV_LOG_QUIET);
    return std::shared_ptr<TFMODSystem>(new TFMODSystem());
}

int TFMODSystem::SetOutput(FmodOutput output) {
    if (impl_->released)
        return FMOD_ERR_INVALID_HANDLE;
    if (impl_->mixer)
        return FMOD_ERR_INITIALIZED;
    impl_->outputKind = output;
    return FMOD_OK;
}

int TFMODSystem::Init(int maxChannels, int flags, void *extraDriverData) {
    if (impl_->released)
        return FMOD_ERR_INVALID_HANDLE;
    if (impl_->mixer)
        return FMOD_ERR_INITIALIZED;
    if (maxChannels < 1 || maxChannels > kMaxChannels)
        return FMOD_ERR_INVALID_PARAM;
    // The output must open now; it is then closed again and opened only while a channel
    // plays, always the kind that opened here.
    FmodOutput opened = impl_->outputKind;
    if (!open_audio_output(impl_->outputKind, &opened))
        return FMOD_ERR_OUTPUT_INIT;
    impl_->spectrum = std::make_unique<SpectrumAnalyzer>();
    impl_->mixer = std::make_unique<Mixer>(
        [opened](std::stop_token stop) { return open_audio_output(opened, nullptr, stop); },
        maxChannels);
    return FMOD_OK;
}

int TFMODSystem::Update() {
    if (impl_->released)
        return FMOD_ERR_INVALID_HANDLE;
    if (!impl_->mixer)
        return FMOD_ERR_UNINITIALIZED;
    impl_->threads.reap();
    return FMOD_OK;
}

TFMODSoundPtr TFMODSystem::CreateStreamURL(const std::string &url, int mode, void *exinfo) {
    if (impl_->released || !impl_->mixer || !parse_stream_url(url))
        return nullptr; // only http:// and https:// streams
    impl_->threads.reap();
    std::erase_if(impl_->streams, [](const auto &w) { return w.expired(); });
    auto stream =
        std::make_shared<NetStream>(url, static_cast<size_t>(impl_->bufferBytes), impl_->timeoutMs);
    impl_->threads.start([stream] {
        name_thread("hvn-network");
        run_network(stream);
    });
    impl_->threads.start([stream] {
        name_thread("hvn-decoder");
        run_decoder(stream);
    });
    impl_->streams.push_back(stream);
    auto sound = std::make_shared<TFMODSound::Impl>();
    sound->system = impl_;
    sound->stream = std::move(stream);
    return std::make_shared<TFMODSound>(std::move(sound));
}

TFMODChannelPtr TFMODSystem::PlaySound(int channelIndex, const TFMODSoundPtr &sound, int paused,
                                       const TFMODChannelPtr &reuse) {
    if (impl_->released || !impl_->mixer || !sound || !sound->impl_->stream)
        return nullptr;
    auto &stream = sound->impl_->stream;
    if (stream->phase() != StreamPhase::Ready || stream->pcm.drained())
        return nullptr; // not ready yet, or already over
    int result = FMOD_OK;
    auto state = impl_->mixer->play(stream, channelIndex, paused != 0, result);
    if (!state)
        return nullptr;
    auto channel = std::make_shared<TFMODChannel::Impl>();
    channel->system = impl_;
    channel->channel = std::move(state);
    return std::make_shared<TFMODChannel>(std::move(channel));
}

int TFMODSystem::GetStreamBufferSize(int &size, int &unit) {
    if (impl_->released)
        return FMOD_ERR_INVALID_HANDLE;
    size = impl_->bufferBytes;
    unit = FMOD_TIMEUNIT_RAWBYTES;
    return FMOD_OK;
}

int TFMODSystem::SetStreamBufferSize(int size, int unit) {
    if (impl_->released)
        return FMOD_ERR_INVALID_HANDLE;
    if (unit != FMOD_TIMEUNIT_RAWBYTES || size < 1 || size > kMaxBufferBytes)
        return FMOD_ERR_INVALID_PARAM;
    impl_->bufferBytes = size;
    return FMOD_OK;
}

int TFMODSystem::SetNetworkTimeout(int milliseconds) {
    if (impl_->released)
        return FMOD_ERR_INVALID_HANDLE;
    if (milliseconds < 1)
        return FMOD_ERR_INVALID_PARAM;
    impl_->timeoutMs = milliseconds;
    return FMOD_OK;
}

int TFMODSystem::GetVersion(unsigned &version) {
    version = kVersion;
    return FMOD_OK;
}

int TFMODSystem::SystemRelease() {
    if (impl_->released)
        return FMOD_ERR_INVALID_HANDLE;
    impl_->release();
    return FMOD_OK;
}

// ---- Sound ----

TFMODSound::TFMODSound(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

TFMODSound::~TFMODSound() {
    SoundRelease();
}

int TFMODSound::GetOpenState(int &state, int &percentBuffered, int &starving, int &diskBusy) {
    state = FMOD_OPENSTATE_ERROR;
    percentBuffered = 0;
    starving = 0;
    diskBusy = 0;
    auto &stream = impl_->stream;
    if (!stream || !live(impl_->system))
        return FMOD_ERR_INVALID_HANDLE;
    percentBuffered = stream->percent_buffered();
    if (int error = stream->error())
        return error;
    starving = stream->starving || stream->rebuffering ? 1 : 0;
    switch (stream->phase()) {
    case StreamPhase::Connecting:
        state = FMOD_OPENSTATE_CONNECTING;
        break;
    case StreamPhase::Buffering:
        state = FMOD_OPENSTATE_BUFFERING;
        break;
    case StreamPhase::Ready:
        state = FMOD_OPENSTATE_READY;
        break;
    }
    return FMOD_OK;
}

TFMODTagPtr TFMODSound::GetTag(const std::string &name, int index) {
    auto &stream = impl_->stream;
    if (!stream || !live(impl_->system) || index != 0)
        return nullptr;
    auto data = stream->tags.get(name);
    if (!data)
        return nullptr;
    auto tag = std::make_shared<TFMODTag>();
    tag->name = name;
    tag->data = std::move(*data);
    return tag;
}

int TFMODSound::SoundRelease() {
    if (!impl_->stream)
        return FMOD_ERR_INVALID_HANDLE;
    impl_->stream->abort();
    if (auto system = live(impl_->system); system && system->mixer)
        system->mixer->stop_stream(impl_->stream.get());
    impl_->stream.reset();
    return FMOD_OK;
}

// ---- Channel ----

TFMODChannel::TFMODChannel(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

TFMODChannel::~TFMODChannel() = default;

int TFMODChannel::IsPlaying(int &playing) {
    playing = 0;
    if (!live(impl_->system))
        return FMOD_ERR_INVALID_HANDLE;
    playing = impl_->channel->stopped ? 0 : 1;
    return FMOD_OK;
}

int TFMODChannel::SetVolume(float volume) {
    if (!live(impl_->system) || impl_->channel->stopped)
        return FMOD_ERR_INVALID_HANDLE;
    if (std::isnan(volume))
        return FMOD_ERR_INVALID_PARAM;
    impl_->channel->volume = std::clamp(volume, 0.0f, 1.0f);
    return FMOD_OK;
}

int TFMODChannel::SetPaused(int paused) {
    if (!live(impl_->system) || impl_->channel->stopped)
        return FMOD_ERR_INVALID_HANDLE;
    impl_->channel->paused = paused != 0;
    return FMOD_OK;
}

int TFMODChannel::GetPaused(int &paused) {
    paused = 0;
    if (!live(impl_->system) || impl_->channel->stopped)
        return FMOD_ERR_INVALID_HANDLE;
    paused = impl_->channel->paused ? 1 : 0;
    return FMOD_OK;
}

int TFMODChannel::GetSpectrum(float *values, int numValues, int channelOffset, int windowType) {
    auto system = live(impl_->system);
    if (!system || impl_->channel->stopped)
        return FMOD_ERR_INVALID_HANDLE;
    if (!values || numValues < 1 || numValues > static_cast<int>(kHistoryFrames / 2) ||
        (channelOffset != 0 && channelOffset != 1) || windowType != FMOD_DSP_FFT_WINDOW_TRIANGLE)
        return FMOD_ERR_INVALID_PARAM;
    std::vector<float> samples(kHistoryFrames);
    impl_->channel->copy_history(channelOffset, samples.data());
    system->spectrum->analyze(samples.data(), values, numValues);
    return FMOD_OK;
}

// ---- Tag and texts ----

std::string TFMODTag::GetDataAsString() const {
    return data.substr(0, data.find('\0'));
}

std::string FMODErrorString(int result) {
    switch (result) {
    case FMOD_OK:
        return "No errors.";
    case FMOD_ERR_INVALID_HANDLE:
        return "The object was released or is not valid.";
    case FMOD_ERR_INVALID_PARAM:
        return "A parameter passed to the function is not valid.";
    case FMOD_ERR_NOTREADY:
        return "The stream is not ready yet.";
    case FMOD_ERR_OUTPUT_INIT:
        return "No sound output could be opened.";
    case FMOD_ERR_NET_CONNECT:
        return "Could not connect to the host.";
    case FMOD_ERR_HTTP:
        return "The server answered with an HTTP error.";
    case FMOD_ERR_HTTP_NOT_FOUND:
        return "The server does not have the requested stream (HTTP 404).";
    case FMOD_ERR_HTTP_ACCESS:
        return "The server refused access to the stream (HTTP 401 or 403).";
    case FMOD_ERR_FORMAT:
        return "The stream is not audio, or its format cannot be decoded.";
    case FMOD_ERR_NET_TIMEOUT:
        return "The server stopped answering (timeout).";
    case FMOD_ERR_FILE_EOF:
        return "The stream ended.";
    case FMOD_ERR_NET_REDIRECT:
        return "The server redirected too many times.";
    case FMOD_ERR_CHANNEL_ALLOC:
        return "No free channel to play on.";
    case FMOD_ERR_MEMORY:
        return "Not enough memory.";
    case FMOD_ERR_TAGNOTFOUND:
        return "The stream has no such tag.";
    case FMOD_ERR_UNINITIALIZED:
        return "The audio system is not initialised.";
    case FMOD_ERR_NET_READ:
        return "The connection to the server broke.";
    case FMOD_ERR_INITIALIZED:
        return "The audio system is already initialised.";
    default:
        return "Unknown error.";
    }
}

} // namespace hvn
