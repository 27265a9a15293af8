// What comes out of the PulseAudio null sink's monitor while the engine plays.
#include "audio_test_support.h"

#include <cmath>
#include <cstdio>

namespace hvn {
namespace {

using namespace std::chrono_literals;

using test::measure;
using test::record_sink;
using test::Tone;

class PulseOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        HVN_REQUIRE_ENV(pulse, "PULSE_SERVER");
        HVN_REQUIRE_ENV(port, "HALVANE_ICECAST_PORT");
        system_ = test::make_system(FmodOutput::PulseAudio);
        ASSERT_TRUE(system_) << "no PulseAudio output";
        port_ = port;
    }
    void TearDown() override {
        if (system_)
            system_->SystemRelease();
    }
    TFMODChannelPtr play(const std::string &mount) {
        sound_ = system_->CreateStreamURL(test::icecast_url(port_, mount), 0x10008, nullptr);
        if (!sound_)
            return nullptr;
        auto s = test::wait_state(*system_, *sound_, test::is_ready, 5s);
        if (!test::is_ready(s))
            return nullptr;
        return system_->PlaySound(-1, sound_, 0, nullptr);
    }
    TFMODSystemPtr system_;
    TFMODSoundPtr sound_;
    std::string port_;
};

// The icecast tone: lavfi's sine (amplitude 1/8) spread to two channels at -3 dB, as the
// MP3 encoder leaves it (peak 0.084).
constexpr double kToneRms = 0.084 / 1.41421356;

// What the sink's monitor reads once a change of the output has reached it.
bool sounding(double left, double right) {
    return left > kToneRms / 4 && right > kToneRms / 4; // at half volume too
}
bool silent(double left, double right) {
    return left < 1e-4 && right < 1e-4;
}

TEST_F(PulseOutputTest, Output_toneThenVolumeZeroThenPaused_soundThenSilence) {
    auto channel = play("/live.mp3");
    ASSERT_TRUE(channel);
    ASSERT_TRUE(test::sink_reaches(sounding)) << "the tone never reached the sink";
    auto heard = record_sink(1.0);
    ASSERT_GT(heard.size(), 40000u);
    for (int side : {0, 1}) {
        Tone t = measure(heard, side);
        EXPECT_NEAR(t.hz, 440, 5) << "side " << side;
        EXPECT_NEAR(t.rms, kToneRms, kToneRms * 0.1) << "side " << side;
    }

    ASSERT_EQ(channel->SetVolume(0.0f), FMOD_OK);
    ASSERT_TRUE(test::sink_reaches(silent)) << "volume 0 never silenced the sink";
    auto muted = record_sink(0.5);
    ASSERT_GT(muted.size(), 20000u);
    EXPECT_LT(measure(muted, 0).rms, 1e-4);
    EXPECT_LT(measure(muted, 1).rms, 1e-4);

    ASSERT_EQ(channel->SetVolume(0.5f), FMOD_OK);
    ASSERT_EQ(channel->SetPaused(1), FMOD_OK);
    int paused = 0;
    EXPECT_EQ(channel->GetPaused(paused), FMOD_OK);
    EXPECT_EQ(paused, 1);
    int playing = 0;
    channel->IsPlaying(playing);
    EXPECT_EQ(playing, 1); // a paused channel still plays
    ASSERT_TRUE(test::sink_reaches(silent)) << "the pause never silenced the sink";
    auto held = record_sink(0.5);
    EXPECT_LT(measure(held, 0).rms, 1e-4);

    ASSERT_EQ(channel->SetPaused(0), FMOD_OK);
    ASSERT_TRUE(test::sink_reaches(sounding)) << "the tone never came back after the pause";
    auto half = record_sink(0.5);
    EXPECT_NEAR(measure(half, 0).rms, kToneRms / 2, kToneRms * 0.1);
}

TEST_F(PulseOutputTest, Output_leftOnlyMount_rightChannelSilent) {
    auto channel = play("/left.mp3");
    ASSERT_TRUE(channel);
    ASSERT_TRUE(test::sink_reaches([](double left, double) { return left > kToneRms / 2; }))
        << "the tone never reached the sink";
    auto heard = record_sink(0.5);
    // pan=stereo|c0=c0 keeps the mono sine at its full 1/8.
    EXPECT_NEAR(measure(heard, 0).hz, 440, 5);
    EXPECT_GT(measure(heard, 0).rms, kToneRms);
    EXPECT_LT(measure(heard, 1).rms, 1e-3);
}

// Sound streams of this process at the PulseAudio server.
int our_server_streams() {
    FILE *p = ::popen("pactl list sink-inputs 2>/dev/null", "r");
    if (!p)
        return -1;
    const std::string mine = "application.process.id = \"" + std::to_string(::getpid()) + "\"";
    int n = 0;
    char line[512];
    while (std::fgets(line, sizeof line, p))
        n += std::string(line).find(mine) != std::string::npos;
    ::pclose(p);
    return n;
}

