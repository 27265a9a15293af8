// What the engine costs when nothing plays, and how soon sound comes after it was idle.
//   audio_idle_bench idle [seconds]   CPU of the engine's threads with nothing ever played,
//                                     then after a stream played and was released
//   audio_idle_bench first-sound      ms from PlaySound to the tone at the sink's monitor,
//                                     each time after the engine went idle
// Needs the test services (PULSE_SERVER, HALVANE_ICECAST_PORT) and parec.
#include "audio/fmod.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double cpu_seconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
           ru.ru_stime.tv_usec / 1e6;
}

size_t thread_count() {
    size_t n = 0;
    for ([[maybe_unused]] auto &e : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

hvn::TFMODSoundPtr open_ready(hvn::TFMODSystem &system, const std::string &url) {
    auto sound = system.CreateStreamURL(url, hvn::FMOD_NONBLOCKING | hvn::FMOD_2D, nullptr);
    int state = -1, percent = 0, starving = 0, busy = 0;
    auto deadline = Clock::now() + 10s;
    while (sound && sound->GetOpenState(state, percent, starving, busy) == hvn::FMOD_OK &&
           state != hvn::FMOD_OPENSTATE_READY && Clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        system.Update();
    }
    return state == hvn::FMOD_OPENSTATE_READY ? sound : nullptr;
}

// CPU seconds the process spent over secs while this thread sleeps: the engine's threads
// alone (a wake-up of the caller would cost about half a millisecond on a virtual machine).
double idle_cpu(int secs) {
    const double before = cpu_seconds();
    std::this_thread::sleep_for(std::chrono::seconds(secs));
    return cpu_seconds() - before;
}

int run_idle(const std::string &url, int secs) {
    auto system = hvn::TFMODSystem::Create();
    if (!system || system->Init(8, 0, nullptr) != hvn::FMOD_OK) {
        std::fprintf(stderr, "no sound output\n");
        return 1;
    }
    const double reference = 0.05 * secs / 20; // the whole program's goal per 20 s
    const double never = idle_cpu(secs);
    std::printf("engine idle, nothing played:  %.3f s CPU in %d s (reference %.3f, ratio %.2f), "
                "%zu threads\n",
                never, secs, reference, never / reference, thread_count());
    auto sound = open_ready(*system, url);
    auto channel = sound ? system->PlaySound(-1, sound, 0, nullptr) : nullptr;
    if (!channel) {
        std::fprintf(stderr, "the stream did not play\n");
        return 1;
    }
    std::this_thread::sleep_for(3s);
    sound->SoundRelease();
    std::this_thread::sleep_for(500ms);
    system->Update();
    const double stopped = idle_cpu(secs);
    const double afterReference = 0.10 * secs / 20;
    std::printf("engine idle, after a stop:    %.3f s CPU in %d s (reference %.3f, ratio %.2f), "
                "%zu threads\n",
                stopped, secs, afterReference, stopped / afterReference, thread_count());
    system->SystemRelease();
    return 0;
}

// Reads the monitor of the test sink and notes when the first loud sample arrives.
class MonitorWatch {
public:
    MonitorWatch() {
        pipe_ = ::popen("parec -d test_sink.monitor --format=float32le --rate=44100 --channels=2 "
                        "--raw --latency-msec=10 2>/dev/null",
                        "r");
        if (pipe_)
            reader_ = std::thread([this] { read(); });
    }
    ~MonitorWatch() {
        stop_ = true;
        if (reader_.joinable())
            reader_.join();
        if (pipe_)
            ::pclose(pipe_);
    }
    bool ok() const { return pipe_ != nullptr; }
    void arm() { heard_ = Clock::time_point{}, armed_ = true; }
    // Waits until the monitor delivers (false after limit). An idle null sink renders in
    // blocks of up to 2 s and only wakes at the end of one: until then the monitor is silent
    // and a new stream's writes block, which would be timed as the engine's delay.
    bool wait_live(std::chrono::milliseconds limit) const {
        for (auto end = Clock::now() + limit; !live_ && Clock::now() < end;)
            std::this_thread::sleep_for(5ms);
        return live_;
    }
    // When sound was first heard after arm(); the epoch while it was not.
    Clock::time_point heard() const { return heard_; }

private:
    void read() {
        float block[2 * 64];
        while (!stop_ && std::fread(block, sizeof block, 1, pipe_) == 1) {
            live_ = true;
            if (!armed_)
                continue;
            for (float v : block)
                if (std::fabs(v) > 0.01f) {
                    heard_ = Clock::now();
                    armed_ = false;
                    break;
                }
        }
    }
    FILE *pipe_ = nullptr;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> armed_{false};
    std::atomic<bool> live_{false};
    std::atomic<Clock::time_point> heard_{};
};

int run_first_sound(const std::string &url) {
    auto system = hvn::TFMODSystem::Create();
    if (!system || system->Init(8, 0, nullptr) != hvn::FMOD_OK) {
        std::fprintf(stderr, "no sound output\n");
        return 1;
    }
    MonitorWatch watch;
    if (!watch.ok()) {
        std::fprintf(stderr, "parec did not start\n");
        return 1;
    }
    if (!watch.wait_live(5s)) {
        std::fprintf(stderr, "the sink's monitor delivers nothing\n");
        return 1;
    }
    std::vector<double> ms;
    for (int i = 0; i < 5; ++i) {
        auto sound = open_ready(*system, url);
        if (!sound)
            break;
        watch.arm();
        const auto start = Clock::now();
        auto channel = system->PlaySound(-1, sound, 0, nullptr);
        while (channel && watch.heard() == Clock::time_point{} && Clock::now() < start + 2s)
            std::this_thread::sleep_for(1ms);
        if (watch.heard() != Clock::time_point{})
            ms.push_back(std::chrono::duration<double, std::milli>(watch.heard() - start).count());
        sound->SoundRelease();
        std::this_thread::sleep_for(1s); // idle again: the output is closed
        system->Update();
    }
    system->SystemRelease();
    if (ms.empty()) {
        std::fprintf(stderr, "no sound was heard\n");
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("first sound after idle: median %.0f ms, worst %.0f ms of %zu (reference 100 ms, "
                "ratio %.2f; includes the recorder's 10 ms)\n",
                ms[ms.size() / 2], ms.back(), ms.size(), ms.back() / 100);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const char *port = std::getenv("HALVANE_ICECAST_PORT");
    if (!port || !std::getenv("PULSE_SERVER")) {
        std::fprintf(stderr,
                     "start the test services first (PULSE_SERVER, HALVANE_ICECAST_PORT)\n");
        return 2;
    }
    const std::string mode = argc > 1 ? argv[1] : "idle";
    const std::string url = std::string("http://127.0.0.1:") + port + "/live.mp3";
    if (mode == "idle")
        return run_idle(url, argc > 2 ? std::atoi(argv[2]) : 20);
    if (mode == "first-sound")
        return run_first_sound(url);
    std::fprintf(stderr, "usage: audio_idle_bench idle [seconds] | first-sound\n");
    return 2;
}
