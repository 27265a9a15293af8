#pragma once
// The audio engine as the program calls it: a system, streams opened from URLs, the
// channels they play on, and their tags. Every call: main thread only, never blocking
// it for long (network and decoding run on the engine's own threads). A wrapper whose
// handle would be 0 is returned as nullptr. Results are FMOD_* codes (0 = success).
#include <memory>
#include <string>

namespace hvn {

enum FmodResult : int {
    FMOD_OK = 0,
    FMOD_ERR_INVALID_HANDLE = 1, // the object was released
    FMOD_ERR_INVALID_PARAM = 2,
    FMOD_ERR_NOTREADY = 3,       // the stream is still opening
    FMOD_ERR_OUTPUT_INIT = 4,    // no sound output could be opened
    FMOD_ERR_NET_CONNECT = 5,    // could not connect to the host
    FMOD_ERR_HTTP = 6,           // the server answered with an HTTP error
    FMOD_ERR_HTTP_NOT_FOUND = 7, // 404
    FMOD_ERR_HTTP_ACCESS = 8,    // 401/403
    FMOD_ERR_FORMAT = 9,         // not audio, or a format that cannot be decoded
    FMOD_ERR_NET_TIMEOUT = 10,   // the server stopped answering
    FMOD_ERR_FILE_EOF = 11,      // the stream ended
    FMOD_ERR_NET_REDIRECT = 12,  // too many redirects
    FMOD_ERR_CHANNEL_ALLOC = 13, // no free channel
    FMOD_ERR_MEMORY = 14,
    FMOD_ERR_TAGNOTFOUND = 15,
    FMOD_ERR_UNINITIALIZED = 16,
    FMOD_ERR_NET_READ = 17,    // the connection broke
    FMOD_ERR_INITIALIZED = 18, // Init called twice
};

enum FmodOpenState : int {
    FMOD_OPENSTATE_READY = 0,
    FMOD_OPENSTATE_LOADING = 1,
    FMOD_OPENSTATE_ERROR = 2,
    FMOD_OPENSTATE_CONNECTING = 3,
    FMOD_OPENSTATE_BUFFERING = 4,
    FMOD_OPENSTATE_SEEKING = 5,
    FMOD_OPENSTATE_PLAYING = 6,
    FMOD_OPENSTATE_SETPOSITION = 7,
    FMOD_OPENSTATE_MAX = 8,
};

enum : int {
    FMOD_2D = 0x8,
    FMOD_NONBLOCKING = 0x10000,
    FMOD_TIMEUNIT_RAWBYTES = 0x8,
    FMOD_DSP_FFT_WINDOW_TRIANGLE = 1,
};

// Output chosen before Init. Auto: PulseAudio when a server answers, else ALSA's default
// device. NoSound: a null output paced in real time, for tests only (never a fallback).
enum class FmodOutput { Auto, PulseAudio, Alsa, NoSound };

// The library's English text for a result code: "No errors." for 0, "Unknown error." for
// codes of 96 and above.
std::string FMODErrorString(int result);

class TFMODSound;
class TFMODChannel;
class TFMODTag;
using TFMODSoundPtr = std::shared_ptr<TFMODSound>;
using TFMODChannelPtr = std::shared_ptr<TFMODChannel>;
using TFMODTagPtr = std::shared_ptr<TFMODTag>;

class TFMODSystem {
public:
    static std::shared_ptr<TFMODSystem> Create(); // nullptr when creation fails
    ~TFMODSystem();
    int SetOutput(FmodOutput output); // before Init
    // Checks that the output opens (blocks for that only) and starts the output thread.
    // The output is then open only while a channel plays. FMOD_ERR_OUTPUT_INIT when no
    // output opens; flags and extraDriverData are unused.
    int Init(int maxChannels, int flags, void *extraDriverData);
    // Collects the threads of released streams. Never blocks.
    int Update();
    // Returns at once; opening, connecting and buffering go on in the engine. http:// and
    // https:// URLs only: nullptr for any other, and before Init.
    TFMODSoundPtr CreateStreamURL(const std::string &url, int mode, void *exinfo);
    // channelIndex -1: any free channel, else that channel (what it played stops). nullptr
    // when the sound is not ready (or has been heard to its end) or no channel is free.
    // reuse is not used.
    TFMODChannelPtr PlaySound(int channelIndex, const TFMODSoundPtr &sound, int paused,
                              const TFMODChannelPtr &reuse);
    // In bytes (FMOD_TIMEUNIT_RAWBYTES, the only unit taken): the size of the stream buffer
    // of streams created afterwards. Default 16384; at most 16 MiB.
    int GetStreamBufferSize(int &size, int &unit);
    int SetStreamBufferSize(int size, int unit);
    // How long a connect or a read may wait for the server before the stream fails with
    // FMOD_ERR_NET_TIMEOUT; applies to streams created afterwards. Default 5000 ms.
    int SetNetworkTimeout(int milliseconds);
    int GetVersion(unsigned &version);
    // Stops the output and every stream, waiting for the engine's threads (up to about a
    // network poll, 0.1 s). Later calls on the system, its sounds and channels fail with
    // FMOD_ERR_INVALID_HANDLE; a second release does nothing.
    int SystemRelease();

    struct Impl;

private:
    TFMODSystem();
    std::shared_ptr<Impl> impl_;
};
using TFMODSystemPtr = std::shared_ptr<TFMODSystem>;

class TFMODSound {
public:
    ~TFMODSound();
    // state: connecting, then buffering, then ready once the format is known and about half
    // a second is buffered. Once the stream fails: state FMOD_OPENSTATE_ERROR and the
    // failure's code as the result. percentBuffered is the stream buffer's fill; starving is
    // 1 while the decoder waits on an empty buffer after the stream was ready, and while its
    // sound, having run out, waits until that much is buffered again. diskBusy is 0.
    int GetOpenState(int &state, int &percentBuffered, int &starving, int &diskBusy);
    // "icy-br", "TITLE", "ARTIST"; a new song replaces title and artist together. Only index
    // 0 exists. The tag is a copy.
    TFMODTagPtr GetTag(const std::string &name, int index); // nullptr when absent
    // Returns within 100 ms in every state; a second release does nothing and later
    // calls fail with FMOD_ERR_INVALID_HANDLE.
    int SoundRelease();

    struct Impl;
    explicit TFMODSound(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

class TFMODChannel {
public:
    ~TFMODChannel();
    // 1 until the channel stops (its sound ended or was released, or another took its
    // place), also while paused. Once stopped the other calls fail with
    // FMOD_ERR_INVALID_HANDLE.
    int IsPlaying(int &playing);
    // 0.0 to 1.0 (clamped), applied within one output period (23 ms).
    int SetVolume(float volume);
    int SetPaused(int paused);
    int GetPaused(int &paused);
    // numValues magnitudes of the samples most recently sent to the output, for channel
    // offset 0 (left) or 1 (right); bins evenly spaced from 0 Hz to half the sample rate;
    // a full-scale sine reads about 1.0 in its bin. numValues 1..1024, windowType
    // FMOD_DSP_FFT_WINDOW_TRIANGLE only, else FMOD_ERR_INVALID_PARAM.
    int GetSpectrum(float *values, int numValues, int channelOffset, int windowType);

    struct Impl;
    explicit TFMODChannel(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

class TFMODTag {
public:
    std::string name;
    std::string data; // the raw bytes the stream sent
    // The data up to the first zero byte, one character per byte.
    std::string GetDataAsString() const;
};

} // namespace hvn
