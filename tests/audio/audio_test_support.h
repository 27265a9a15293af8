#pragma once
// Shared by the audio tests: the test services, a small HTTP server of the tests' own on
// 127.0.0.1, media made with ffmpeg, and waiting on a stream's open state.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/fmod.h"

namespace hvn::test {

// A service variable, or "" after failing (HALVANE_TEST_SERVICES=1) or skipping the test.
#define HVN_REQUIRE_ENV(var, name)                                                                 \
    std::string var;                                                                               \
    do {                                                                                           \
        const char *v_ = std::getenv(name);                                                        \
        if (!v_ || !*v_) {                                                                         \
            const char *all_ = std::getenv("HALVANE_TEST_SERVICES");                               \
            if (all_ && std::string(all_) == "1")                                                  \
                FAIL() << name << " is not set";                                                   \
            GTEST_SKIP() << name << " is not set (start the test services)";                       \
        }                                                                                          \
        var = v_;                                                                                  \
    } while (0)

inline std::string icecast_url(const std::string &port, const std::string &mount) {
    return "http://127.0.0.1:" + port + mount;
}

using Clock = std::chrono::steady_clock;

struct OpenState {
    int result = -1, state = -1, percent = 0, starving = 0, diskBusy = 0;
};

inline OpenState open_state(TFMODSound &sound) {
    OpenState s;
    s.result = sound.GetOpenState(s.state, s.percent, s.starving, s.diskBusy);
    return s;
}

// Polls the stream as the program does (calling Update between polls) until done(state)
// holds or the time is up; returns the last state seen and every distinct state on the way.
inline OpenState wait_state(TFMODSystem &system, TFMODSound &sound,
                            const std::function<bool(const OpenState &)> &done,
                            std::chrono::milliseconds limit, std::vector<int> *seen = nullptr) {
    auto end = Clock::now() + limit;
    OpenState s;
    for (;;) {
        system.Update();
        s = open_state(sound);
        if (seen && (seen->empty() || seen->back() != s.state))
            seen->push_back(s.state);
        if (done(s) || Clock::now() >= end)
            return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Polls done() every 10 ms until it holds; false once limit has passed without it.
inline bool eventually(const std::function<bool()> &done,
                       std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    for (auto end = Clock::now() + limit;;
         std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        if (done())
            return true;
        if (Clock::now() >= end)
            return false;
    }
}

// Waits up to 3 s for the channel's spectrum on `side` to peak in `band` at a level in
// [low, high]: the sound has gone through the mixer and filled the spectrum's history.
inline testing::AssertionResult spectrum_peaks(TFMODChannel &channel, int side, int band, float low,
                                               float high) {
    float v[64] = {};
    int peak = 0;
    if (eventually([&] {
            if (channel.GetSpectrum(v, 64, side, FMOD_DSP_FFT_WINDOW_TRIANGLE) != FMOD_OK)
                return false;
            peak = static_cast<int>(std::max_element(v, v + 64) - v);
            return peak == band && v[band] >= low && v[band] <= high;
        }))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "side " << side << " peaks in band " << peak << " at " << v[peak] << ", not in band "
           << band << " at " << low << " to " << high << " (" << v[band] << ")";
}

inline bool is_ready(const OpenState &s) {
    return s.result == FMOD_OK && s.state == FMOD_OPENSTATE_READY;
}
inline bool is_error(const OpenState &s) {
    return s.result != FMOD_OK || s.state == FMOD_OPENSTATE_ERROR;
}

// A system on the given output, initialised with the program's 8 channels.
inline TFMODSystemPtr make_system(FmodOutput output) {
    auto system = TFMODSystem::Create();
    if (!system || system->SetOutput(output) != FMOD_OK || system->Init(8, 0, nullptr) != FMOD_OK)
        return nullptr;
    return system;
}

inline int run_command(const std::string &command) {
    return std::system(command.c_str());
}

// The bytes ffmpeg writes for "ffmpeg -f lavfi -i SOURCE OUTPUT_ARGS file", made once per
// run for each set of arguments.
inline std::string make_media(const std::string &source, const std::string &outputArgs) {
    static std::mutex mutex;
    static std::map<std::string, std::string> made;
    std::lock_guard lock(mutex);
    const std::string key = source + "|" + outputArgs;
    if (auto it = made.find(key); it != made.end())
        return it->second;
    auto dir = std::filesystem::temp_directory_path() /
               ("hvn-audio-" + std::to_string(::getpid()) + "-" + std::to_string(made.size()));
    std::filesystem::create_directories(dir);
    auto file = dir / "media";
    run_command("ffmpeg -nostdin -loglevel error -y -f lavfi -i '" + source + "' " + outputArgs +
                " " + file.string());
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::filesystem::remove_all(dir);
    return made[key] = ss.str();
}

// A 440 Hz sine at full scale (0.99) on both channels, seconds long, at rate.
inline std::string full_scale_sine(int seconds, int rate = 44100) {
    return "aevalsrc=0.99*sin(2*PI*440*t)|0.99*sin(2*PI*440*t):s=" + std::to_string(rate) +
           ":d=" + std::to_string(seconds);
}

// A 128 kb/s stereo MP3 of the full-scale sine, 6 s long.
inline const std::string &sine_mp3() {
    static const std::string bytes =
        make_media(full_scale_sine(6), "-c:a libmp3lame -b:a 128k -f mp3");
    return bytes;
}

// One accepted connection of the test server.
class Connection {
public:
    Connection(int fd, std::function<bool()> stopping) : fd_(fd), stopping_(std::move(stopping)) {}
    ~Connection() { ::close(fd_); }
    // The request head (up to the blank line).
    std::string read_request() {
        std::string head;
        char c;
        while (head.find("\r\n\r\n") == std::string::npos && ::recv(fd_, &c, 1, 0) == 1)
            head += c;
        return head;
    }
    bool send(const std::string &bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    // Sends bytes at bytesPerSecond from the first byte on, no burst, the way a station
    // sends in real time (in 20 ms steps), each step its own chunk when chunked; false when
    // the peer left or the server stops.
    bool send_paced(const std::string &bytes, int bytesPerSecond, bool chunked = false) {
        const auto start = std::chrono::steady_clock::now();
        size_t sent = 0;
        while (sent < bytes.size() && !stopping_()) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const size_t due = std::min(bytes.size(), size_t(elapsed * bytesPerSecond) + 1);
            if (due > sent && !send(chunked ? chunk(bytes.substr(sent, due - sent))
                                            : bytes.substr(sent, due - sent)))
                return false;
            sent = std::max(sent, due);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return sent == bytes.size() && (!chunked || send("0\r\n\r\n"));
    }
    // One chunk of a chunked body: its size in hex, the bytes, and CR LF.
    static std::string chunk(const std::string &bytes) {
        char size[20];
        std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
        return size + bytes + "\r\n";
    }
    // Keeps the connection open without sending until the server stops or the peer leaves.
    void hold() {
        while (!stopping_()) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char c;
                if (::recv(fd_, &c, 1, MSG_DONTWAIT) <= 0)
                    return;
            }
        }
    }

private:
    int fd_;
    std::function<bool()> stopping_;
};

// An HTTP server on 127.0.0.1 that runs handler on its own thread for every connection.
class TestHttpServer {
public:
    using Handler = std::function<void(Connection &)>;
    explicit TestHttpServer(Handler handler, bool accept = true) : handler_(std::move(handler)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        ::listen(listen_, 16);
        socklen_t len = sizeof addr;
        ::getsockname(listen_, reinterpret_cast<sockaddr *>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        // Not accepting: connections wait in the backlog, a server that never answers.
        if (accept)
            acceptor_ = std::thread([this] { accept_loop(); });
    }
    ~TestHttpServer() {
        stopping_ = true;
        if (acceptor_.joinable())
            acceptor_.join();
        for (auto &t : workers_)
            t.join();
        ::close(listen_);
    }
    std::string url(const std::string &path = "/stream") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int connections() const { return connections_; }

private:
    void accept_loop() {
        while (!stopping_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0)
                continue;
            ++connections_;
            workers_.emplace_back([this, fd] {
                Connection c(fd, [this] { return stopping_.load(); });
                handler_(c);
            });
        }
    }

    Handler handler_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

// Serves body as a 200 response of unknown length; the caller then closes or holds.
inline void serve_body(Connection &c, const std::string &body,
                       const std::string &contentType = "audio/mpeg") {
    c.read_request();
    c.send("HTTP/1.0 200 OK\r\nContent-Type: " + contentType + "\r\nicy-br: 128\r\n\r\n");
    c.send(body);
}
inline void serve_mp3(Connection &c, const std::string &body) {
    serve_body(c, body);
}

// The test sink's monitor as interleaved stereo float frames, read from parec's output
// (pclose ends it); nullptr when parec cannot start.
inline FILE *open_monitor(int latencyMs) {
    const std::string command =
        "parec -d test_sink.monitor --format=float32le --rate=44100 --channels=2 --raw "
        "--latency-msec=" +
        std::to_string(latencyMs) + " 2>/dev/null";
    return ::popen(command.c_str(), "r");
}

// Interleaved stereo float frames recorded from the test sink's monitor.
inline std::vector<float> record_sink(double seconds) {
    FILE *p = open_monitor(20);
    if (!p)
        return {};
    std::vector<float> frames(static_cast<size_t>(seconds * 44100) * 2);
    size_t got = std::fread(frames.data(), sizeof(float), frames.size(), p);
    ::pclose(p); // parec ends on its next write to the closed pipe
    frames.resize(got);
    return frames;
}

struct Tone {
    double rms = 0;
    double hz = 0;
};

// RMS over the whole recording; the frequency from the rising zero crossings, between the
// first and the last (the monitor may start with a little silence).
inline Tone measure(const std::vector<float> &frames, int side) {
    Tone t;
    size_t n = frames.size() / 2;
    size_t rises = 0, first = 0, last = 0;
    for (size_t i = 0; i < n; ++i) {
        double v = frames[2 * i + side];
        t.rms += v * v;
        if (i > 0 && frames[2 * (i - 1) + side] < 0 && v >= 0) {
            if (rises++ == 0)
                first = i;
            last = i;
        }
    }
    if (n > 0)
        t.rms = std::sqrt(t.rms / n);
    if (rises > 1)
        t.hz = (rises - 1) * 44100.0 / (last - first);
    return t;
}

// Records the sink's monitor in 0.1 s pieces until the RMS of one piece on the left and
// right satisfies done (the sound reached the monitor, or left it); false after limit.
inline testing::AssertionResult
sink_reaches(const std::function<bool(double, double)> &done,
             std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    double left = -1, right = -1;
    if (eventually(
            [&] {
                const std::vector<float> piece = record_sink(0.1);
                if (piece.size() < 8000)
                    return false;
                left = measure(piece, 0).rms;
                right = measure(piece, 1).rms;
                return done(left, right);
            },
            limit))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "the sink's monitor last read RMS " << left << " left, " << right << " right";
}

// The path of a GET request head ("" when there is none).
inline std::string request_path(const std::string &head) {
    const size_t start = head.find(' ');
    if (start == std::string::npos)
        return "";
    return head.substr(start + 1, head.find(' ', start + 1) - start - 1);
}

// Serves the files of dir by request path (404 for anything else), as a web server does.
inline void serve_folder(Connection &c, const std::filesystem::path &dir) {
    const std::string path = request_path(c.read_request());
    const std::filesystem::path file = dir / std::filesystem::path(path).filename();
    std::ifstream in(file, std::ios::binary);
    if (path.empty() || !in) {
        c.send("HTTP/1.0 404 Not Found\r\n\r\n");
        return;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string ext = file.extension().string();
    const std::string type = ext == ".m3u8"  ? "application/vnd.apple.mpegurl"
                             : ext == ".ts"  ? "video/mp2t"
                             : ext == ".aac" ? "audio/aac"
                             : ext == ".mp3" ? "audio/mpeg"
                                             : "application/octet-stream";
    c.send("HTTP/1.0 200 OK\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(ss.str().size()) + "\r\n\r\n" + ss.str());
}

// An ICY body: the sound with a metadata block after every metaint bytes, blocks[i] (padded
// to a multiple of 16) after the i-th run of sound, empty blocks after the rest.
inline std::string icy_body(const std::string &sound, size_t metaint,
                            const std::vector<std::string> &blocks) {
    std::string out;
    size_t i = 0;
    for (size_t pos = 0; pos + metaint <= sound.size(); pos += metaint, ++i) {
        out += sound.substr(pos, metaint);
        std::string block = i < blocks.size() ? blocks[i] : "";
        block.resize(std::min<size_t>((block.size() + 15) / 16 * 16, 255 * 16), '\0');
        out += static_cast<char>(block.size() / 16);
        out += block;
    }
    return out;
}

// An ICY stream: the head, then the MP3 with a metadata block after every metaint bytes.
inline std::string icy_stream(const std::string &mp3, size_t metaint,
                              const std::vector<std::string> &blocks) {
    return "ICY 200 OK\r\nContent-Type: audio/mpeg\r\nicy-br:  64 \r\nicy-metaint: " +
           std::to_string(metaint) + "\r\n\r\n" + icy_body(mp3, metaint, blocks);
}

inline std::string http_ok(const std::string &contentType, const std::string &extra = "") {
    return "HTTP/1.0 200 OK\r\nContent-Type: " + contentType + "\r\n" + extra + "\r\n";
}

} // namespace hvn::test
