// Releasing a stream returns at once in every state, and the engine stays usable.
#include "audio_test_support.h"

namespace hvn {
namespace {

using namespace std::chrono_literals;

struct ReleaseCase {
    const char *name;
    int waitForState; // -1: release at once
    bool play;
};

class ReleaseTest : public ::testing::TestWithParam<ReleaseCase> {};

TEST_P(ReleaseTest, SoundRelease_anyState_within100msAndRepeatable) {
    const ReleaseCase &c = GetParam();
    auto system = test::make_system(FmodOutput::NoSound);
    ASSERT_TRUE(system);
    const std::string part = test::sine_mp3();
    // Connecting: the server never accepts. Buffering: it sends a little, then stalls.
    // Ready and playing: it sends the whole file and then stalls.
    const bool accept = c.waitForState != FMOD_OPENSTATE_CONNECTING;
    const size_t bytes = c.waitForState == FMOD_OPENSTATE_BUFFERING ? 4000 : part.size();
    test::TestHttpServer server(
        [&](test::Connection &conn) {
            test::serve_mp3(conn, part.substr(0, bytes));
            conn.hold();
        },
        accept);
    auto sound = system->CreateStreamURL(server.url(), 0x10008, nullptr);
    ASSERT_TRUE(sound);
    TFMODChannelPtr channel;
    if (c.waitForState >= 0) {
        test::OpenState s = test::wait_state(
            *system, *sound, [&](const test::OpenState &o) { return o.state == c.waitForState; },
            3s);
        ASSERT_EQ(s.state, c.waitForState);
    }
    if (c.play) {
        channel = system->PlaySound(-1, sound, 0, nullptr);
        ASSERT_TRUE(channel);
        ASSERT_TRUE(test::spectrum_peaks(*channel, 0, 1, 0.5f, 1.5f)) << "not heard playing";
    }
    auto start = test::Clock::now();
    EXPECT_EQ(sound->SoundRelease(), FMOD_OK);
    EXPECT_LT(test::Clock::now() - start, 100ms);
    EXPECT_EQ(sound->SoundRelease(), FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(test::open_state(*sound).result, FMOD_ERR_INVALID_HANDLE);
    EXPECT_EQ(sound->GetTag("icy-br", 0), nullptr);
    EXPECT_EQ(system->PlaySound(-1, sound, 0, nullptr), nullptr);
    if (channel) {
        int playing = 1;
        channel->IsPlaying(playing);
        EXPECT_EQ(playing, 0);
    }
    EXPECT_EQ(system->Update(), FMOD_OK);
    start = test::Clock::now();
    EXPECT_EQ(system->SystemRelease(), FMOD_OK);
    EXPECT_LT(test::Clock::now() - start, 500ms);
}

INSTANTIATE_TEST_SUITE_P(
    States, ReleaseTest,
    ::testing::Values(ReleaseCase{"at_once", -1, false},
                      ReleaseCase{"connecting", FMOD_OPENSTATE_CONNECTING, false},
                      ReleaseCase{"buffering", FMOD_OPENSTATE_BUFFERING, false},
                      ReleaseCase{"ready", FMOD_OPENSTATE_READY, false},
                      ReleaseCase{"playing", FMOD_OPENSTATE_READY, true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReleaseManyTest, CreateAndRelease_manyStreams_threadsAreReaped) {
    auto system = test::make_system(FmodOutput::NoSound);
    ASSERT_TRUE(system);
    test::TestHttpServer server([](test::Connection &c) {
        test::serve_mp3(c, test::sine_mp3().substr(0, 8000));
        c.hold();
    });
    for (int i = 0; i < 30; ++i) {
        auto sound = system->CreateStreamURL(server.url(), 0x10008, nullptr);
        ASSERT_TRUE(sound);
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(sound->SoundRelease(), FMOD_OK);
        system->Update();
    }
    auto start = test::Clock::now();
    system->SystemRelease();
    EXPECT_LT(test::Clock::now() - start, 500ms);
}

} // namespace
} // namespace hvn
