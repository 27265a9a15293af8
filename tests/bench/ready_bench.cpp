// Time to ready of a station sent at real-time pace from the first byte (no burst), for each
// bitrate and stream buffer size, against the goal of 3 s. Each case runs alone on a server
// of its own on 127.0.0.1, three times; the median is shown, beside the time the whole
// buffer takes to fill at that bitrate (when a stream waited for a full buffer).
// Usage: ready_bench [runs]
#include "audio/audio_test_support.h"

#include <algorithm>
#include <cstdio>

namespace {

using hvn::test::Clock;

// Seconds from the first byte sent to the engine reporting ready; -1 when it never did.
double time_to_ready(hvn::TFMODSystem &system, const std::string &mp3, int kbps, int bufferKb) {
    std::atomic<int64_t> firstByte{0};
    hvn::test::TestHttpServer server([&](hvn::test::Connection &c) {
        c.read_request();
        c.send(hvn::test::http_ok("audio/mpeg", "icy-br: " + std::to_string(kbps) + "\r\n"));
        firstByte = Clock::now().time_since_epoch().count();
        c.send_paced(mp3, kbps * 125);
    });
    system.SetStreamBufferSize(bufferKb * 1024, hvn::FMOD_TIMEUNIT_RAWBYTES);
    auto sound = system.CreateStreamURL(server.url(), 0x10008, nullptr);
    if (!sound)
        return -1;
    auto s = hvn::test::wait_state(system, *sound, hvn::test::is_ready, std::chrono::seconds(15));
    const auto ready = Clock::now();
    sound->SoundRelease();
    if (!hvn::test::is_ready(s) || firstByte == 0)
        return -1;
    const Clock::time_point first{Clock::duration(firstByte.load())};
    return std::chrono::duration<double>(ready - first).count();
}

} // namespace

int main(int argc, char **argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    auto system = hvn::test::make_system(hvn::FmodOutput::NoSound);
    if (!system) {
        std::fprintf(stderr, "the engine did not start\n");
        return 1;
    }
    constexpr double kGoal = 3.0;
    std::printf(
        "time to ready from the first byte, median of %d (goal %.1f s; ratio = time / goal)\n",
        runs, kGoal);
    std::printf("%8s %8s %10s %8s %14s\n", "kb/s", "buffer", "ready s", "ratio", "full buffer s");
    bool allMet = true;
    for (int kbps : {16, 32, 64, 128, 320}) {
        const bool low = kbps <= 32;
        const std::string mp3 = hvn::test::make_media(
            "sine=frequency=440:sample_rate=" + std::string(low ? "22050" : "44100") + ":d=20",
            std::string("-ac ") + (low ? "1" : "2") + " -c:a libmp3lame -b:a " +
                std::to_string(kbps) + "k -f mp3");
        for (int bufferKb : {16, 32, 48, 64}) {
            std::vector<double> times;
            for (int i = 0; i < runs; ++i)
                times.push_back(time_to_ready(*system, mp3, kbps, bufferKb));
            std::sort(times.begin(), times.end());
            const double median = times[times.size() / 2];
            allMet = allMet && median >= 0 && median < kGoal;
            const double full = bufferKb * 1024.0 / (kbps * 125);
            if (median < 0)
                std::printf("%8d %5d KB %10s %8s %14.2f\n", kbps, bufferKb, "never", "", full);
            else
                std::printf("%8d %5d KB %10.2f %8.2f %14.2f\n", kbps, bufferKb, median,
                            median / kGoal, full);
        }
    }
    system->SystemRelease();
    std::printf("%s\n", allMet ? "every case within the goal" : "SOME CASES MISS THE GOAL");
    return allMet ? 0 : 1;
}
