// CPU time and peak memory of playing a local 128 kb/s MP3 stream (icecast /live.mp3) for
// 20 s through the engine on PulseAudio, side by side with mpv playing the same stream.
// Needs the test services (PULSE_SERVER, HALVANE_ICECAST_PORT); mpv and /usr/bin/time for
// the comparison. Usage: audio_bench [seconds]
#include "audio/fmod.h"

#include <sys/resource.h>
#include <sys/time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

double seconds(const timeval &t) {
    return t.tv_sec + t.tv_usec / 1e6;
}

struct Usage {
    double cpu = 0;  // user + system, seconds
    long peakKb = 0; // maximum resident set
};

Usage self_usage() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return {seconds(ru.ru_utime) + seconds(ru.ru_stime), ru.ru_maxrss};
}

// Plays url through the engine for the given time; false when it would not play.
bool play_engine(const std::string &url, int secs) {
    auto system = hvn::TFMODSystem::Create();
    if (!system || system->Init(8, 0, nullptr) != hvn::FMOD_OK) {
        std::fprintf(stderr, "no sound output\n");
        return false;
    }
    auto sound = system->CreateStreamURL(url, hvn::FMOD_NONBLOCKING | hvn::FMOD_2D, nullptr);
    int state = -1, percent = 0, starving = 0, busy = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // Polled at the program's 4 Hz.
    while (sound && sound->GetOpenState(state, percent, starving, busy) == hvn::FMOD_OK &&
           state != hvn::FMOD_OPENSTATE_READY && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        system->Update();
    }
    auto channel = system->PlaySound(-1, sound, 0, nullptr);
    if (!channel) {
        std::fprintf(stderr, "the stream did not play (state %d)\n", state);
        return false;
    }
    float values[64];
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(secs);
    // What the program does meanwhile: a spectrum read of both sides at 30 Hz.
    while (std::chrono::steady_clock::now() < end) {
        channel->GetSpectrum(values, 64, 0, hvn::FMOD_DSP_FFT_WINDOW_TRIANGLE);
        channel->GetSpectrum(values, 64, 1, hvn::FMOD_DSP_FFT_WINDOW_TRIANGLE);
        system->Update();
        std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
    sound->SoundRelease();
    system->SystemRelease();
    return true;
}

// mpv under /usr/bin/time -v; its CPU seconds and peak RSS from time's report.
bool measure_mpv(const std::string &url, int secs, Usage &out) {
    const std::string cmd = "/usr/bin/time -v mpv --no-config --no-video --ao=pulse --really-quiet "
                            "--length=" +
                            std::to_string(secs) + " '" + url + "' 2>&1 >/dev/null";
    FILE *p = ::popen(cmd.c_str(), "r");
    if (!p)
        return false;
    char line[512];
    double user = -1, sys = -1;
    while (std::fgets(line, sizeof line, p)) {
        std::sscanf(line, " User time (seconds): %lf", &user);
        std::sscanf(line, " System time (seconds): %lf", &sys);
        std::sscanf(line, " Maximum resident set size (kbytes): %ld", &out.peakKb);
    }
    int status = ::pclose(p);
    out.cpu = user + sys;
    return status == 0 && user >= 0 && sys >= 0;
}

} // namespace

int main(int argc, char **argv) {
    const char *port = std::getenv("HALVANE_ICECAST_PORT");
    if (!port || !std::getenv("PULSE_SERVER")) {
        std::fprintf(stderr,
                     "start the test services first (PULSE_SERVER, HALVANE_ICECAST_PORT)\n");
        return 2;
    }
    const int secs = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::string url = std::string("http://127.0.0.1:") + port + "/live.mp3";
    Usage before = self_usage();
    if (!play_engine(url, secs))
        return 1;
    Usage engine = self_usage();
    engine.cpu -= before.cpu;
    std::printf("%-8s %6s s %12s\n", "player", "cpu", "peak RSS");
    std::printf("%-8s %8.2f %9ld kB   (%d s of %s)\n", "halvane", engine.cpu, engine.peakKb, secs,
                url.c_str());
    Usage mpv;
    if (measure_mpv(url, secs, mpv))
        std::printf("%-8s %8.2f %9ld kB\n", "mpv", mpv.cpu, mpv.peakKb);
    else
        std::printf("mpv: not measured (needs mpv and /usr/bin/time)\n");
    return 0;
}