// Context switches of each of the engine's threads so far.
std::map<std::string, long> engine_switches() {
    std::map<std::string, long> switches;
    for (auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name.rfind("hvn-", 0) != 0)
            continue;
        std::ifstream status(task.path() / "status");
        long &n = switches[task.path().filename().string()];
        for (std::string line; std::getline(status, line);)
            if (line.find("voluntary_ctxt_switches:") != std::string::npos)
                n += std::stol(line.substr(line.find(':') + 1));
    }
    return switches;
}

// With nothing playing the engine holds no stream at the sound server and none of its
// threads wakes; sound comes back as soon as a channel plays again.
TEST_F(PulseOutputTest, Output_nothingPlaying_noServerStreamNoWakeupsThenSoundAgain) {
    // How often the engine's threads woke in a second (a thread that ended meanwhile did
    // not wake; one that started did).
    auto idle = [] {
        auto before = engine_switches();
        std::this_thread::sleep_for(1s);
        long woke = 0;
        for (auto &[thread, n] : engine_switches())
            woke += n - before[thread];
        return woke;
    };
    EXPECT_EQ(our_server_streams(), 0); // initialised, nothing ever played
    EXPECT_EQ(idle(), 0);
    for (int round = 0; round < 2; ++round) {
        auto channel = play("/live.mp3");
        ASSERT_TRUE(channel);
        EXPECT_TRUE(test::eventually([] { return our_server_streams() == 1; }))
            << "round " << round << ": " << our_server_streams() << " streams at the server";
        ASSERT_TRUE(test::sink_reaches(sounding)) << "round " << round;
        auto heard = record_sink(0.5);
        EXPECT_NEAR(measure(heard, 0).rms, kToneRms, kToneRms * 0.1) << "round " << round;
        ASSERT_EQ(sound_->SoundRelease(), FMOD_OK);
        system_->Update();
        EXPECT_TRUE(test::eventually([] { return our_server_streams() == 0; }))
            << "round " << round << ": " << our_server_streams() << " streams at the server";
        EXPECT_EQ(idle(), 0) << "round " << round;
    }
}

// ALSA's file plugin takes frames as fast as they come: the mixer must still keep to real
// time, and what it writes is the tone.
TEST(AlsaOutputTest, Output_alsaFileDevice_toneWrittenAtRealTimePace) {
    auto dir = std::filesystem::temp_directory_path() / ("hvn-alsa-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto raw = dir / "out.raw";
    std::ofstream(dir / "asound.conf")
        << "</usr/share/alsa/alsa.conf>\npcm.!default { type file; slave.pcm \"null\"; file \""
        << raw.string() << "\"; format \"raw\" }\n";
    // Without a sound server ALSA's default device is not redirected to PulseAudio.
    ::setenv("ALSA_CONFIG_PATH", (dir / "asound.conf").c_str(), 1);
    const char *pulse = std::getenv("PULSE_SERVER");
    const std::string savedPulse = pulse ? pulse : "";
    ::setenv("PULSE_SERVER", "unix:/nonexistent/halvane-no-server", 1);
    {
        test::TestHttpServer server([](test::Connection &c) {
            test::serve_mp3(c, test::sine_mp3());
            c.hold();
        });
        auto system = test::make_system(FmodOutput::Alsa);
        ASSERT_TRUE(system);
        auto sound = system->CreateStreamURL(server.url(), 0x10008, nullptr);
        ASSERT_TRUE(test::is_ready(test::wait_state(*system, *sound, test::is_ready, 3s)));
        ASSERT_TRUE(system->PlaySound(-1, sound, 0, nullptr));
        std::this_thread::sleep_for(1s);
        system->SystemRelease();
    }
    ::unsetenv("ALSA_CONFIG_PATH");
    if (pulse)
        ::setenv("PULSE_SERVER", savedPulse.c_str(), 1);
    else
        ::unsetenv("PULSE_SERVER");
    std::ifstream in(raw, std::ios::binary);
    std::vector<float> frames(static_cast<size_t>(3 * 44100) * 2);
    in.read(reinterpret_cast<char *>(frames.data()), frames.size() * sizeof(float));
    frames.resize(static_cast<size_t>(in.gcount()) / sizeof(float));
    std::filesystem::remove_all(dir);
    const double secondsWritten = frames.size() / 2 / 44100.0;
    EXPECT_GT(secondsWritten, 0.9);
    EXPECT_LT(secondsWritten, 1.5); // about a second, not as fast as the file takes it
    Tone t = measure(frames, 0);
    EXPECT_NEAR(t.hz, 440, 5);
    EXPECT_NEAR(t.rms, 0.99 / std::sqrt(2.0), 0.1);
}

} // namespace
} // namespace hvn
