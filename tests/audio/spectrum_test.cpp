// GetSpectrum on channels the engine really plays (null output, real time).
#include "audio_test_support.h"

#include <algorithm>

namespace hvn {
namespace {

using namespace std::chrono_literals;

struct Spectra {
    float left[64] = {}, right[64] = {};
};

class SpectrumTest : public ::testing::Test {
protected:
    void SetUp() override {
        system_ = test::make_system(FmodOutput::NoSound);
        ASSERT_TRUE(system_);
    }
    void TearDown() override {
        if (system_)
            system_->SystemRelease();
    }
    TFMODChannelPtr play(const std::string &url) {
        sound_ = system_->CreateStreamURL(url, 0x10008, nullptr);
        if (!sound_ || !test::is_ready(test::wait_state(*system_, *sound_, test::is_ready, 5s)))
            return nullptr;
        return system_->PlaySound(-1, sound_, 0, nullptr);
    }
    static Spectra read(TFMODChannel &channel) {
        Spectra s;
        EXPECT_EQ(channel.GetSpectrum(s.left, 64, 0, FMOD_DSP_FFT_WINDOW_TRIANGLE), FMOD_OK);
        EXPECT_EQ(channel.GetSpectrum(s.right, 64, 1, FMOD_DSP_FFT_WINDOW_TRIANGLE), FMOD_OK);
        return s;
    }
    static int peak(const float *v) { return static_cast<int>(std::max_element(v, v + 64) - v); }
    TFMODSystemPtr system_;
    TFMODSoundPtr sound_;
};

// 440 Hz lies in band 1 (344.5 to 689 Hz at 44.1 kHz).
constexpr int k440Band = 1;

TEST_F(SpectrumTest, Spectrum_fullScaleTone_aboutOneInItsBandOnBothSides) {
    test::TestHttpServer server([](test::Connection &c) {
        test::serve_mp3(c, test::sine_mp3());
        c.hold();
    });
    auto channel = play(server.url());
    ASSERT_TRUE(channel);
    for (int side : {0, 1})
        ASSERT_TRUE(test::spectrum_peaks(*channel, side, k440Band, 0.9f, 1.1f));
    Spectra s = read(*channel);
    for (const float *side : {s.left, s.right}) {
        EXPECT_EQ(peak(side), k440Band);
        EXPECT_NEAR(side[k440Band], 1.0, 0.1);
        EXPECT_LT(side[10], 0.01);
    }

    ASSERT_EQ(channel->SetVolume(0.0f), FMOD_OK);
    EXPECT_TRUE(test::eventually([&] {
        s = read(*channel);
        return *std::max_element(s.left, s.left + 64) == 0.0f; // silence reads 0
    })) << "band 1 reads "
        << s.left[k440Band] << " at volume 0";

    EXPECT_EQ(channel->GetSpectrum(s.left, 64, 2, 1), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(channel->GetSpectrum(nullptr, 64, 0, 1), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(channel->GetSpectrum(s.left, 0, 0, 1), FMOD_ERR_INVALID_PARAM);
}

TEST_F(SpectrumTest, Spectrum_icecastTones_peakAt440AndLeftOnlyLeavesRightSilent) {
    HVN_REQUIRE_ENV(port, "HALVANE_ICECAST_PORT");
    auto both = play(test::icecast_url(port, "/live.mp3"));
    ASSERT_TRUE(both);
    for (int side : {0, 1})
        ASSERT_TRUE(test::spectrum_peaks(*both, side, k440Band, 0.074f, 0.094f));
    Spectra s = read(*both);
    // The icecast tone's amplitude is 0.084 on each side.
    for (const float *side : {s.left, s.right}) {
        EXPECT_EQ(peak(side), k440Band);
        EXPECT_NEAR(side[k440Band], 0.084, 0.01);
    }
    sound_->SoundRelease();

    auto left = play(test::icecast_url(port, "/left.mp3"));
    ASSERT_TRUE(left);
    ASSERT_TRUE(test::spectrum_peaks(*left, 0, k440Band, 0.1f, 2.0f));
    s = read(*left);
    EXPECT_EQ(peak(s.left), k440Band);
    EXPECT_GT(s.left[k440Band], 0.1);
    EXPECT_LT(*std::max_element(s.right, s.right + 64), 0.001);
}

} // namespace
} // namespace hvn
