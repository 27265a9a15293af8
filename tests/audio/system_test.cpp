// The system, stream and channel calls as the program relies on them.
#include "audio_test_support.h"

#include <optional>

namespace hvn {
namespace {

using namespace std::chrono_literals;

TEST(SystemTest, ErrorString_codes_ownTextsAndFallback) {
    EXPECT_EQ(FMODErrorString(FMOD_OK), "No errors.");
    EXPECT_EQ(FMODErrorString(96), "Unknown error.");
    EXPECT_EQ(FMODErrorString(1000), "Unknown error.");
    EXPECT_EQ(FMODErrorString(-1), "Unknown error.");
    std::set<std::string> texts;
    for (int code = 1; code <= FMOD_ERR_INITIALIZED; ++code) {
        std::string text = FMODErrorString(code);
        EXPECT_NE(text, "No errors.") << code;
        EXPECT_NE(text, "Unknown error.") << code;
        EXPECT_TRUE(texts.insert(text).second) << "text used twice: " << text;
    }
}

TEST(SystemTest, System_lifecycle_versionBufferSizeAndReleasedCalls) {
    auto system = TFMODSystem::Create();
    ASSERT_TRUE(system);
    EXPECT_EQ(system->CreateStreamURL("http://127.0.0.1:1/", 0x10008, nullptr), nullptr);
    EXPECT_EQ(system->Update(), FMOD_ERR_UNINITIALIZED);
    ASSERT_EQ(system->SetOutput(FmodOutput::NoSound), FMOD_OK);
    EXPECT_EQ(system->Init(0, 0, nullptr), FMOD_ERR_INVALID_PARAM);
    ASSERT_EQ(system->Init(8, 0, nullptr), FMOD_OK);
    EXPECT_EQ(system->Init(8, 0, nullptr), FMOD_ERR_INITIALIZED);
    EXPECT_EQ(system->Update(), FMOD_OK);

    unsigned version = 0;
    EXPECT_EQ(system->GetVersion(version), FMOD_OK);
    EXPECT_EQ(version, 0x44418u);

    int size = 0, unit = 0;
    EXPECT_EQ(system->GetStreamBufferSize(size, unit), FMOD_OK);
    EXPECT_EQ(size, 16384);
    EXPECT_EQ(unit, FMOD_TIMEUNIT_RAWBYTES);
    EXPECT_EQ(system->SetStreamBufferSize(65536, unit), FMOD_OK);
    EXPECT_EQ(system->SetStreamBufferSize(65536, 1), FMOD_ERR_INVALID_PARAM); // not bytes
    EXPECT_EQ(system->SetStreamBufferSize(0, unit), FMOD_ERR_INVALID_PARAM);
    system->GetStreamBufferSize(size, unit);
    EXPECT_EQ(size, 65536);

    test::TestHttpServer server([](test::Connection &c) { c.hold(); });
    auto sound = system->CreateStreamURL(server.url(), 0x10008, nullptr);
    ASSERT_TRUE(sound);
    EXPECT_EQ(system->SystemRelease(), FMOD_OK);
    EXPECT_EQ(system->SystemRelease(), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(system->Update(), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(system->CreateStreamURL(server.url(), 0x10008, nullptr), nullptr);
    test::OpenState s = test::open_state(*sound);
    EXPECT_EQ(s.result, FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(sound->GetTag("icy-br", 0), nullptr);
}

// Sets an environment variable for the scope, restoring the old value.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const std::string &value) : name_(name) {
        if (const char *old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char *name_;
    std::optional<std::string> old_;
};

TEST(SystemTest, Init_outputs_pulseWhenItAnswersElseAlsaElseError) {
    ScopedEnv noPulse("PULSE_SERVER", "unix:/nonexistent/halvane-no-server");
    auto pulse = TFMODSystem::Create();
    ASSERT_EQ(pulse->SetOutput(FmodOutput::PulseAudio), FMOD_OK);
    EXPECT_EQ(pulse->Init(8, 0, nullptr), FMOD_ERR_OUTPUT_INIT);

    // ALSA's default device made a file (never written here: nothing plays).
    auto dir = std::filesystem::temp_directory_path() / ("hvn-alsa-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "asound.conf")
        << "</usr/share/alsa/alsa.conf>\npcm.!default { type file; slave.pcm \"null\"; file \""
        << (dir / "out.raw").string() << "\"; format \"raw\" }\n";
    {
        ScopedEnv alsa("ALSA_CONFIG_PATH", (dir / "asound.conf").string());
        auto fallback = TFMODSystem::Create();
        EXPECT_EQ(fallback->Init(8, 0, nullptr), FMOD_OK); // Auto: no PulseAudio, so ALSA
        fallback->SystemRelease();
    }
    {
        ScopedEnv alsa("ALSA_CONFIG_PATH", (dir / "missing.conf").string());
        auto none = TFMODSystem::Create();
        EXPECT_EQ(none->Init(8, 0, nullptr), FMOD_ERR_OUTPUT_INIT); // neither opens
    }
    std::filesystem::remove_all(dir);
}

TEST(SystemTest, PlaySound_moreStreamsThanChannels_channelAllocError) {
    auto system = TFMODSystem::Create();
    system->SetOutput(FmodOutput::NoSound);
    ASSERT_EQ(system->Init(1, 0, nullptr), FMOD_OK);
    test::TestHttpServer server([](test::Connection &c) {
        test::serve_mp3(c, test::sine_mp3());
        c.hold();
    });
    auto a = system->CreateStreamURL(server.url(), 0x10008, nullptr);
    auto b = system->CreateStreamURL(server.url(), 0x10008, nullptr);
    ASSERT_TRUE(test::is_ready(test::wait_state(*system, *a, test::is_ready, 3s)));
    ASSERT_TRUE(test::is_ready(test::wait_state(*system, *b, test::is_ready, 3s)));
    auto first = system->PlaySound(-1, a, 0, nullptr);
    ASSERT_TRUE(first);
    EXPECT_EQ(system->PlaySound(-1, b, 0, nullptr), nullptr); // the one channel is taken
    // Releasing the stream frees its channel; the channel's calls then fail harmlessly.
    a->SoundRelease();
    int playing = 1;
    EXPECT_EQ(first->IsPlaying(playing), FMOD_OK);
    EXPECT_EQ(playing, 0);
    EXPECT_EQ(first->SetVolume(1.0f), FMOD_ERR_INVALID_HANDLE);
    float values[64];
    EXPECT_EQ(first->GetSpectrum(values, 64, 0, 1), FMOD_ERR_INVALID_HANDLE);
    auto second = system->PlaySound(-1, b, 0, nullptr);
    ASSERT_TRUE(second);
    second->IsPlaying(playing);
    EXPECT_EQ(playing, 1);
    system->SystemRelease();
    EXPECT_EQ(second->IsPlaying(playing), FMOD_ERR_INVALID_HANDLE);
}

TEST(SystemTest, StreamBufferSize_largerBuffer_percentOfIt) {
    auto system = test::make_system(FmodOutput::NoSound);
    ASSERT_TRUE(system);
    system->SetStreamBufferSize(65536, FMOD_TIMEUNIT_RAWBYTES);
    const std::string part = test::sine_mp3().substr(0, 50000);
    std::atomic<bool> sent{false};
    test::TestHttpServer server([&](test::Connection &c) {
        test::serve_mp3(c, part);
        sent = true;
        c.hold();
    });
    auto sound = system->CreateStreamURL(server.url(), 0x10008, nullptr);
    // Ready long before 64 KB are in; 50000 bytes less what was decoded fill it part way,
    // and no further once all of them were sent.
    test::OpenState s = test::wait_state(
        *system, *sound, [](const test::OpenState &o) { return o.percent > 40; }, 2s);
    ASSERT_TRUE(test::eventually([&] { return sent.load(); }));
    for (auto end = test::Clock::now() + 300ms; test::Clock::now() < end;) {
        system->Update();
        s = test::open_state(*sound);
        ASSERT_EQ(s.state, FMOD_OPENSTATE_READY);
        ASSERT_GT(s.percent, 40);
        ASSERT_LT(s.percent, 100);
        std::this_thread::sleep_for(10ms);
    }
}

} // namespace
} // namespace hvn
