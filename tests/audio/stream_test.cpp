// Streams from the icecast test server, through the real engine on the null output.
#include "audio_test_support.h"

#include <algorithm>

namespace hvn {
namespace {

using namespace std::chrono_literals;
using test::OpenState;

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        system_ = test::make_system(FmodOutput::NoSound);
        ASSERT_TRUE(system_);
    }
    void TearDown() override {
        if (system_)
            system_->SystemRelease();
    }
    TFMODSystemPtr system_;
};

struct MountCase {
    const char *mount;
    const char *bitrate;
};

class StreamMountTest : public StreamTest, public ::testing::WithParamInterface<MountCase> {};

TEST_P(StreamMountTest, Stream_liveMount_connectsBuffersThenReadyAndPlays) {
    HVN_REQUIRE_ENV(port, "HALVANE_ICECAST_PORT");
    auto sound = system_->CreateStreamURL(test::icecast_url(port, GetParam().mount),
                                          FMOD_NONBLOCKING | FMOD_2D, nullptr);
    ASSERT_TRUE(sound);
    std::vector<int> seen;
    auto start = test::Clock::now();
    OpenState s = test::wait_state(*system_, *sound, test::is_ready, 5s, &seen);
    ASSERT_TRUE(test::is_ready(s)) << "state " << s.state << " result " << s.result;
    EXPECT_LT(test::Clock::now() - start, 3s);
    EXPECT_GT(s.percent, 0);
    // Connecting and buffering may pass between two polls, but never out of order.
    std::vector<int> order = {FMOD_OPENSTATE_CONNECTING, FMOD_OPENSTATE_BUFFERING,
                              FMOD_OPENSTATE_READY};
    auto it = order.begin();
    for (int state : seen) {
        it = std::find(it, order.end(), state);
        ASSERT_NE(it, order.end()) << "unexpected state " << state;
    }
    EXPECT_EQ(seen.back(), FMOD_OPENSTATE_READY);

    auto br = sound->GetTag("icy-br", 0);
    ASSERT_TRUE(br);
    EXPECT_EQ(br->GetDataAsString(), GetParam().bitrate);

    auto channel = system_->PlaySound(-1, sound, 0, nullptr);
    ASSERT_TRUE(channel);
    int playing = 0;
    EXPECT_EQ(channel->IsPlaying(playing), FMOD_OK);
    EXPECT_EQ(playing, 1);
    // A second of playing: still ready, never starving on a healthy local server.
    s = test::wait_state(
        *system_, *sound, [](const OpenState &) { return false; }, 1s);
    EXPECT_TRUE(test::is_ready(s));
    EXPECT_EQ(s.starving, 0);
    channel->IsPlaying(playing);
    EXPECT_EQ(playing, 1);
    EXPECT_EQ(sound->SoundRelease(), FMOD_OK);
    channel->IsPlaying(playing);
    EXPECT_EQ(playing, 0);
}

INSTANTIATE_TEST_SUITE_P(Mounts, StreamMountTest,
                         ::testing::Values(MountCase{"/live.mp3", "128"},
                                           MountCase{"/live.aac", "96"},
                                           MountCase{"/live.ogg", "96"}),
                         [](const auto &info) {
                             std::string name = info.param.mount + 1;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

} // namespace
} // namespace hvn
